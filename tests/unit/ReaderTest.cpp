// The readers of outside bytes: qovibank's import files (CSV, tab-separated,
// JSON) and the store's bank contents (site records). Known files read as
// expected; the same files and a bank content, with bytes flipped, inserted,
// deleted, cut off and repeated, are refused with a reason or read whole,
// never half. The mutations come from a fixed seed, so a failure comes back
// on every run; a read past the end of a bank content faults, and the heap
// checks of the test run catch a read of freed memory.
#include "BankFormat.h"
#include "Import.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace {

// What an import file reads as: one line per entry ("<line> name|url|formId|
// formName id#type:name=value ..." or "<line> rejected: why"), then
// "skipped N"; or why the file is refused as a whole. Whatever the file, a
// refusal has a reason and no entries, and the entries come in the order of
// their lines, each one taken with a url.
std::wstring parsed(const wchar_t* path, std::string bytes)
{
    qovibank::ImportFile file;
    std::wstring error;
    if (!qovibank::readImport(path, bytes, file, error)) {
        EXPECT_TRUE(!error.empty() && file.entries.empty()) << "a refusal without a reason, or with entries";
        return error;
    }
    std::wstring text;
    size_t line = 1;
    for (const qovibank::ImportEntry& entry : file.entries) {
        const QOVINewWebItem& site = entry.site;
        EXPECT_LE(line, entry.line);
        line = entry.line;
        text += std::to_wstring(entry.line) + L" ";
        if (!entry.rejected.empty()) {
            text += L"rejected: " + entry.rejected + L"\n";
            continue;
        }
        EXPECT_NE(L"", site.url);
        text += site.webName + L"|" + site.url + L"|" + site.formId + L"|" + site.formName;
        for (const QOVINewInputItem& input : site.inputs)
            text += L" " + (input.id.empty() ? L"" : input.id + L"#") + input.type + L":" + input.name + L"=" +
                    input.value;
        text += L"\n";
    }
    return text + (file.skipped ? L"skipped " + std::to_wstring(file.skipped) + L"\n" : L"");
}

// A row's usual site: its line, name|url, the user name and password items.
std::wstring login(const wchar_t* lineAndSite, const std::wstring& user, const std::wstring& password)
{
    return lineAndSite + (L"|| text:username=" + user + L" password:password=" + password + L"\n");
}

const wchar_t kUnknownVersion[] = L"line 1: a version of the export format this qovibank does not know";

