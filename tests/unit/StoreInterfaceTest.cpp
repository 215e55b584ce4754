// The store's interface: users, defaults, round trips, item lifetimes, keys.
#include "StoreFixture.h"

#include <algorithm>

using namespace storetest;

namespace {

TEST_F(StoreTest, NewUserHasDefaultsAndAFolderInTheDataRoot)
{
    ASSERT_EQ(COMMON_OK, user()->load(1));
    EXPECT_EQ(L"pwdbank=1 bubble=1\n", describe());
    EXPECT_FALSE(user()->getUserName().empty());
    EXPECT_EQ(0u, bankFile().find(root.path() + L"\\")) << qovitest::narrow(bankFile());
    EXPECT_EQ(0, createQOVIAppUserDirectory());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesW(userFolder().c_str()));
}

TEST_F(StoreTest, EveryFieldSurvivesSaveAndLoadAndChangesWaitForTheSave)
{
    const std::wstring long259(259, L'\u00e9');
    const std::wstring longAscii(259, L'x');
    const struct { const char* what; QOVINewWebItem site; } cases[] = {
        {"plain", loginSite(L"Example", L"https://example.com/login", L"alice", L"S3cret!")},
        {"non-ASCII", {L"\u4f8b\u3048 \u00c4rger \U0001F511", L"https://\u00e4rger.de/\u767b\u5f55?x=1&y=\"2\"",
                       L"f\u00f6rm-\u00df", L"\u0444\u043e\u0440\u043c\u0430",
                       {{L"\u0438\u0434", L"n\u00e4me", L"text", L"b\u00f6b@\u4f8b.jp"},
                        {L"p\u00e4ss", L"\u5bc6\u7801", L"password", L"p\u00e4\u00df w\u00f6rd \U0001F600\u0301"}}}},
        {"259 characters", {long259, L"https://long.example/" + longAscii, longAscii, long259,
                            {{longAscii, long259, L"text", long259}, {long259, longAscii, L"password", longAscii}}}},
        {"empty and odd", {L"odd", L"u", L"", L"",
                           {{L"", L"", L"text", L""},
                            {L"\\back\\slash", L"quote\"d", L"password", L"line\nbreak\ttab\r\x01\x7f"},
                            {L"sel", L"choice", L"select-one", L"2"}}}},
        {"no items", {L"bare", L"https://bare.example", L"", L"", {}}},
    };
    std::wstring expected = L"pwdbank=0 bubble=0\n";  // as describe() shows a bank
    ASSERT_EQ(COMMON_OK, user()->load(1));
    for (const auto& c : cases) {
        ASSERT_EQ(COMMON_OK, bank()->addWebItem(c.site)) << c.what;
        const QOVINewWebItem& w = c.site;
        expected += L"[" + w.webName + L"|" + w.url + L"|" + w.formId + L"|" + w.formName + L"]\n";
        for (const QOVINewInputItem& i : w.inputs)
            expected += L"  (" + i.id + L"|" + i.name + L"|" + i.type + L"|" + i.value + L")\n";
    }
    user()->setPWDBankEnable(0);
    user()->setBubbleEnable(0);
    ASSERT_EQ(COMMON_OK, user()->save(1));
    ASSERT_EQ(COMMON_OK, reload());
    // The count is told before any site is read.
    EXPECT_NE(std::string::npos, qovitest::readFileBytes(logFile()).find("Loaded the password bank: 5 sites."));
    EXPECT_EQ(expected, describe());

    // Changes stay in memory until a save.
    user()->setBubbleEnable(1);
    ASSERT_EQ(COMMON_OK, bank()->modifyInputItemValue(L"Example", L"password", L"pass", L"changed"));
    ASSERT_EQ(COMMON_OK, bank()->modifyWebItemName(L"Example", L"Renamed"));
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(expected, describe());
}

