#include "UiFixture.h"

#include "FPGlobal.h"

using namespace qovitest;

StoreFixture::StoreFixture() : dataDir(L"QOVI_DATA_DIR", data.path())
{
    createQOVIAppUserDirectory();
}

StoreFixture::~StoreFixture()
{
    QOVIUserInfoManager::releaseUsers();
    QOVILog::endLog();
    AppGlobals.currentUser = nullptr;
    AppGlobals.selectedSiteUrl.clear();
    AppGlobals.selectedSiteFormId.clear();
    AppGlobals.selectedSiteFormName.clear();
    AppGlobals.selectedInputName.clear();
    AppGlobals.selectedInputValue.clear();
    AppGlobals.selectedInputType.clear();
    AppGlobals.selectedInputId.clear();
    AppGlobals.pendingPasswordValue.clear();
}

void StoreFixture::storeSettings(int pwdBank, int bubble)
{
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    ASSERT_EQ(0, user->load(1));
    user->setPWDBankEnable(pwdBank);
    user->setBubbleEnable(bubble);
    ASSERT_EQ(0, user->save(1));
    QOVIUserInfoManager::releaseUsers();
}

StoreFixture::StoredState StoreFixture::reload()
{
    // Another process's view: a separate load of the file.
    std::string output;
    StoredState state;
    QOVIUserInfoManager::releaseUsers();
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    EXPECT_EQ(0, user->load(1));
    state.pwdBank = user->getPWDBankEnable();
    state.bubble = user->getBubbleEnable();
    std::vector<QOVIWebItem*> sites;
    user->getPWDBankInfo()->getWebItems(sites, L"", L"");
    for (QOVIWebItem* site : sites)
        state.siteNames.push_back(site->getstrWebName());
    QOVIUserInfoManager::releaseUsers();
    return state;
}

std::string StoreFixture::logText() const
{
    QOVILog::endLog();  // flushed and closed; the next line opens it again
    std::string text;
    for (const std::wstring& name : listFolder(data.path())) {
        if (name.size() > 4 && name.compare(name.size() - 4, 4, L".log") == 0)
            text += readFileBytes(data.file(name));
    }
    return text;
}

int StoreFixture::countInLog(const std::string& needle) const
{
    std::string text = logText();
    int count = 0;
    for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
        ++count;
    return count;
}

MainWindowFixture::~MainWindowFixture() { destroyMainWindow(); }

void MainWindowFixture::openMainWindow()
{
    startState.reset(new MainWindowState(false));
    ASSERT_TRUE(startState->createMainWindow(AppGlobals.hInstance));
    pumpMessages();
}

void MainWindowFixture::destroyMainWindow()
{
    if (AppGlobals.hMainDialog && IsWindow(AppGlobals.hMainDialog))
        DestroyWindow(AppGlobals.hMainDialog);
    pumpMessages();
    // The loop is not running: drop the WM_QUIT the main dialog posted.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    startState.reset();
    AppGlobals.hMainDialog = AppGlobals.hSettingsPage = AppGlobals.hSiteListPage = nullptr;
}