// The exports of browsers and password managers in their quoting styles, our
// own CSV and JSON, and files refused as a whole, with what each reads as.
const struct KnownFile { const wchar_t* path; std::string content; std::wstring expected; } kKnownFiles[] = {
    {L"chrome.csv", "name,url,username,password,note\r\nMail,https://m.example/login,alice,pw1,\"a, note\"\r\n",
     login(L"2 Mail|https://m.example/login", L"alice", L"pw1")},
    {L"firefox.csv",
     "\"url\",\"username\",\"password\",\"httpRealm\",\"formActionOrigin\",\"guid\",\"timeCreated\","
     "\"timeLastUsed\",\"timePasswordChanged\"\n\"https://shop.example:8443\",\"bob\",\"p\"\"w\",\"\","
     "\"https://shop.example\",\"{1}\",\"1\",\"2\",\"3\"\n",
     login(L"2 |https://shop.example:8443", L"bob", L"p\"w")},
    {L"safari.csv", "\xEF\xBB\xBFTitle,URL,Username,Password,Notes,OTPAuth\r\nB\xC3\xA4nk,https://b,c,pw,,\r\n",
     login(L"2 B\u00e4nk|https://b", L"c", L"pw")},
    {L"bitwarden.csv",
     "folder,favorite,type,name,notes,fields,reprompt,login_uri,login_username,login_password,login_totp\n"
     "Work,1,login,Wiki,\"two\nlines\",,0,https://wiki.example,dana,pw4,\n,,note,Memo,text,,0,,,,\n"
     ",,card,Visa,,,0,,,,\n",
     login(L"2 Wiki|https://wiki.example", L"dana", L"pw4") + L"skipped 2\n"},
    {L"lastpass.csv",
     "url,username,password,totp,extra,name,grouping,fav\r\nhttps://n.example,gail,pw7,,,News,Social,0\r\n"
     "http://sn,,,,note text,Note,Notes,0\r\n",
     login(L"2 News|https://n.example", L"gail", L"pw7") + L"skipped 1\n"},
    {L"mixed.csv", " Website ,LOGIN,login_password,Email\nhttps://x.example,hal,pw8,hal@x.example\n",
     login(L"2 |https://x.example", L"hal", L"pw8")},
    {L"tabs.txt", "name\turl\temail\tpassword\nTabbed\thttps://t.example\tjay@t.example\tp,w\n",
     login(L"2 Tabbed|https://t.example", L"jay@t.example", L"p,w")},
    {L"named.TSV", "hostname\tuser\tpassword\t\"notes, more\"\nhttps://u.example\tkim\tpw10\n",
     login(L"2 |https://u.example", L"kim", L"pw10")},
    {L"rows.csv",
     "name,url,username,password,note\n Padded ,https://p.example,pam,pw\nLong,https://l.example,lu,pw,n,x\n"
     "NoUrl, ,nu,pw,\nNoPw,https://n.example,np,,\nNoUser,https://u.example,,'=x,\n\n"
     "\"Multi\nline\",https://m.example,mia,pw\nLast,https://z.example,zed,pw",
     login(L"2 Padded|https://p.example", L"pam", L"pw") + L"3 rejected: the row has 6 fields, the header 5\n"
     L"4 rejected: the url is empty\n5 rejected: the password is empty\n"
     L"6 NoUser|https://u.example|| password:password='=x\n" + login(L"8 Multi\nline|https://m.example", L"mia",
     L"pw") + login(L"10 Last|https://z.example", L"zed", L"pw")},
    // Our own export: exact values, the apostrophe before a formula taken off.
    {L"own.csv",
     "name,url,username,password,form_id,form_name,username_field,password_field,username_id,password_id\r\n"
     "\" Spaced \",'=1+2,'@me,''x,'-f,,user,pass,uid,\r\nNo user,https://n.example,,pw,,,user,,,\r\n",
     L"2  Spaced |=1+2|-f| uid#text:user=@me password:pass='x\n"
     L"3 No user|https://n.example|| text:user= password:=pw\n"},
    {L"a.csv", "url,login_uri,username,password\n",
     L"line 1: the columns \"url\" and \"login_uri\" hold the same field"},
    {L"b.csv", "site,address,secret\n", L"line 1: the header has no column for the url, user name, password"},
    {L"c.csv", "url,username,password\nhttps://x,x,p\n\"Y,https://y", L"line 3: a quoted field is not closed"},
    {L"d.csv", "url,username,password\nhttps://x.example,x\"y,p\n",
     L"line 2: a quote inside a field that does not start with one"},
    {L"e.csv", "url,username,password\n\"X\"y,x,p\n", L"line 2: unexpected text after a closing quote"},
    {L"f.csv", "url,username,password\nhttps://x.example,x,p\nhttps://y.example,\xFF\xFE,p\n",
     L"line 3: the file is not UTF-8 text"},
    {L"g.csv", "", L"the file is empty: no header row"},
    {L"a.json",
     "{\"format\":\"qovibank\",\"version\":1,\"sites\":[\r\n  \"not a site\", 7\r\n"
     "  ,{\"name\":\"Good\",\"url\":\"https://good.example\",\r\n    \"inputs\":[{\"type\":\"password\","
     "\"value\":\"p\\u00e4\"}]},\r  {\"name\":\"No URL\",\n   \"url\":\"\"}]}",
     L"2 rejected: a site must be an object\n2 rejected: a site must be an object\n"
     L"3 Good|https://good.example|| password:=p\u00e4\n5 rejected: the url is empty\n"},
    {L"b.json", "{\"sites\":[{\"url\":\"https://x.example\"}],\n\"sites\":[\n{\"url\":\"\"}]}",
     L"3 rejected: the url is empty\n"},
    {L"c.json", "{\"sites\":[\n{\"url\":\"https://x\",\"inputs\":[\n  {\"value\":\"S\xC3\xA9" "cret-1\" \"x\"}]}]}",
     L"line 3, column 25: not valid JSON"},
    {L"d.json", "{\"version\":4294967297,\"sites\":[]}", kUnknownVersion},
    {L"e.json", "{\"version\":0,\"sites\":[]}", kUnknownVersion},
    {L"f.json", "{\"version\":2,\"sites\":[]}", kUnknownVersion},
    {L"g.json", "{\"format\":\"qovibank\"}",
     L"line 1: not a qovibank export: expected an object with a \"sites\" array"},
    {L"h.json", "{\"format\":\"other\",\"sites\":[]}",
     L"line 1: not a qovibank export: the format is not \"qovibank\""},
};

