// SiteEditSave.h - the Save command (IDC_SITE_EDIT_SAVE) of the web site edit dialog.
#pragma once

#include <windows.h>

struct SiteEditState;

// Hands the dialog's edits to the store in one pass (a new name, the removed
// input items, the removal of the whole site when no row is left, the values
// taken over) and saves the user when anything was marked modified. Keeps the
// list page in step through its own operations. The dialog ends only when the
// site itself went.
void saveSiteEdits(SiteEditState& state, HWND dialog);
