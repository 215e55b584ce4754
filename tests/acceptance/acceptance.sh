#!/usr/bin/env bash
# Acceptance: the real program under Wine on an X display, beside the
# stand-ins, driven only as a person would drive it: real mouse clicks and
# key presses with xdotool, one case with the keyboard alone. Results are
# read from the screen (QOVIDriver reports what windows show), from the
# stand-ins' records and from qovibank's export. Prints "ok"/"not ok" per
# case and a closing "acceptance: N passed, M failed" line; exits non-zero
# when one failed.
#
# Expects the Wine environment of ./run (WINEPREFIX of the X11 prefix,
# DISPLAY, a running wineserver) and WINE_BIN. ACCEPTANCE_DPI (96 or 144)
# runs the whole set at that display DPI.
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
: "${WINE_BIN:?}"
DPI=${ACCEPTANCE_DPI:-96}
WORK=$(mktemp -d)
passed=0
failed=0
tool_pid=""

source "$ROOT/tools/driver/drive.sh"

# A fresh bank from the demo's sites, the stand-ins and the tool.
start_session() {
    local data="$WORK/$1"
    mkdir -p "$data"
    export QOVI_DATA_DIR
    QOVI_DATA_DIR=$(winpath "$data")
    qovibank import "$(winpath "$ROOT/tools/demo/demo-bank.csv")" >/dev/null
    RECORDS=$data
    wine "$WINE_BIN/QOVIMainAppStub.exe" --record "$(winpath "$data/companion.txt")" </dev/null >/dev/null 2>&1 &
    wine "$WINE_BIN/QOVIPwdListenerStub.exe" --record "$(winpath "$data/listener.txt")" </dev/null >/dev/null 2>&1 &
    sleep 1
    wine "$WINE_BIN/QOVIPWDBankSet.exe" </dev/null >/dev/null 2>&1 &
    tool_pid=$!
    driver rect main >/dev/null
}

end_session() {
    if [ -n "$tool_pid" ] && kill -0 "$tool_pid" 2>/dev/null; then
        driver close >/dev/null
        wait "$tool_pid" 2>/dev/null
    fi
    tool_pid=""
    driver stop-stubs >/dev/null
    sleep 0.5
}

check() {  # check NAME CONDITION-RESULT DETAIL
    if [ "$2" = 0 ]; then
        echo "ok - $1"
        passed=$((passed + 1))
    else
        echo "not ok - $1: $3"
        failed=$((failed + 1))
        import -window root "$WORK/failure-$failed.png" 2>/dev/null
    fi
}

apply_and_confirm() {
    click main IDC_MAIN_APPLY
    answer_box IDOK
}

# ----------------------------------------------------------------- cases --

case_switch_bank_off_and_on() {
    start_session switch
    click settings IDC_SETTINGS_PWDBANK
    click settings IDC_SETTINGS_PWDBANK
    local box bubble=$(driver checked settings IDC_SETTINGS_BUBBLE) enabled=$(driver enabled settings IDC_SETTINGS_BUBBLE)
    box=$(apply_and_confirm)
    end_session
    local settings
    settings=$(QOVI_DATA_DIR=$(winpath "$WORK/switch") qovibank settings)
    local listener
    listener=$(cat "$RECORDS/listener.txt" 2>/dev/null)
    [ "$bubble$enabled" = 01 ] && [ "$box" = "$(string IDS_CAPTION_INFO)|$(string IDS_SAVED)" ] &&
        [ "$listener" = "WM_CLOSE" ] && grep -q 'pwdbank: on' <<<"$settings" &&
        grep -q 'bubble: off' <<<"$settings"
    check "switch the bank off and on, apply" $? "bubble=$bubble enabled=$enabled box=[$box] listener=[$listener] settings=[$settings]"
}

case_delete_two_sites() {
    start_session delete
    click_tab 1
    click_row sites IDC_SITE_LIST 0
    ctrl_click_row sites IDC_SITE_LIST 2
    click sites IDC_SITE_LIST_DELETE
    local box
    box=$(answer_box IDOK)
    local rows
    rows=$(driver count sites IDC_SITE_LIST)
    apply_and_confirm >/dev/null
    end_session
    local sites
    sites=$(QOVI_DATA_DIR=$(winpath "$WORK/delete") qovibank list)
    [ "$rows" = 4 ] && ! grep -q 'Northwind Mail' <<<"$sites" && ! grep -q 'Contoso Shop' <<<"$sites" &&
        grep -q 'Fabrikam Bank' <<<"$sites" && [ "${box%%|*}" = "$(string IDS_CAPTION_INFO)" ]
    check "delete two sites, apply" $? "rows=$rows box=[$box] sites=[$sites]"
}