// Input item keys as the site editor passes them: (name, id), (name, ""),
// ("", name), and the fallbacks for nameless items.
TEST_F(StoreTest, KeysFindTheItemTheCallerMeant)
{
    // changed: the index of the item that must change, -1 for none.
    struct Case { const char* what; const wchar_t* key1; const wchar_t* key2; COMMON_RESULT result; int changed; } cases[] = {
        {"name and id", L"password", L"pass", COMMON_OK, 1},
        {"name, no id", L"username", L"", COMMON_OK, 0},
        {"no name, the name second", L"", L"password", COMMON_OK, 1},
        {"nameless item by its id", L"", L"pin", COMMON_OK, 2},
        {"the one nameless item", L"", L"", COMMON_OK, 2},
        {"name with a wrong id", L"password", L"user", COMMON_ERR_NOT_FOUND, -1},
        {"unknown name", L"nobody", L"", COMMON_ERR_NOT_FOUND, -1},
        {"unknown id", L"", L"nothing", COMMON_ERR_NOT_FOUND, -1},
        {"case differs", L"Password", L"pass", COMMON_ERR_NOT_FOUND, -1},
        {"a name two items share", L"shared", L"", COMMON_ERR_AMBIGUOUS, -1},
        {"shared name, told apart by id", L"shared", L"s2", COMMON_OK, 4},
    };
    const QOVINewWebItem site{L"Site", L"https://site.example", L"f", L"login",
                              {{L"user", L"username", L"text", L"v0"},
                               {L"pass", L"password", L"password", L"v1"},
                               {L"pin", L"", L"password", L"v2"},
                               {L"s1", L"shared", L"text", L"v3"},
                               {L"s2", L"shared", L"text", L"v4"}}};
    for (const Case& c : cases) {
        for (bool remove : {false, true}) {
            SCOPED_TRACE(std::string(c.what) + (remove ? ", remove" : ", modify"));
            ASSERT_EQ(COMMON_OK, user()->load(1));  // nothing was saved: an empty bank
            bank()->addWebItem(site);
            std::vector<QOVIInputItem*> before = inputs(L"Site");
            EXPECT_EQ(c.result, remove ? bank()->removeInputItem(L"Site", c.key1, c.key2)
                                       : bank()->modifyInputItemValue(L"Site", c.key1, c.key2, L"new"));
            std::vector<QOVIInputItem*> after = inputs(L"Site");
            for (size_t i = 0; i < before.size(); ++i) {
                const bool isTarget = static_cast<int>(i) == c.changed;
                EXPECT_EQ(!(remove && isTarget), std::find(after.begin(), after.end(), before[i]) != after.end()) << i;
                EXPECT_EQ(isTarget && !remove ? L"new" : L"v" + std::to_wstring(i), before[i]->getstrValue()) << i;
            }
        }
    }
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->modifyInputItemValue(L"No site", L"username", L"", L"x"));
}

// Named by the objects it listed, the bank acts on exactly those, whatever
// their names: one of two items that share a name and have no id, a site
// whose name is longer than any box shows, never another site's item. A
// removed site or item is refused, and its object reads as before until the
// next load.
TEST_F(StoreTest, ObjectsNameExactlyWhatWasListedAndOutliveTheirRemoval)
{
    ASSERT_EQ(COMMON_OK, user()->load(1));
    const std::wstring longName(300, L'n');
    ASSERT_EQ(COMMON_OK, bank()->addWebItem(QOVINewWebItem{longName, L"https://long.example", L"f", L"login",
                                                           {{L"", L"pw", L"password", L"v0"},
                                                            {L"", L"pw", L"password", L"v1"}}}));
    ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"Other", L"https://o.example", L"olga", L"po")));
    ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"Gone", L"https://g.example", L"gil", L"pg")));
    ASSERT_EQ(COMMON_OK, user()->save(1));
    ASSERT_EQ(COMMON_OK, reload());
    std::vector<QOVIWebItem*> listed = sites();
    std::vector<QOVIInputItem*> items, others;
    ASSERT_EQ(COMMON_OK, bank()->getInputItems(items, listed[0]));
    ASSERT_EQ(COMMON_OK, bank()->getInputItems(others, listed[1]));
    ASSERT_EQ(2u, items.size());
    EXPECT_EQ(COMMON_ERR_AMBIGUOUS, bank()->modifyInputItemValue(longName, L"pw", L"", L"x"));
    EXPECT_EQ(COMMON_OK, bank()->modifyInputItemValue(listed[0], items[1], L"new"));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->modifyInputItemValue(listed[0], others[0], L"x"));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->removeInputItem(listed[0], others[1]));
    EXPECT_EQ(COMMON_ERR_EXISTS, bank()->modifyWebItemName(listed[0], L"Other"));
    EXPECT_EQ(COMMON_ERR_INVALID_ARG, bank()->modifyWebItemName(listed[0], L""));
    EXPECT_EQ(COMMON_OK, bank()->removeInputItem(listed[0], items[0]));
    EXPECT_EQ(COMMON_OK, bank()->modifyWebItemName(listed[1], longName + L"2"));
    EXPECT_EQ(COMMON_OK, bank()->removeWebItem(listed[2]));
    ASSERT_EQ(COMMON_OK, user()->save(1));

    EXPECT_EQ(L"Gone https://g.example v0",
              listed[2]->getstrWebName() + L" " + listed[2]->getstrURL() + L" " + items[0]->getstrValue());
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->removeWebItem(L"Gone", L""));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->removeWebItem(listed[2]));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->modifyWebItemName(listed[2], L"Gone2"));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->getInputItems(others, listed[2]));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->modifyInputItemValue(listed[0], items[0], L"x"));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->removeInputItem(listed[0], items[0]));
    ASSERT_EQ(COMMON_OK, reload());
    EXPECT_EQ(L"pwdbank=1 bubble=1\n[" + longName + L"|https://long.example|f|login]\n  (|pw|password|new)\n[" +
                  longName + L"2|https://o.example|loginForm|login]\n  (user|username|text|olga)\n"
                  L"  (pass|password|password|po)\n",
              describe());
    EXPECT_EQ(COMMON_OK, bank()->removeWebItem(sites()[1]));
    EXPECT_EQ(1u, sites().size());
}

