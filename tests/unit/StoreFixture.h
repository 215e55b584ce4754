// StoreFixture.h - a fresh data root per test, and small builders.
#pragma once

#include "QOVICommon.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace storetest {

// Each test gets its own data root (QOVI_DATA_DIR) in a temporary folder,
// and starts and ends with no user loaded and the log closed, as a new
// process would.
class StoreTest : public ::testing::Test {
protected:
    void SetUp() override { TearDown(); }
    void TearDown() override
    {
        QOVIUserInfoManager::releaseUsers();
        QOVILog::endLog();
    }
    // A fresh data root for the next case of a table, as a new user on a new machine has.
    void startAfresh()
    {
        TearDown();
        caseDir.reset();
        caseRoot.reset(new qovitest::TempFolder);
        caseDir.reset(new qovitest::ScopedEnvironment(L"QOVI_DATA_DIR", caseRoot->path()));
    }

    QOVIUserInfo* user() { return QOVIUserInfoManager::getCurrentLogonUser(); }
    QOVIPasswordBank* bank() { return user()->getPWDBankInfo(); }
    COMMON_RESULT reload()
    {
        QOVIUserInfoManager::releaseUsers();
        return user()->load(1);
    }
    std::wstring bankFile() { return user()->getDataFilePath(); }
    std::wstring userFolder()
    {
        std::wstring path = bankFile();
        return path.substr(0, path.find_last_of(L'\\'));
    }
    std::wstring logFile() const { return root.path() + L"\\QOVI.log"; }
    std::wstring exe(const wchar_t* name) const { return qovitest::exeFolder() + L"\\" + name; }

    std::vector<QOVIWebItem*> sites()
    {
        std::vector<QOVIWebItem*> items;
        bank()->getWebItems(items, L"", L"");
        return items;
    }
    std::vector<QOVIInputItem*> inputs(const std::wstring& webName)
    {
        std::vector<QOVIInputItem*> items;
        bank()->getInputItems(items, webName);
        return items;
    }
    std::wstring value(const std::wstring& webName, size_t index)
    {
        std::vector<QOVIInputItem*> items = inputs(webName);
        return index < items.size() ? items[index]->getstrValue() : L"<none>";
    }

    // The bank in short: its two settings, then each site's name and values.
    std::wstring brief()
    {
        std::wstring text = std::to_wstring(user()->getPWDBankEnable()) + std::to_wstring(user()->getBubbleEnable());
        for (QOVIWebItem* site : sites()) {
            text += L" " + site->getstrWebName();
            for (QOVIInputItem* item : inputs(site->getstrWebName()))
                text += L"," + item->getstrValue();
        }
        return text;
    }
    // The whole bank as text, for comparing two banks field by field.
    std::wstring describe()
    {
        std::wstring text = L"pwdbank=" + std::to_wstring(user()->getPWDBankEnable()) +
                            L" bubble=" + std::to_wstring(user()->getBubbleEnable()) + L"\n";
        for (QOVIWebItem* site : sites()) {
            text += L"[" + site->getstrWebName() + L"|" + site->getstrURL() + L"|" + site->getstrFormId() + L"|" +
                    site->getstrFormName() + L"]\n";
            for (QOVIInputItem* item : inputs(site->getstrWebName()))
                text += L"  (" + item->getstrId() + L"|" + item->getstrName() + L"|" + item->getstrType() + L"|" +
                        item->getstrValue() + L")\n";
        }
        return text;
    }

    qovitest::TempFolder root;
    qovitest::ScopedEnvironment dataDir{L"QOVI_DATA_DIR", root.path()};
    std::unique_ptr<qovitest::TempFolder> caseRoot;
    std::unique_ptr<qovitest::ScopedEnvironment> caseDir;
};

// A typical site: a user name item and a password item.
inline QOVINewWebItem loginSite(const std::wstring& name, const std::wstring& url, const std::wstring& user,
                                const std::wstring& password)
{
    return QOVINewWebItem{name, url, L"loginForm", L"login",
                          {{L"user", L"username", L"text", user}, {L"pass", L"password", L"password", password}}};
}

// Runs a program to its end; returns its exit code.
inline long run(const std::wstring& exe, const std::wstring& arguments, std::string* output = nullptr)
{
    return qovitest::runProcess(exe, arguments, output, 60000);
}

}  // namespace storetest
