#!/usr/bin/env bash
# The demo: a made-up bank imported with qovibank, the stand-in of the suite's
# main application, and the tool. With a display the tool opens there and the
# demo ends when it is closed; on a headless run (DEMO_HEADLESS=1) it takes
# screenshots of each page into OUT_DIR and closes the tool itself.
# Expects the Wine environment of ./run (WINEPREFIX, DISPLAY, ...) and WINE_BIN.
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
: "${WINE_BIN:?}" "${OUT_DIR:?}"
rm -rf "$OUT_DIR"
mkdir -p "$OUT_DIR/data"

source "$HERE/../driver/drive.sh"

export QOVI_DATA_DIR
QOVI_DATA_DIR=$(winpath "$OUT_DIR/data")
wine "$WINE_BIN/qovibank.exe" import "$(winpath "$HERE/demo-bank.csv")" </dev/null 2>&1 | tr -d '\r' || true

wine "$WINE_BIN/QOVIMainAppStub.exe" --record "$(winpath "$OUT_DIR/companion.txt")" </dev/null >/dev/null 2>&1 &
wine "$WINE_BIN/QOVIPwdListenerStub.exe" --record "$(winpath "$OUT_DIR/listener.txt")" </dev/null >/dev/null 2>&1 &
sleep 1
wine "$WINE_BIN/QOVIPWDBankSet.exe" </dev/null >/dev/null 2>&1 &
tool=$!

# A screenshot of a window into OUT_DIR.
screenshot() {
    local name=$1
    shift
    shot "$OUT_DIR/$name.png" "$@" && echo "demo: $OUT_DIR/$name.png"
}

if [ "${DEMO_HEADLESS:-0}" = 1 ]; then
    screenshot 01-settings-page main
    click_tab 1
    screenshot 02-site-list-page main
    # The keyboard's focus, shown where it is: on a site, then on a footer button.
    focus_main
    press Tab Tab Down
    screenshot 02a-keyboard-focus-on-a-site main
    press Tab Tab Tab
    screenshot 02b-keyboard-focus-on-apply main
    # A search: the sites whose name or address holds "north".
    type_into sites IDC_SITE_SEARCH 'north'
    screenshot 02c-search main
    type_into sites IDC_SITE_SEARCH ''
    click_row sites IDC_SITE_LIST 0
    # The typical event: a new password for a saved site.
    double_click_row sites IDC_SITE_LIST 0
    screenshot 03-site-edit-dialog edit
    double_click_row edit IDC_SITE_EDIT_INPUTS 1
    screenshot 04-input-item-dialog input
    type_into input IDC_INPUT_EDIT_VALUE 'New-Secret-77'
    click input IDC_INPUT_EDIT_SAVE
    screenshot 05-new-password-taken-over edit
    click edit IDC_SITE_EDIT_SAVE
    screenshot 06-saved box IDS_CAPTION_INFO
    answer_box IDOK >/dev/null
    click edit IDC_SITE_EDIT_CLOSE
    click_row sites IDC_SITE_LIST 1
    ctrl_click_row sites IDC_SITE_LIST 2
    screenshot 07-two-sites-selected main
    click sites IDC_SITE_LIST_DELETE
    screenshot 08-delete-question box IDS_CAPTION_INFO
    answer_box IDCANCEL >/dev/null
    click_tab 0
    click settings IDC_SETTINGS_PWDBANK
    screenshot 09-password-bank-off main
    click main IDC_MAIN_CLOSE
    screenshot 10-close-question box IDS_CAPTION_INFO
    answer_box IDOK >/dev/null
    wait "$tool" || true

    # The same window at 144 DPI (Wine reads the DPI when a process starts).
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d 144 /f >/dev/null 2>&1
    wine "$WINE_BIN/QOVIPWDBankSet.exe" </dev/null >/dev/null 2>&1 &
    tool=$!
    screenshot 11-settings-page-144dpi main || true
    driver close
    wait "$tool" || true
    wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1

    # Both pages under a high-contrast theme, white on black. Wine cannot
    # switch Windows' high contrast on, so the tool's twin, built from the
    # same modules, switches it on for itself (tools/demo/HighContrastTwin.cpp).
    wine "$WINE_BIN/QOVIPWDBankSetHighContrast.exe" </dev/null >/dev/null 2>&1 &
    tool=$!
    screenshot 14-high-contrast-settings-page main || true
    driver tab 1 >/dev/null
    screenshot 14-high-contrast-site-list-page main || true
    driver close
    wait "$tool" || true

    # The main window in each language (the driver, too, must run in it to
    # find the window by its caption).
    for locale in ${DEMO_LANGUAGES:-de_DE fr_FR es_ES pt_BR it_IT ja_JP ko_KR zh_CN zh_TW}; do
        (
            { export LC_ALL=$locale.UTF-8; } 2>/dev/null  # bash itself has no such locale: harmless
            wine "$WINE_BIN/QOVIPWDBankSet.exe" </dev/null >/dev/null 2>&1 &
            language_tool=$!
            screenshot "12-language-$locale" main
            driver close >/dev/null
            wait "$language_tool"
        )
    done
fi
wait "$tool" || true
driver stop-stubs
wait
