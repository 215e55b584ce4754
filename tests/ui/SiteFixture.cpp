#include "SiteFixture.h"

#include "FPGlobal.h"
#include "QOVIPWDBankIputItemEditDlg.h"
#include "resource.h"

using namespace qovitest;

SiteFixture::~SiteFixture() { closeEditor(); }

QOVINewWebItem SiteFixture::site(const std::wstring& name, std::vector<QOVINewInputItem> inputs)
{
    QOVINewWebItem item;
    item.webName = name;
    item.url = L"https://" + name + L".example/login";
    item.formId = L"form-" + name;
    item.formName = L"login-" + name;
    item.inputs = std::move(inputs);
    return item;
}

std::vector<QOVINewInputItem> SiteFixture::userAndPassword()
{
    return {{L"u1", L"user", L"text", L"alice"}, {L"p1", L"pass", L"password", L"secret12"}};
}

void SiteFixture::storeSites(const std::vector<QOVINewWebItem>& sites)
{
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    ASSERT_EQ(0, user->load(1));
    for (const QOVINewWebItem& item : sites) {
        std::wstring given;
        ASSERT_EQ(0, user->getPWDBankInfo()->addWebItem(item, &given));
        ASSERT_EQ(item.webName, given);
    }
    ASSERT_EQ(0, user->save(1));
    QOVIUserInfoManager::releaseUsers();
}

void SiteFixture::storeNumberedSites(int count)
{
    std::vector<QOVINewWebItem> sites;
    for (int i = 0; i < count; ++i)
        sites.push_back(site(L"site" + std::to_wstring(i), userAndPassword()));
    storeSites(sites);
}

void SiteFixture::openSitesPage()
{
    openMainWindow();
    ASSERT_NE(nullptr, AppGlobals.siteListState);
    AppGlobals.mainState->currentTab = 1;
    AppGlobals.mainState->switchPage();
    pumpMessages();
    takeModifiedPosts();
}

std::vector<std::wstring> SiteFixture::siteRows() const
{
    std::vector<std::wstring> rows;
    for (int row = 0; row < listViewRowCount(siteList()); ++row)
        rows.push_back(listViewText(siteList(), row, 1));
    return rows;
}

std::vector<std::wstring> SiteFixture::siteElements() const
{
    std::vector<std::wstring> names;
    for (const QOVIWebItem* item : listState().webItems)
        names.push_back(item->getstrWebName());
    return names;
}

std::vector<std::wstring> SiteFixture::bankSites() const
{
    std::vector<QOVIWebItem*> items;
    AppGlobals.currentUser->getPWDBankInfo()->getWebItems(items, L"", L"");
    std::vector<std::wstring> names;
    for (const QOVIWebItem* item : items)
        names.push_back(item->getstrWebName());
    return names;
}

HWND SiteFixture::openEditorOn(int row)
{
    ListView_SetItemState(siteList(), -1, 0, LVIS_SELECTED);
    ListView_SetItemState(siteList(), row, LVIS_SELECTED, LVIS_SELECTED);
    editor = CreateDialogParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_SITE_EDIT), AppGlobals.hSiteListPage,
                                SiteEditProc, 0);
    EXPECT_NE(nullptr, editor);
    EXPECT_NE(nullptr, AppGlobals.siteEditState);
    // Shown, as the modal loop would show it: hidden windows collect no update region.
    ShowWindow(editor, SW_SHOWNA);
    return editor;
}

void SiteFixture::closeEditor()
{
    if (editor && IsWindow(editor))
        DestroyWindow(editor);
    editor = nullptr;
    pumpMessages();
}

std::vector<std::vector<std::wstring>> SiteFixture::inputRows() const
{
    std::vector<std::vector<std::wstring>> rows;
    for (int row = 0; row < listViewRowCount(inputList()); ++row)
        rows.push_back({listViewText(inputList(), row, 0), listViewText(inputList(), row, 1),
                        listViewText(inputList(), row, 2)});
    return rows;
}

std::vector<std::wstring> SiteFixture::inputElements() const
{
    std::vector<std::wstring> names;
    for (const QOVIInputItem* item : editState().inputItems)
        names.push_back(item->getstrName().empty() ? L"#" + item->getstrId() : item->getstrName());
    return names;
}