case_new_password_for_a_site() {
    start_session password
    click_tab 1
    double_click_row sites IDC_SITE_LIST 0
    driver rect edit >/dev/null
    local masked
    masked=$(driver cell edit IDC_SITE_EDIT_INPUTS 1 2)
    double_click_row edit IDC_SITE_EDIT_INPUTS 1
    driver rect input >/dev/null
    type_into input IDC_INPUT_EDIT_VALUE 'New-Secret-77'
    click input IDC_INPUT_EDIT_SAVE
    driver gone input >/dev/null
    local shown
    shown=$(driver cell edit IDC_SITE_EDIT_INPUTS 1 2)
    click edit IDC_SITE_EDIT_SAVE
    local saved
    saved=$(answer_box IDOK)
    click edit IDC_SITE_EDIT_CLOSE
    driver gone edit >/dev/null
    apply_and_confirm >/dev/null
    end_session
    local exported
    exported=$(QOVI_DATA_DIR=$(winpath "$WORK/password") qovibank export --format csv)
    [ "$masked" = '***************' ] && [ "$shown" = '*************' ] &&
        [ "$saved" = "$(string IDS_CAPTION_INFO)|$(string IDS_SAVED)" ] &&
        grep -q 'Northwind Mail.*anna.berg,New-Secret-77' <<<"$exported" &&
        ! grep -q 'Tulip-Harbor-42' <<<"$exported" && grep -q 'Quartz!Meadow7' <<<"$exported" &&
        grep -q 'Orbit-Velvet-88' <<<"$exported" && [ "$(cat "$RECORDS/listener.txt")" = $'WM_CLOSE\nWM_CLOSE' ]
    check "new password for a saved site: save, close, apply" $? "masked=[$masked] shown=[$shown] saved=[$saved] export=[$exported] listener=[$(cat "$RECORDS/listener.txt")]"
}

# The typical event with the keyboard alone: open a site, change its
# password, save, close, apply, close the tool.
case_new_password_by_keyboard() {
    start_session keyboard
    focus_main
    press ctrl+Tab Tab Tab Return       # the sites page, its search box, the site list, open its first site
    driver rect edit >/dev/null
    press Down Return                   # the input list has the keys: the password row, open it
    driver rect input >/dev/null
    xdotool type --delay 30 'New-Secret-77'
    press Return                        # OK
    driver gone input >/dev/null
    press alt+a                         # Save (its label is Apply)
    local saved
    saved=$(driver box)
    press Return
    driver gone box >/dev/null
    press alt+c                         # Close
    driver gone edit >/dev/null
    press alt+a                         # Apply
    local applied
    applied=$(driver box)
    press Return
    driver gone box >/dev/null
    press Escape                        # the close question
    local question
    question=$(driver box)
    press Return
    wait "$tool_pid"
    local status=$?
    tool_pid=""
    local exported
    exported=$(QOVI_DATA_DIR=$(winpath "$WORK/keyboard") qovibank export --format csv)
    [ "$saved" = "$(string IDS_CAPTION_INFO)|$(string IDS_SAVED)" ] && [ "$applied" = "$saved" ] &&
        [ "$question" = "$(string IDS_CAPTION_INFO)|$(string IDS_CONFIRM_CLOSE)" ] && [ "$status" = 0 ] &&
        grep -q 'Northwind Mail.*anna.berg,New-Secret-77' <<<"$exported" &&
        [ "$(cat "$RECORDS/listener.txt")" = $'WM_CLOSE\nWM_CLOSE' ]
    check "new password for a saved site by keyboard alone" $? "saved=[$saved] applied=[$applied] question=[$question] status=$status export=[$exported] listener=[$(cat "$RECORDS/listener.txt")]"
}

# ------------------------------------------------------------------ run --

trap 'end_session >/dev/null 2>&1; rm -rf "$WORK"' EXIT
if [ "$DPI" != 96 ]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$DPI" /f >/dev/null 2>&1
fi
all_cases="case_switch_bank_off_and_on case_delete_two_sites case_new_password_for_a_site case_new_password_by_keyboard"
for case_name in ${ACCEPTANCE_CASES:-$all_cases}; do
    "$case_name"
    end_session
done
if [ "$DPI" != 96 ]; then
    wine reg delete 'HKCU\Control Panel\Desktop' /v LogPixels /f >/dev/null 2>&1
fi
echo "acceptance cases above ran at $DPI dpi"
echo "acceptance: $passed passed, $failed failed"
[ "$failed" = 0 ]