TEST_F(StoreTest, SiteNamesAreUniqueAndExact)
{
    ASSERT_EQ(COMMON_OK, user()->load(1));
    std::wstring given;
    ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"Mail", L"https://mail.example", L"a", L"1"), &given));
    EXPECT_EQ(L"Mail", given);
    ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"Mail", L"https://mail.example", L"b", L"2"), &given));
    EXPECT_EQ(L"Mail (2)", given);
    ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"Mail", L"https://other.example", L"c", L"3"), &given));
    EXPECT_EQ(L"Mail (3)", given);
    ASSERT_EQ(COMMON_OK, bank()->addWebItem(loginSite(L"", L"https://user@host.example:8443/x?y", L"d", L"4"), &given));
    EXPECT_EQ(L"host.example", given);
    EXPECT_EQ(COMMON_ERR_INVALID_ARG, bank()->addWebItem(loginSite(L"No URL", L"", L"e", L"5")));

    EXPECT_NE(0, bank()->isWebItemExist(L"Mail", L""));
    EXPECT_NE(0, bank()->isWebItemExist(L"Mail", L"https://mail.example"));
    EXPECT_EQ(0, bank()->isWebItemExist(L"Mail", L"https://other.example"));
    EXPECT_EQ(0, bank()->isWebItemExist(L"mail", L""));
    EXPECT_EQ(0, bank()->isWebItemExist(L"Mail ", L""));

    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->modifyWebItemName(L"Nope", L"Other"));
    EXPECT_EQ(COMMON_OK, bank()->modifyWebItemName(L"Mail", L"Mail"));
    EXPECT_EQ(COMMON_OK, bank()->modifyWebItemName(L"Mail", L"Post"));
    EXPECT_EQ(0, bank()->isWebItemExist(L"Mail", L""));
    EXPECT_NE(0, bank()->isWebItemExist(L"Post", L""));
    EXPECT_EQ(COMMON_ERR_NOT_FOUND, bank()->removeWebItem(L"Post", L"https://other.example"));
    EXPECT_EQ(COMMON_OK, bank()->removeWebItem(L"Post", L"https://mail.example"));
    EXPECT_EQ(0, bank()->isWebItemExist(L"Post", L""));
    // The freed name can be used again, also by a rename.
    EXPECT_EQ(COMMON_OK, bank()->modifyWebItemName(L"Mail (3)", L"Post"));

    std::vector<QOVIWebItem*> filtered;
    bank()->getWebItems(filtered, L"https://mail.example", L"");
    ASSERT_EQ(1u, filtered.size());
    EXPECT_EQ(L"Mail (2)", filtered[0]->getstrWebName());
    filtered.clear();
    bank()->getWebItems(filtered, L"", L"Post");
    ASSERT_EQ(1u, filtered.size());
    EXPECT_EQ(L"https://other.example", filtered[0]->getstrURL());
}

TEST_F(StoreTest, SameAccountSavedTwiceIsFoundByAllSevenKeys)
{
    ASSERT_EQ(COMMON_OK, user()->load(1));
    bank()->addWebItem(loginSite(L"Mail", L"https://mail.example", L"alice", L"pw"));
    bank()->addWebItem(loginSite(L"Gone", L"https://gone.example", L"gina", L"pw"));
    bank()->removeWebItem(L"Gone", L"");
    struct Case { const char* what; const wchar_t* keys[7]; int expected; } cases[] = {
        {"all equal", {L"https://mail.example", L"loginForm", L"login", L"user", L"username", L"text", L"alice"}, 1},
        {"password item too", {L"https://mail.example", L"loginForm", L"login", L"pass", L"password", L"password", L"pw"}, 1},
        {"other URL", {L"https://mail.example/", L"loginForm", L"login", L"user", L"username", L"text", L"alice"}, 0},
        {"other form id", {L"https://mail.example", L"form2", L"login", L"user", L"username", L"text", L"alice"}, 0},
        {"other form name", {L"https://mail.example", L"loginForm", L"", L"user", L"username", L"text", L"alice"}, 0},
        {"other input id", {L"https://mail.example", L"loginForm", L"login", L"u", L"username", L"text", L"alice"}, 0},
        {"other input name", {L"https://mail.example", L"loginForm", L"login", L"user", L"email", L"text", L"alice"}, 0},
        {"other type", {L"https://mail.example", L"loginForm", L"login", L"user", L"username", L"email", L"alice"}, 0},
        {"other value", {L"https://mail.example", L"loginForm", L"login", L"user", L"username", L"text", L"bob"}, 0},
        {"value in other case", {L"https://mail.example", L"loginForm", L"login", L"user", L"username", L"text", L"Alice"}, 0},
        {"removed site", {L"https://gone.example", L"loginForm", L"login", L"user", L"username", L"text", L"gina"}, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.expected, bank()->isWebItemExist(c.keys[0], c.keys[1], c.keys[2], c.keys[3], c.keys[4],
                                                     c.keys[5], c.keys[6]))
            << c.what;
    }
    bank()->modifyInputItemValue(L"Mail", L"username", L"user", L"bob");
    EXPECT_EQ(1, bank()->isWebItemExist(L"https://mail.example", L"loginForm", L"login", L"user", L"username",
                                        L"text", L"bob"));
}

}  // namespace
