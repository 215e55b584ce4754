// resource.h - resource IDs of QOVIPWDBankSet.exe, grouped by dialog.
// Control IDs are unique across the program except IDC_SITE_EDIT_CLOSE (326),
// which both edit dialogs use for their close button.
#pragma once

// Icons
#define IDI_APP_LARGE                   12
#define IDI_APP_SMALL                   13

// Dialog templates (one set per language, res/lang/*.rc)
#define IDD_MAIN                        51
#define IDD_SETTINGS_PAGE               52
#define IDD_SITE_LIST_PAGE              53
#define IDD_SITE_EDIT                   54
#define IDD_INPUT_ITEM_EDIT             55

// Main dialog (51)
#define IDC_MAIN_TAB                    101
#define IDC_MAIN_APPLY                  102
#define IDC_MAIN_CLOSE                  103
#define IDC_MAIN_HELP                   104
#define IDC_MAIN_TITLE                  105

// Web site edit dialog (54): title line
#define IDC_SITE_EDIT_TITLE             106

// Settings page (52)
#define IDC_SETTINGS_PWDBANK            201
#define IDC_SETTINGS_BUBBLE             202
#define IDC_SETTINGS_DESCRIPTION        203

// Web site list page (53)
#define IDC_SITE_LIST_OPEN              301
#define IDC_SITE_LIST_DELETE            302
#define IDC_SITE_LIST                   303
#define IDC_SITE_LIST_LABEL             304
#define IDC_SITE_SEARCH                 305
#define IDC_SITE_SEARCH_LABEL           306

// Web site edit dialog (54)
#define IDC_SITE_EDIT_INPUTS            321
#define IDC_SITE_EDIT_NAME              322
#define IDC_SITE_EDIT_REMOVE            323
#define IDC_SITE_EDIT_OPEN              324
#define IDC_SITE_EDIT_SAVE              325
#define IDC_SITE_EDIT_CLOSE             326
#define IDC_SITE_EDIT_NAME_LABEL        328
#define IDC_SITE_EDIT_INPUTS_LABEL      329
#define IDC_SITE_EDIT_HELP              330

// Input item edit dialog (55); its close button is IDC_SITE_EDIT_CLOSE (326)
#define IDC_INPUT_EDIT_SAVE             341
#define IDC_INPUT_EDIT_VALUE            342
#define IDC_INPUT_EDIT_LABEL            346

// Skin images, resource type "PNG"
#define IDP_MAIN_BACKGROUND             501
#define IDP_BUTTON_NORMAL               502
#define IDP_BUTTON_HOVER                503
#define IDP_BUTTON_PRESSED              504
#define IDP_EDIT_BACKGROUND             505
#define IDP_BUTTON2_NORMAL              506
#define IDP_BUTTON2_HOVER               507
#define IDP_BUTTON2_PRESSED             508
#define IDP_SMALL_BUTTON_NORMAL         509
#define IDP_SMALL_BUTTON_HOVER          510
#define IDP_SMALL_BUTTON_PRESSED        511
#define IDP_HELP_ICON                   512

// Strings: main window and shared boxes
#define IDS_MAIN_CAPTION                1001
#define IDS_BUTTON_APPLY                1003
#define IDS_BUTTON_CLOSE_EDIT           1004
#define IDS_BUTTON_CLOSE                1005
#define IDS_CAPTION_ERROR               1006
#define IDS_CAPTION_INFO                1007
#define IDS_BUTTON_HELP                 1008
#define IDS_TAB_SETTINGS                1010
#define IDS_TAB_SITES                   1011
#define IDS_SAVED                       1012
#define IDS_SAVE_FAILED                 1013
#define IDS_CONFIRM_CLOSE               1014

// Strings: what loading the password bank found
#define IDS_BANK_RESTORED               1021
#define IDS_BANK_RESTORED_MISSING       1022
#define IDS_BANK_UNREADABLE             1023
#define IDS_BANK_BUSY                   1024
#define IDS_BANK_READ_FAILED            1025
#define IDS_BANK_FOLDER_UNUSABLE        1026
#define IDS_BANK_NEWER                  1027
#define IDS_SITES_UNREADABLE            1028

// Strings: settings page
#define IDS_DESC_PWDBANK_ON             1201
#define IDS_DESC_BUBBLE_ON              1202
#define IDS_DESC_BOTH_OFF               1203

// Strings: saved web sites
#define IDS_CONFIRM_REMOVE_INPUTS       1302
#define IDS_INPUT_COLUMN_ITEM           1303
#define IDS_INPUT_COLUMN_VALUE          1305
#define IDS_CONFIRM_DELETE_SITES        1307
#define IDS_SITE_COLUMN_NAME            1312
#define IDS_BUTTON_OPEN                 1313
#define IDS_BUTTON_DELETE               1314
#define IDS_NAME_EXISTS                 1315
#define IDS_NAME_EMPTY                  1316
#define IDS_USER_NAME_EMPTY             1317
#define IDS_PASSWORD_EMPTY              1318
#define IDS_ROW_USER_NAME               1319
#define IDS_ROW_PASSWORD                1320
#define IDS_INPUT_EDIT_LABEL            1321
#define IDS_DELETE_REFUSED              1322
#define IDS_CHANGE_REFUSED              1323
