// qovibank.exe run as a real process on the fixture's data root.
#include "StoreFixture.h"

#include <regex>

using namespace storetest;

namespace {

class QoviBankTest : public StoreTest {
protected:
    long qovibank(const std::wstring& arguments, std::string* output = nullptr)
    {
        return run(exe(L"qovibank.exe"), arguments, output);
    }
    std::wstring input(const wchar_t* name, const std::string& bytes)
    {
        std::wstring path = root.file(name);
        EXPECT_TRUE(qovitest::writeFileBytes(path, bytes));
        return path;
    }
    std::wstring quoted(const std::wstring& path) { return L"\"" + path + L"\""; }
    void seed(std::initializer_list<QOVINewWebItem> sites)
    {
        ASSERT_EQ(COMMON_OK, reload());
        for (const QOVINewWebItem& site : sites)
            ASSERT_EQ(COMMON_OK, bank()->addWebItem(site));
        ASSERT_EQ(COMMON_OK, user()->save(1));
        QOVIUserInfoManager::releaseUsers();
    }
    std::wstring bankText()
    {
        EXPECT_EQ(COMMON_OK, reload());
        std::wstring text = describe();
        QOVIUserInfoManager::releaseUsers();
        return text;
    }
    // Runs qovibank with its standard output on a pipe whose reader is gone
    // and its standard error in a file; returns the exit code.
    long qovibankWithClosedOutput(const std::wstring& arguments, std::string& errors)
    {
        SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
        HANDLE readEnd = nullptr, writeEnd = nullptr;
        CreatePipe(&readEnd, &writeEnd, &inherit, 0);
        CloseHandle(readEnd);
        HANDLE errorFile =
            CreateFileW(root.file(L"err.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
        qovitest::ChildProcess child;
        EXPECT_TRUE(child.start(exe(L"qovibank.exe"), arguments, writeEnd, errorFile));
        CloseHandle(writeEnd);
        CloseHandle(errorFile);
        const long code = child.wait(60000);
        errors = qovitest::readFileBytes(root.file(L"err.txt"));
        return code;
    }
};

TEST_F(QoviBankTest, ImportAddsNewAccountsKeepsOrReplacesSavedOnesAndRefusalsChangeNothing)
{
    const std::string csv = "name,url,username,password\nAlpha,https://a.example,alice,pw-a\n"
                            "Beta,https://b.example,bob,pw-new\nGamma,https://c.example,,pw-c\n"
                            "Gamma,https://c.example,,pw-c\nGamma,https://c.example,,pw-x\nDelta,,dan,pw\n"
                            "Note,http://sn,,\n";
    const std::string reports = "qovibank: FILE: line 6: rejected: the same account as line 4 with another password\n"
                                "qovibank: FILE: line 7: rejected: the url is empty\n";
    const std::string replaced = "qovibank: FILE: line 3: already saved with a different password: replaced with "
                                 "the file's\n" + reports;
    const std::string unchanged = "1 already saved with the same password: unchanged.\n";
    const std::string rest = "1 row repeated in the file: taken once.\n1 row that is not a login: skipped.\n"
                             "2 rows rejected.\n";
    const std::wstring saved = L"pwdbank=1 bubble=1\n[Alpha|https://a.example|loginForm|login]\n"
                               L"  (user|username|text|alice)\n  (pass|password|password|pw-a)\n"
                               L"[Beta|https://b.example|loginForm|login]\n  (user|username|text|bob)\n";
    const std::wstring gamma = L"[Gamma|https://c.example||]\n  (|password|password|pw-c)\n";
    // bank: empty when the bank file stays byte for byte as it was.
    struct Case { const wchar_t* options; std::string file; long code; std::string output; std::wstring bank; } cases[] = {
        {L"", csv, 1,
         "qovibank: FILE: line 3: already saved with a different password: kept the saved one\n" + reports +
             "1 site added.\n" + unchanged + "1 already saved with a different password: kept the saved one.\n" + rest,
         saved + L"  (pass|password|password|pw-b)\n" + gamma},
        {L"--replace ", csv, 1,
         replaced + "1 site added.\n" + unchanged + "1 already saved with a different password: replaced with the "
                                                    "file's.\n" + rest,
         saved + L"  (pass|password|password|pw-new)\n" + gamma},
        {L"--dry-run --replace ", csv, 1,
         replaced + "Dry run: nothing was saved.\n1 site to add.\n" + unchanged +
             "1 already saved with a different password: to replace with the file's.\n" + rest,
         L""},
        {L"", "{\"sites\":[{\"url\":\"x\",\"inputs\":[{\"value\":\"Secret-1}]}", 3,
         "qovibank: FILE: line 1, column 52: not valid JSON; nothing was imported\n", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.output);
        startAfresh();
        seed({loginSite(L"Alpha", L"https://a.example", L"alice", L"pw-a"),
              loginSite(L"Beta", L"https://b.example", L"bob", L"pw-b")});
        std::string before = qovitest::readFileBytes(bankFile());
        std::wstring file = input(L"in.csv", c.file);
        std::string output;
        EXPECT_EQ(c.code, qovibank(L"import " + std::wstring(c.options) + quoted(file), &output));
        for (size_t at; (at = output.find(qovitest::narrow(file))) != std::string::npos;)
            output.replace(at, qovitest::narrow(file).size(), "FILE");
        EXPECT_EQ(c.output, output);
        if (c.bank.empty())
            EXPECT_EQ(before, qovitest::readFileBytes(bankFile()));
        else
            EXPECT_EQ(c.bank, bankText());
    }
    EXPECT_EQ(3, qovibank(L"import " + quoted(root.file(L"missing.csv"))));
    EXPECT_EQ(2, qovibank(L"import"));
    EXPECT_EQ(2, qovibank(L"import --merge " + quoted(input(L"in.csv", csv))));
}

// Export, then import into an empty bank: the same bank again.
TEST_F(QoviBankTest, ExportThenImportGivesTheSameBank)
{
    seed({QOVINewWebItem{L"=SUM(A1:A2)", L"https://f.example/?a=1,b=\"2\"", L"", L"",
                         {{L"", L"user", L"text", L"+alice"}, {L"", L"pass", L"password", L"-pw,\"q\"\n2"}}},
          QOVINewWebItem{L"@home\t\U0001F600", L"https://h.example", L"f", L"",
                         {{L"u", L"", L"text", L"'quoted"}, {L"p", L"", L"password", L"\t\r\nlead"}}},
          QOVINewWebItem{L" Spaced ", L"https://s.example", L"", L"", {{L"", L"", L"password", L"\U0001F600=1"}}},
          QOVINewWebItem{L"Unusual", L"https://\u4f8b.jp", L"", L"",
                         {{L"", L"", L"password", std::wstring(259, L'\u5bc6')},
                          {L"e", L"email", L"email", L"x@y"},
                          {L"t", L"", L"text", L" spaced "}}}});
    const std::wstring original = bankText();
    const std::wstring fitsCsv = original.substr(0, original.find(L"[Unusual|"));

    EXPECT_EQ(2, qovibank(L"export --format xml"));
    for (const wchar_t* format : {L"json", L"csv"}) {
        SCOPED_TRACE(qovitest::narrow(format));
        std::wstring exported = root.file(std::wstring(L"export.") + format);
        std::string output;
        ASSERT_EQ(0, qovibank(L"export --format " + std::wstring(format) + L" --output " + quoted(exported), &output));
        EXPECT_NE(std::string::npos, output.find("holds your passwords in plain text")) << output;
        // CSV warns of the unusual site, and of it alone.
        std::string named;
        std::regex warning("site \"([^\"]*)\" do not fit the CSV columns");
        for (std::sregex_iterator it(output.begin(), output.end(), warning), end; it != end; ++it)
            named += (*it)[1].str() + ";";
        EXPECT_EQ(format[0] == L'c' ? "Unusual;" : "", named);

        qovitest::TempFolder otherRoot;
        qovitest::ScopedEnvironment otherDir(L"QOVI_DATA_DIR", otherRoot.path());
        ASSERT_EQ(0, qovibank(L"import " + quoted(exported), &output)) << output;
        if (format[0] == L'j')
            EXPECT_EQ(original, bankText());
        else
            EXPECT_EQ(fitsCsv, bankText().substr(0, fitsCsv.size()));
    }
    // No cell of the CSV starts like a formula (these values hold no comma
    // or line break that a cell's start could be mistaken for; an unquoted
    // CR ends a row).
    std::string csv = qovitest::readFileBytes(root.file(L"export.csv"));
    EXPECT_FALSE(std::regex_search(csv, std::regex(R"((^|[,\n])("[=+\-@\t\r]|[=+\-@\t]))"))) << csv;
}

TEST_F(QoviBankTest, ListShowsOneLinePerSiteButNoPasswordOutputFailuresFailAndSettingsSwitch)
{
    seed({loginSite(L"Mail", L"https://mail.example", L"alice", L"Pw-secret-1"),
          loginSite(L"Forged\nFake\tline\\", L"https://jp.example\r", L"\u00e4\tb\x1b", L"Pw-secret-2")});
    std::string output;
    ASSERT_EQ(0, qovibank(L"list", &output));
    EXPECT_EQ("Mail\thttps://mail.example\talice\n"
              "Forged\\nFake\\tline\\\\\thttps://jp.example\\r\t\xC3\xA4\\tb\\u001B\n",
              output);
    EXPECT_EQ(std::string::npos, output.find("Pw-secret"));
    // Output that cannot be written fails the command.
    for (const wchar_t* command : {L"list", L"export", L"export --format csv"}) {
        EXPECT_EQ(3, qovibankWithClosedOutput(command, output)) << qovitest::narrow(command);
        EXPECT_NE(std::string::npos, output.find("qovibank: cannot write to the standard output: ")) << output;
    }

    EXPECT_EQ(2, qovibank(L"settings --bubble maybe"));
    ASSERT_EQ(0, qovibank(L"settings", &output));
    EXPECT_EQ("pwdbank: on\nbubble: on\n", output);
    ASSERT_EQ(0, qovibank(L"settings --pwdbank off --bubble off", &output));
    EXPECT_EQ("pwdbank: off\nbubble: off\n", output);
    ASSERT_EQ(0, qovibank(L"settings --bubble on", &output));
    EXPECT_EQ("pwdbank: off\nbubble: on\n", output);
    EXPECT_EQ(0u, bankText().find(L"pwdbank=0 bubble=1\n"));
}

// Every command says on stderr what the load found, and fails (exit 4)
// whenever no bank could be loaded, list and export included.
TEST_F(QoviBankTest, CommandsSayWhatTheLoadFoundAndFailWithoutABank)
{
    // damage: 0 none, 1 the bank file, 2 the bank file and its backup, 3 the data root is a file.
    struct Case { const char* what; const wchar_t* failCalls; int damage; const wchar_t* command; long exitCode;
                  const char* says; } cases[] = {
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
        if (c.damage == 3) {
            ASSERT_TRUE(qovitest::writeFileBytes(caseRoot.path() + L"\\file", "a file"));
        } else {
            seed({loginSite(L"Mail", L"https://mail.example", L"alice", L"pw")});
            seed({});  // a second save: the first one's file becomes the backup
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
