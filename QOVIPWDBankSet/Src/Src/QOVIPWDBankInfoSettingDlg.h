// QOVIPWDBankInfoSettingDlg.h - the web site list page (53).
#pragma once

#include <windows.h>

INT_PTR CALLBACK SiteListPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam);
