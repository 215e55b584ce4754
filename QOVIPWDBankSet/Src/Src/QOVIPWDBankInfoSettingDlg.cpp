#include "QOVIPWDBankInfoSettingDlg.h"

#include "AppGlobals.h"

INT_PTR CALLBACK SiteListPageProc(HWND page, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_ERASEBKGND:
        return reinterpret_cast<INT_PTR>(GetStockObject(WHITE_BRUSH));
    default:
        return FALSE;
    }
}