// ------------------------------------------------------------ ModalSteps --

ModalSteps::ModalSteps()
{
    window_ = CreateWindowExW(0, L"STATIC", nullptr, 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    SetWindowSubclass(window_, proc, 0, reinterpret_cast<DWORD_PTR>(this));
}

ModalSteps::~ModalSteps()
{
    RemoveWindowSubclass(window_, proc, 0);
    DestroyWindow(window_);
}

void ModalSteps::post(std::function<void()> steps)
{
    steps_ = std::move(steps);
    PostMessageW(window_, WM_APP, 0, 0);
}

LRESULT CALLBACK ModalSteps::proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self)
{
    if (message != WM_APP)
        return DefSubclassProc(window, message, wParam, lParam);
    // Taken out first: the actions may open a dialog that posts the next ones.
    std::function<void()> steps = std::move(reinterpret_cast<ModalSteps*>(self)->steps_);
    steps();
    return 0;
}

// ------------------------------------------------- the input item dialog --

std::function<void(HWND)> SiteFixture::inDialog(std::function<void(HWND)> actions)
{
    return [this, actions](HWND dialog) { steps.post([dialog, actions] { actions(dialog); }); };
}

void SiteFixture::selectInput(int row) { selectListViewRows(inputList(), {row}); }

INT_PTR SiteFixture::openInputDialog(int row)
{
    selectInput(row);
    const QOVIInputItem& item = *editState().inputItems[row];
    AppGlobals.selectedInputName = item.getstrName();
    AppGlobals.selectedInputValue = item.getstrValue();
    AppGlobals.selectedInputType = item.getstrType();
    AppGlobals.selectedInputId = item.getstrId();
    return DialogBoxParamW(AppGlobals.hInstance, MAKEINTRESOURCEW(IDD_INPUT_ITEM_EDIT), editor, InputItemEditProc, 0);
}

void SiteFixture::clickOpen() { clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_OPEN)); }

void SiteFixture::takeOver(HWND inputDialog, const std::wstring& value)
{
    typeInputValue(inputDialog, value);
    pressButton(inputDialog, IDC_INPUT_EDIT_SAVE);
}

void SiteFixture::clickSave() { clickWindow(GetDlgItem(editor, IDC_SITE_EDIT_SAVE)); }

std::pair<int, int> SiteFixture::takeMarks()
{
    pumpMessages();
    std::pair<int, int> marks(AppGlobals.mainState->dirty, AppGlobals.siteEditState ? editState().modified : -1);
    AppGlobals.mainState->dirty = 0;
    if (AppGlobals.siteEditState)
        editState().modified = 0;
    return marks;
}

std::vector<std::wstring> SiteFixture::storedInputsAfterClosing(const std::wstring& site)
{
    closeEditor();
    destroyMainWindow();
    QOVIUserInfoManager::releaseUsers();
    QOVIUserInfo* user = QOVIUserInfoManager::getCurrentLogonUser();
    EXPECT_EQ(0, user->load(1));
    std::vector<QOVIInputItem*> items;
    user->getPWDBankInfo()->getInputItems(items, site);
    std::vector<std::wstring> inputs;
    for (const QOVIInputItem* item : items)
        inputs.push_back(item->getstrName() + L"|" + item->getstrId() + L"|" + item->getstrType() + L"|" +
                         item->getstrValue());
    QOVIUserInfoManager::releaseUsers();
    return inputs;
}

std::vector<std::wstring> SiteFixture::storedSitesAfterClosing()
{
    closeEditor();
    destroyMainWindow();
    return reload().siteNames;
}

std::string SiteFixture::dataFileBytes() const
{
    return readFileBytes(AppGlobals.currentUser->getDataFilePath());
}

std::wstring SiteFixture::text(UINT id) const { return loadResString(id); }

HWND inputValueEdit(HWND inputDialog) { return GetDlgItem(inputDialog, IDC_INPUT_EDIT_VALUE); }

void typeInputValue(HWND inputDialog, const std::wstring& value)
{
    SetWindowTextW(inputValueEdit(inputDialog), value.c_str());
}

void pressButton(HWND dialog, int id)
{
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}