TEST(ImportFile, ReadsEachKindOfFileOrRefusesItWithoutQuotingIt)
{
    for (const KnownFile& c : kKnownFiles)
        EXPECT_EQ(c.expected, parsed(c.path, c.content)) << c.content;
}

const size_t kPage = 4096;

// A copy of the bytes that ends where a page that cannot be read begins, so
// that reading past the end faults.
const char* guarded(const std::string& bytes)
{
    static char* const pages =
        static_cast<char*>(VirtualAlloc(nullptr, 2 * kPage, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old;
    VirtualProtect(pages + kPage, kPage, PAGE_NOACCESS, &old);
    return static_cast<const char*>(memcpy(pages + kPage - bytes.size(), bytes.data(), bytes.size()));
}

// A bank content: refused with a reason, or every record decodes to fields
// that encode back to the very bytes read (but the two flags, which read as
// 0 or 1).
void readContent(const std::string& bytes)
{
    qovi::ContentView view;
    std::string why, again;
    if (!qovi::scanContent(guarded(bytes), bytes.size(), view, why)) {
        EXPECT_NE("", why);
        return;
    }
    qovi::encodeSettings(view.pwdBankEnable, view.bubbleEnable, view.sites.size(), again);
    for (qovi::RecordView record : view.sites) {
        qovi::SiteRecord site;
        qovi::decodeRecord(record, site);
        std::vector<const qovi::InputRecord*> inputs;
        for (const qovi::InputRecord& input : site.inputs)
            inputs.push_back(&input);
        qovi::encodeRecord(site.uid, site.webName, site.url, site.formId, site.formName, inputs, again);
    }
    EXPECT_EQ(bytes.substr(8), again.substr(8));
}

// One to four mutations at places the generator picks: a bit flipped, a byte
// inserted (often one that means something to CSV or JSON), a byte or the
// whole end deleted, a piece repeated.
std::string mutate(std::string bytes, std::mt19937& random)
{
    for (unsigned n = 1 + random() % 4; n > 0 && !bytes.empty(); --n) {
        const size_t at = random() % bytes.size(), kind = random() % 4;
        if (kind == 0)
            bytes[at] = static_cast<char>(bytes[at] ^ (1 << random() % 8));
        else if (kind == 1)
            bytes.insert(at, 1, random() % 2 ? "\"',\t\r\n{}[]:\\"[random() % 12] : static_cast<char>(random()));
        else if (kind == 2)
            bytes.erase(at, random() % 2 ? 1 : std::string::npos);
        else
            bytes.insert(random() % bytes.size(), bytes.substr(at, 1 + random() % 16));
    }
    return bytes;
}

// A bank content (made from version 1 lines) and each known import file, mutated.
TEST(MalformedInput, EachReaderRefusesWithAReasonOrReadsWhole)
{
    const std::string version1 =
        "{\"sites\":2}\n{\"formId\":\"f\",\"inputs\":[{\"id\":\"u\",\"n\":1,\"type\":\"text\",\"value\":\"\\u00e9\"},"
        "{\"n\":7,\"value\":\"\\u0000p\"}],\"name\":\"Mail\",\"uid\":\"a1\",\"url\":\"https://m\"}\n{\"uid\":\"b2\"}\n";
    std::string content, why;
    ASSERT_TRUE(qovi::convertVersion1(version1.data(), version1.size(), content, why)) << why;
    std::mt19937 random(20261207);
    for (size_t seed = 0; seed <= sizeof kKnownFiles / sizeof kKnownFiles[0]; ++seed) {
        for (int round = 0; round < (seed ? 2000 : 10000); ++round) {
            const std::string bytes = mutate(seed ? kKnownFiles[seed - 1].content : content, random);
            ASSERT_LE(bytes.size(), kPage);
            if (seed)
                parsed(kKnownFiles[seed - 1].path, bytes);
            else
                readContent(bytes);
            ASSERT_FALSE(HasFailure()) << qovi::toHex(bytes.data(), bytes.size());
        }
    }
}

}  // namespace
