#include "UiFixture.h"

using namespace qovitest;

// A stand-in of the suite's password listener inside the test process: the
// tool finds it by its class and posts it WM_CLOSE after every save.
static int listenerCloses;

static LRESULT CALLBACK listenerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        ++listenerCloses;
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

UiFixture::UiFixture() : dataDir_(L"QOVI_DATA_DIR", data_.path())
{
    createQOVIAppUserDirectory();
    WNDCLASSW listenerClass = {};
    listenerClass.lpfnWndProc = listenerProc;
    listenerClass.lpszClassName = L"QOVI_PWD_LISTEN";
    RegisterClassW(&listenerClass);
    listener_ = CreateWindowExW(0, L"QOVI_PWD_LISTEN", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr);
    listenerCloses = 0;
}

UiFixture::~UiFixture()
{
    closeEditor();
    closeMainWindow();
    DestroyWindow(listener_);
    QOVIUserInfoManager::releaseUsers();
    QOVILog::endLog();
    AppGlobals.currentUser = nullptr;
    for (std::wstring* text : {&AppGlobals.selectedSiteUrl, &AppGlobals.selectedSiteFormId,
                               &AppGlobals.selectedSiteFormName, &AppGlobals.selectedInputName,
                               &AppGlobals.selectedInputValue, &AppGlobals.selectedInputType,
                               &AppGlobals.selectedInputId, &AppGlobals.pendingPasswordValue})
        text->clear();
}

// ------------------------------------------------------------ the store --

QOVINewWebItem UiFixture::site(const std::wstring& name, std::vector<QOVINewInputItem> inputs)
{
    return QOVINewWebItem{name, L"https://" + name + L".example/login", L"form-" + name, L"login-" + name,
                          std::move(inputs)};
}

std::vector<QOVINewInputItem> UiFixture::userAndPassword()
{
    return {{L"u1", L"user", L"text", L"alice"}, {L"p1", L"pass", L"password", L"secret12"}};
}

void UiFixture::store(const std::vector<QOVINewWebItem>& sites, int pwdBank, int bubble)
{
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    ASSERT_EQ(0, user->load(1));
    user->setPWDBankEnable(pwdBank);
    user->setBubbleEnable(bubble);
    for (const QOVINewWebItem& item : sites)
        ASSERT_EQ(0, user->getPWDBankInfo()->addWebItem(item));
    ASSERT_EQ(0, user->save(1));
    QOVIUserInfoManager::releaseUsers();
}

UiFixture::Stored UiFixture::stored()
{
    closeEditor();
    closeMainWindow();
    QOVIUserInfoManager::releaseUsers();
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    Stored stored;
    EXPECT_EQ(0, user->load(1));
    stored.pwdBank = user->getPWDBankEnable();
    stored.bubble = user->getBubbleEnable();
    std::vector<QOVIWebItem*> sites;
    user->getPWDBankInfo()->getWebItems(sites, L"", L"");
    for (const QOVIWebItem* site : sites) {
        stored.sites.push_back(site->getstrWebName());
        std::vector<QOVIInputItem*> items;
        user->getPWDBankInfo()->getInputItems(items, site->getstrWebName());
        for (const QOVIInputItem* item : items)
            stored.inputs[site->getstrWebName()].push_back(item->getstrName() + L"|" + item->getstrId() + L"|" +
                                                           item->getstrType() + L"|" + item->getstrValue());
    }
    QOVIUserInfoManager::releaseUsers();
    return stored;
}

std::string UiFixture::dataFileBytes() const { return readFileBytes(AppGlobals.currentUser->getDataFilePath()); }

int UiFixture::countInLog(const std::string& needle) const
{
    QOVILog::endLog();  // flushed and closed; the next line opens it again
    const std::string log = readFileBytes(data_.file(L"QOVI.log"));
    int count = 0;
    for (size_t at = log.find(needle); at != std::string::npos; at = log.find(needle, at + needle.size()))
        ++count;
    return count;
}

// ------------------------------------------------------------- windows --

void UiFixture::openMainWindow(int tab)
{
    startState_.reset(new MainWindowState(false));
    ASSERT_TRUE(startState_->createMainWindow(AppGlobals.hInstance));
    // As a click on the tab would: the tab control tells the main dialog.
    SendDlgItemMessageW(AppGlobals.hMainDialog, IDC_MAIN_TAB, TCM_SETCURFOCUS, tab, 0);
    pumpMessages();
}

