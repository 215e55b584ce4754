#include "SiteFixture.h"

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
    LVITEMW item = {};
    item.stateMask = LVIS_SELECTED;
    SendMessageW(siteList(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED;
    SendMessageW(siteList(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
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
