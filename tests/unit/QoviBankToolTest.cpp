// qovibank.exe run as a real process on the fixture's data root.
#include "StoreFixture.h"

using namespace storetest;

namespace {

class QoviBankTest : public StoreTest {
protected:
    long qovibank(const std::wstring& arguments, std::string* output = nullptr)
    {
        std::string ignored;
        return run(exe(L"qovibank.exe"), arguments, output ? output : &ignored);
    }
    std::wstring input(const wchar_t* name, const std::string& bytes)
    {
        std::wstring path = root.file(name);
        EXPECT_TRUE(qovitest::writeFileBytes(path, bytes));
        return path;
    }
    std::wstring quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
    std::wstring bank()
    {
        QOVIUserInfoManager::releaseUsers();
        EXPECT_EQ(COMMON_OK, user()->load(1));
        std::wstring text = describe(user());
        QOVIUserInfoManager::releaseUsers();
        return text;
    }
};

TEST_F(QoviBankTest, ImportsTheCsvFormatsOfBrowsers)
{
    struct Case {
        const char* what;
        std::string csv;
        std::wstring expected;
    } cases[] = {
        {"name,url,username,password,note with CRLF",
         "name,url,username,password,note\r\nMail,https://mail.example/login,alice,pw1,a note\r\n",
         L"[Mail|https://mail.example/login||]\n  (|username|text|alice)\n  (|password|password|pw1)\n"},
        {"Firefox columns, names from the host",
         "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\",\"timeCreated\","
         "\"timeLastUsed\",\"timePasswordChanged\"\n"
         "\"https://shop.example:8443/a\",\"bob\",\"pw2\",,\"https://shop.example\",\"{1}\",\"1\",\"2\",\"3\"\n",
         L"[shop.example|https://shop.example:8443/a||]\n  (|username|text|bob)\n  (|password|password|pw2)\n"},
        {"form columns, quotes, commas, line breaks, BOM, no final line break",
         "\xEF\xBB\xBFname,url,username,password,form_id,form_name,username_field,password_field,username_id,"
         "password_id\n\"Bank, \"\"main\"\"\",https://bank.example,\"c\xC3\xA4rl\",\"p,w\n3\",f1,login,"
         "user_name,pass_word,uid,pid",
         L"[Bank, \"main\"|https://bank.example|f1|login]\n  (uid|user_name|text|c\u00e4rl)\n"
         L"  (pid|pass_word|password|p,w\n3)\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qovitest::TempFolder caseRoot;
        qovitest::ScopedEnvironment caseDir(L"QOVI_DATA_DIR", caseRoot.path());
        std::string output;
        EXPECT_EQ(0, qovibank(L"import " + quoted(input(L"in.csv", c.csv)), &output)) << output;
        EXPECT_NE(std::string::npos, output.find("Added 1 site, skipped 0 duplicates, rejected 0 rows.")) << output;
        EXPECT_EQ(L"pwdbank=1 bubble=1\n" + c.expected, bank());
    }
}

TEST_F(QoviBankTest, ImportReportsDuplicatesAndRejectedRowsByLine)
{
    std::wstring file = input(L"in.csv",
                              "name,url,username,password\n"
                              "A,https://a.example,alice,pw\n"
                              "\"Multi\nline\",https://m.example,mia,pw\n"
                              "Empty,,eve,pw\n"
                              "Short,https://s.example,sam\n"
                              "A again,https://a.example,alice,other\n"
                              "\n"
                              "B,https://b.example,bob,pw\n");
    std::string output;
    EXPECT_EQ(1, qovibank(L"import " + quoted(file), &output));
    EXPECT_NE(std::string::npos, output.find("line 5: rejected: the url is empty")) << output;
    EXPECT_NE(std::string::npos, output.find("line 6: rejected: the row has 3 fields, the header 4")) << output;
    EXPECT_NE(std::string::npos, output.find("Added 3 sites, skipped 1 duplicate, rejected 2 rows.")) << output;

    EXPECT_EQ(1, qovibank(L"import " + quoted(file), &output));
    EXPECT_NE(std::string::npos, output.find("Added 0 sites, skipped 4 duplicates, rejected 2 rows.")) << output;
    std::wstring text = bank();
    EXPECT_NE(std::wstring::npos, text.find(L"[Multi\nline|")) << qovitest::narrow(text);
    EXPECT_EQ(std::wstring::npos, text.find(L"other"));
}

TEST_F(QoviBankTest, BadFilesAreRefusedWithTheLineAndNothingIsSaved)
{
    ASSERT_EQ(0, qovibank(L"import " + quoted(input(L"seed.csv", "name,url,username,password\nS,https://s.example,s,p\n"))));
    ASSERT_EQ(0, qovibank(L"settings --bubble off"));
    std::string before = qovitest::readFileBytes(bankFile());
    struct Case {
        const char* what;
        const wchar_t* name;
        std::string content;
        const char* message;
    } cases[] = {
        {"unclosed quote", L"a.csv", "name,url,username,password\nX,https://x.example,x,p\n\"Y,https://y", "line 3: a quoted field is not closed"},
        {"quote inside a field", L"b.csv", "name,url,username,password\nX,https://x.example,x\"y,p\n", "line 2: a quote inside a field"},
        {"text after a closing quote", L"c.csv", "name,url,username,password\n\"X\"y,https://x.example,x,p\n", "line 2: unexpected text after a closing quote"},
        {"unknown column set", L"d.csv", "site,address,login,secret\nX,https://x.example,x,p\n", "line 1: unknown column set: the header lacks url, username, password"},
        {"not UTF-8", L"e.csv", "name,url,username,password\nX,https://x.example,x,p\nY,https://y.example,\xFF\xFE,p\n", "line 3: the file is not UTF-8 text"},
        {"empty file", L"f.csv", "", "the file is empty"},
        {"malformed JSON", L"g.json", "{\"format\":\"qovibank\",\n\"sites\":[\n{\"url\":\"https://x.example\",}\n]}", "parse error at line 3"},
        {"JSON without sites", L"h.json", "{\"format\":\"qovibank\"}", "expected an object with a \"sites\" array"},
        {"JSON of another format", L"i.json", "{\"format\":\"other\",\"sites\":[]}", "the format is not \"qovibank\""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string output;
        EXPECT_EQ(3, qovibank(L"import " + quoted(input(c.name, c.content)), &output));
        EXPECT_NE(std::string::npos, output.find(c.message)) << output;
        EXPECT_NE(std::string::npos, output.find("nothing was imported")) << output;
        EXPECT_EQ(before, qovitest::readFileBytes(bankFile()));
    }
    std::string output;
    EXPECT_EQ(3, qovibank(L"import " + quoted(root.file(L"missing.csv")), &output));
    EXPECT_NE(std::string::npos, output.find("cannot open")) << output;
    EXPECT_EQ(2, qovibank(L"import", &output));
    EXPECT_EQ(2, qovibank(L"settings --bubble maybe", &output));
    EXPECT_EQ(2, qovibank(L"export --format xml", &output));
    EXPECT_EQ(before, qovitest::readFileBytes(bankFile()));
}

TEST_F(QoviBankTest, JsonSitesThatCannotBeImportedAreReportedByLine)
{
    std::wstring file = input(L"in.json",
                              "{\n"
                              "  \"format\": \"qovibank\",\n"
                              "  \"version\": 1,\n"
                              "  \"sites\": [\n"
                              "    {\"name\": \"Good\", \"url\": \"https://good.example\", \"inputs\": []},\n"
                              "    {\"name\": \"No URL\",\n"
                              "     \"url\": \"\"},\n"
                              "    {\"name\": 5, \"url\": \"https://x.example\"}\n"
                              "  ]\n"
                              "}\n");
    std::string output;
    EXPECT_EQ(1, qovibank(L"import " + quoted(file), &output));
    EXPECT_NE(std::string::npos, output.find("line 6: rejected: the url is empty")) << output;
    EXPECT_NE(std::string::npos, output.find("line 8: rejected: name, url, formId and formName must be strings"))
        << output;
    EXPECT_EQ(L"pwdbank=1 bubble=1\n[Good|https://good.example||]\n", bank());
}

// Export, then import into an empty bank: the same bank again.
TEST_F(QoviBankTest, ExportThenImportGivesTheSameBank)
{
    const std::wstring long259(259, L'\u5bc6');
    ASSERT_EQ(COMMON_OK, user()->load(1));
    QOVIPasswordBank* store = user()->getPWDBankInfo();
    store->addWebItem(QOVINewWebItem{L"Typical", L"https://typ.example/login", L"f1", L"login",
                                     {{L"u1", L"user", L"text", L"t\u00e4m"}, {L"p1", L"pass", L"password", L"a,\"b\"\nc"}}});
    store->addWebItem(QOVINewWebItem{L"\u00dcnusual \u4f8b", L"https://\u4f8b.jp", L"", L"",
                                     {{L"", L"", L"password", long259},
                                      {L"e", L"email", L"email", L"x@y"},
                                      {L"t", L"", L"text", L" spaced "}}});
    store->addWebItem(loginSite(L"Plain", L"https://plain.example", L"pia", L"pw"));
    ASSERT_EQ(COMMON_OK, user()->save(1));
    QOVIUserInfoManager::releaseUsers();
    std::wstring original = bank();

    for (const wchar_t* format : {L"json", L"csv"}) {
        SCOPED_TRACE(qovitest::narrow(format));
        std::wstring exported = root.file(std::wstring(L"export.") + format);
        std::string output;
        ASSERT_EQ(0, qovibank(L"export --format " + std::wstring(format) + L" --output " + quoted(exported), &output));
        EXPECT_NE(std::string::npos, output.find("holds your passwords in plain text")) << output;

        qovitest::TempFolder otherRoot;
        qovitest::ScopedEnvironment otherDir(L"QOVI_DATA_DIR", otherRoot.path());
        ASSERT_EQ(0, qovibank(L"import " + quoted(exported), &output)) << output;
        if (std::wstring(format) == L"json") {
            EXPECT_EQ(original, bank());
        } else {
            // CSV holds one user name and one password per site: the typical
            // sites come back whole, the unusual one is named in a warning.
            std::wstring text = bank();
            for (const wchar_t* site : {L"Typical", L"Plain"}) {
                size_t start = original.find(L"[" + std::wstring(site) + L"|");
                size_t end = original.find(L"[", start + 1);
                std::wstring block = original.substr(start, end == std::wstring::npos ? end : end - start);
                EXPECT_NE(std::wstring::npos, text.find(block)) << qovitest::narrow(block);
            }
        }
    }
    std::string output;
    ASSERT_EQ(0, qovibank(L"export --format csv --output " + quoted(root.file(L"again.csv")), &output));
    EXPECT_NE(std::string::npos, output.find("\xC3\x9Cnusual")) << output;
}

TEST_F(QoviBankTest, ListShowsUserNamesButNeverPasswordsAndSettingsSwitch)
{
    ASSERT_EQ(COMMON_OK, user()->load(1));
    user()->getPWDBankInfo()->addWebItem(loginSite(L"Mail", L"https://mail.example", L"alice", L"Pw-secret-1"));
    user()->getPWDBankInfo()->addWebItem(loginSite(L"\u4f8b", L"https://jp.example", L"\u00e4b", L"Pw-secret-2"));
    ASSERT_EQ(COMMON_OK, user()->save(1));
    QOVIUserInfoManager::releaseUsers();

    std::string output;
    ASSERT_EQ(0, qovibank(L"list", &output));
    EXPECT_EQ("Mail\thttps://mail.example\talice\n\xE4\xBE\x8B\thttps://jp.example\t\xC3\xA4" "b\n", output);
    EXPECT_EQ(std::string::npos, output.find("Pw-secret"));

    ASSERT_EQ(0, qovibank(L"settings", &output));
    EXPECT_EQ("pwdbank: on\nbubble: on\n", output);
    ASSERT_EQ(0, qovibank(L"settings --pwdbank off --bubble off", &output));
    EXPECT_EQ("pwdbank: off\nbubble: off\n", output);
    ASSERT_EQ(0, qovibank(L"settings --bubble on", &output));
    EXPECT_EQ("pwdbank: off\nbubble: on\n", output);
    EXPECT_EQ(0u, bank().find(L"pwdbank=0 bubble=1\n"));
}

// Every command says on stderr what the load found, and fails (exit 4)
// whenever no bank could be loaded, list and export included.
TEST_F(QoviBankTest, CommandsSayWhatTheLoadFoundAndFailWithoutABank)
{
    struct Case {
        const char* what;
        const wchar_t* failCalls;
        int damage;  // 0 none, 1 the bank file, 2 the bank file and its backup, 3 the data root is a file
        const wchar_t* command;
        long exitCode;
        const char* says;
    } cases[] = {
        {"restored", L"", 1, L"list", 0, "the previous saved state was restored"},
        {"nothing readable", L"", 2, L"export", 4, "no earlier saved state could be read"},
        {"busy", L"lock:1", 0, L"list", 4, "another program is using it"},
        {"encryption unavailable", L"dpapi:1", 0, L"export", 4, "no file was changed"},
        {"folder unusable", L"", 3, L"list", 4, "the data folder cannot be used"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        qovitest::TempFolder caseRoot;
        qovitest::ScopedEnvironment caseDir(L"QOVI_DATA_DIR", caseRoot.path() + (c.damage == 3 ? L"\\file" : L""));
        QOVIUserInfoManager::releaseUsers();
        if (c.damage == 3) {
            ASSERT_TRUE(qovitest::writeFileBytes(caseRoot.path() + L"\\file", "a file"));
        } else {
            ASSERT_EQ(COMMON_OK, user()->load(1));
            user()->getPWDBankInfo()->addWebItem(loginSite(L"Mail", L"https://mail.example", L"alice", L"pw"));
            ASSERT_EQ(COMMON_OK, user()->save(1));
            ASSERT_EQ(COMMON_OK, user()->save(1));
            QOVIUserInfoManager::releaseUsers();
        }
        for (int i = 0; i < c.damage && c.damage < 3; ++i)
            ASSERT_TRUE(qovitest::writeFileBytes(bankFile() + (i ? L".bak" : L""), "damaged"));
        qovitest::ScopedEnvironment fail(L"QOVI_TEST_FAIL_CALLS", c.failCalls);
        std::string output;
        EXPECT_EQ(c.exitCode, qovibank(c.command, &output)) << output;
        EXPECT_NE(std::string::npos, output.find(c.says)) << output;
        EXPECT_EQ(c.exitCode == 0, output.find("Mail") != std::string::npos) << output;
    }
}

}  // namespace
