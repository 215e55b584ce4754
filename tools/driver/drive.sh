# drive.sh - shell functions that drive a running QOVIPWDBankSet with real
# input: QOVIDriver tells where things are and what they show, xdotool moves
# the mouse, clicks and types. Sourced by the demo and the acceptance tests;
# expects the Wine environment of ./run and WINE_BIN.

RESOURCE_H=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../QOVIPWDBankSet/res" && pwd)/resource.h

winpath() { winepath -w "$1" 2>/dev/null; }
# The value of a name of resource.h (IDC_..., IDS_...), or of IDOK / IDCANCEL.
rid() {
    case $1 in
        IDOK) echo 1 ;;
        IDCANCEL) echo 2 ;;
        *) awk -v name="$1" '$1 == "#define" && $2 == name { print $3; found = 1 } END { exit !found }' "$RESOURCE_H" ;;
    esac
}
# QOVIDriver with every argument that is a resource name turned into its value.
driver() {
    local arguments=() argument
    for argument; do
        case $argument in
            IDOK|IDCANCEL|ID[CSDIP]_*) argument=$(rid "$argument") || { echo "no such ID: $argument" >&2; return 2; } ;;
        esac
        arguments+=("$argument")
    done
    wine "$WINE_BIN/QOVIDriver.exe" "${arguments[@]}" 2>/dev/null | tr -d '\r'
}
qovibank() { wine "$WINE_BIN/qovibank.exe" "$@" </dev/null 2>/dev/null | tr -d '\r'; }
string() { driver string "$1"; }

# A click at the centre of what the driver locates.
click_at() { xdotool mousemove --sync "$1" "$2" click 1; sleep 0.3; }
click() {
    local point
    point=$(driver control "$1" "$2") || return 1
    click_at $point
}
click_row() {
    local point
    point=$(driver row "$1" "$2" "$3") || return 1
    click_at $point
}
ctrl_click_row() {
    local point
    point=$(driver row "$1" "$2" "$3") || return 1
    xdotool mousemove --sync $point keydown ctrl click 1 keyup ctrl
    sleep 0.3
}
double_click_row() {
    local point
    point=$(driver row "$1" "$2" "$3") || return 1
    xdotool mousemove --sync $point click --repeat 2 --delay 80 1
    sleep 0.5
}
click_tab() {
    local point
    point=$(driver tabat "$1") || return 1
    click_at $point
}
# Real key presses (xdotool names: Tab, shift+Tab, ctrl+Tab, alt+a, Return,
# Escape, Down, ...) to the window that has the keyboard, one after another.
press() { xdotool key --delay 150 "$@"; sleep 0.4; }
# Gives the main window the keyboard, as starting a program does, without a
# click (the X server has no window manager to do it).
focus_main() {
    local window
    window=$(xdotool search --sync --name "^$(string IDS_MAIN_CAPTION)\$" | head -1) || return 1
    xdotool windowfocus --sync "$window"
    sleep 0.3
}
# Replaces the text of an edit control: click into it, select all, type.
type_into() {
    click "$1" "$2" || return 1
    xdotool key --clearmodifiers End shift+Home BackSpace
    xdotool type --delay 30 "$3"
    sleep 0.2
}
# Answers the open message box by clicking its button (IDOK or IDCANCEL) and
# prints the box as "CAPTION|TEXT".
answer_box() {
    local shown
    shown=$(driver box)
    [ "$shown" != none ] || { echo "none"; return 1; }
    click box "$1" >/dev/null
    driver gone box >/dev/null
    echo "$shown"
}
# Saves a screenshot of a window (main, edit, input, box CAPTION_ID) to FILE.
shot() {
    local file=$1 geometry
    shift
    geometry=$(driver rect "$@") || { echo "no window for $file" >&2; return 1; }
    read -r x y w h <<<"$geometry"
    sleep 0.4
    import -window root -crop "${w}x${h}+${x}+${y}" +repage "$file"
}
