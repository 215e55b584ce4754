// QOVIPWDBankIputItemEditDlg.h - the input item edit dialog (55): the value of
// one input item of the site open in the web site edit dialog.
#pragma once

#include <windows.h>

INT_PTR CALLBACK InputItemEditProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