void UiFixture::closeMainWindow()
{
    if (AppGlobals.hMainDialog && IsWindow(AppGlobals.hMainDialog))
        DestroyWindow(AppGlobals.hMainDialog);
    pumpMessages();
    // The loop is not running: drop the WM_QUIT the main dialog posted.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    startState_.reset();
    AppGlobals.hMainDialog = AppGlobals.hSettingsPage = AppGlobals.hSiteListPage = nullptr;
}

HWND UiFixture::openEditorOn(int row)
{
    selectRows(siteList(), {row}, false);
    const QOVIWebItem& site = *listState().webItems[row];  // the keys the list page hands on
    AppGlobals.selectedSiteUrl = site.getstrURL();
    AppGlobals.selectedSiteFormId = site.getstrFormId();
    AppGlobals.selectedSiteFormName = site.getstrFormName();
    editor = CreateDialogParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_SITE_EDIT), AppGlobals.hSiteListPage,
                                SiteEditProc, 0);
    EXPECT_NE(nullptr, AppGlobals.siteEditState);
    // Shown, as the modal loop would show it: hidden windows collect no update region.
    ShowWindow(editor, SW_SHOWNA);
    return editor;
}

void UiFixture::closeEditor()
{
    if (editor && IsWindow(editor))
        DestroyWindow(editor);
    editor = nullptr;
    pumpMessages();
}

Strings UiFixture::siteElements() const
{
    Strings names;
    for (const QOVIWebItem* item : listState().webItems)
        names.push_back(item->getstrWebName());
    return names;
}

Strings UiFixture::inputElements() const
{
    Strings names;
    for (const QOVIInputItem* item : editState().inputItems)
        names.push_back(item->getstrName().empty() ? L"#" + item->getstrId() : item->getstrName());
    return names;
}

std::pair<int, int> UiFixture::takeMarks()
{
    pumpMessages();
    std::pair<int, int> marks(AppGlobals.mainState->dirty, AppGlobals.siteEditState ? editState().modified : -1);
    AppGlobals.mainState->dirty = 0;
    if (AppGlobals.siteEditState)
        editState().modified = 0;
    return marks;
}

int UiFixture::listenerNotices() const
{
    pumpMessages();
    return listenerCloses;
}

std::wstring UiFixture::text(UINT id) const { return loadResString(id); }

// ----------------------------------------------------------- controls --

Strings columnOf(HWND list, int column)
{
    Strings texts;
    for (int row = 0; row < rowCount(list); ++row)
        texts.push_back(rowText(list, row, column));
    return texts;
}

void selectRows(HWND list, std::initializer_list<int> rows, bool tellParent)
{
    ListView_SetItemState(list, -1, 0, LVIS_SELECTED);
    for (int row : rows)
        ListView_SetItemState(list, row, LVIS_SELECTED, LVIS_SELECTED);
    if (tellParent)
        notifyList(list, NM_CLICK);
}

void notifyList(HWND list, int code)
{
    NMITEMACTIVATE notify = {};
    notify.hdr.hwndFrom = list;
    notify.hdr.idFrom = GetDlgCtrlID(list);
    notify.hdr.code = code;
    notify.iItem = firstSelectedRow(list);
    SendMessageW(GetParent(list), WM_NOTIFY, notify.hdr.idFrom, reinterpret_cast<LPARAM>(&notify));
}

void clickAnswering(HWND dialog, int id, std::initializer_list<Box> boxes)
{
    ModalAnswerer answerer;
    for (const Box& box : boxes)
        answerer.expectBox(box.button, box.caption ? loadResString(box.caption) : L"",
                           box.text ? loadResString(box.text) : L"");
    clickWindow(GetDlgItem(dialog, id));
}

void press(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

HANDLE holdFile(const std::wstring& path)
{
    return CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
}

void takeOver(HWND inputDialog, const std::wstring& value)
{
    SetDlgItemTextW(inputDialog, IDC_INPUT_EDIT_VALUE, value.c_str());
    press(inputDialog, IDC_INPUT_EDIT_SAVE);
}
