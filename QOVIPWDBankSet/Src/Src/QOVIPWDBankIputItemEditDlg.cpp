#include "QOVIPWDBankIputItemEditDlg.h"

// The dialog only shows the template so far: every button, Esc and the close
// box end it with IDCANCEL and nothing changes.
INT_PTR CALLBACK InputItemEditProc(HWND dialog, UINT message, WPARAM, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        return TRUE;
    case WM_COMMAND:
        EndDialog(dialog, IDCANCEL);
        return TRUE;
    default:
        return FALSE;
    }
}
