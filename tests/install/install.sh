#!/usr/bin/env bash
# install.sh BIN_DIR HELP_DIR - the installer package under Wine, in the
# test prefix: builds it (and one of a lower version) with make-msi.sh,
# upgrades the lower version to it, refuses the same and a lower version
# over it, starts the installed program beside the companion stand-in and
# presses F1 under several UI languages, and removes it again. Prints
# "ok"/"not ok" per case and a closing "install: N passed, M failed" line;
# exits non-zero when one failed.
#
# Expects the Wine environment of ./run (WINEPREFIX of the headless prefix,
# a running wineserver).
set -uo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/../.." && pwd)
WINE_BIN=$1
HELP_DIR=$2
WORK=$(mktemp -d)
passed=0
failed=0
source "$ROOT/tools/driver/drive.sh"

PROGRAM_DIR="$WINEPREFIX/drive_c/Program Files/MERIDOX/QOVI"
INSTALL_PATH='C:\Program Files\MERIDOX\QOVI\'
DATA_ROOT=$(winepath -u "$(wine cmd /c echo %LOCALAPPDATA% 2>/dev/null | tr -d '\r')" 2>/dev/null)/MERIDOX/QOVI

check() {  # check NAME CONDITION-RESULT DETAIL
    if [ "$2" = 0 ]; then
        echo "ok - $1"
        passed=$((passed + 1))
    else
        echo "not ok - $1: $3"
        failed=$((failed + 1))
    fi
}

msiexec() { wine msiexec "$@" /qn </dev/null >/dev/null 2>&1; }
install_path() { wine reg query 'HKLM\SOFTWARE\MERIDOX\QOVI' /v InstallPath 2>/dev/null | tr -d '\r' | sed -n 's/.*REG_SZ *//p'; }
# "QOVIPWDBankSet VERSION" for each installation of the product.
installed() {
    local key
    wine reg query 'HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall' 2>/dev/null | tr -d '\r' | grep '{' |
        while read -r key; do
            wine reg query "$key" 2>/dev/null | tr -d '\r' | awk '/DisplayName|DisplayVersion/ {print $NF}' | paste -sd' '
        done | grep '^QOVIPWDBankSet '
}
# Which of the package's files are in the program folder.
installed_files() {
    local file
    for file in QOVIPWDBankSet.exe QOVICommon.dll qovibank.exe $(cd "$HELP_DIR" && ls Ostrelin_*.CHM | sed 's|^|HelpFiles/|'); do
        [ -f "$PROGRAM_DIR/$file" ] && echo "$file"
    done
}

# --------------------------------------------------------------- cases --

# Presses F1 in the installed program under LC_ALL=$1, beside the
# companion stand-in, and prints the help lines of its log. The key press
# and the close request reach the program's queue in that order, so the
# lookup is done when the program has ended.
press_f1() {
    local data="$WORK/f1-$1"
    mkdir -p "$data"
    # (bash itself warns when it has no such locale; Wine does not need one.)
    (
        export LC_ALL=$1 QOVI_DATA_DIR
        QOVI_DATA_DIR=$(winpath "$data")
        wine "$PROGRAM_DIR/QOVIPWDBankSet.exe" </dev/null >/dev/null 2>&1 &
        local tool=$!
        { driver rect main && driver key main 112 && driver close; } >/dev/null || kill "$tool"
        wait "$tool"
    ) 2>/dev/null
    grep -o 'FilePath:\[.*\]\|File not exist!' "$data/QOVI.log" 2>/dev/null | tr -d '\r' | paste -sd' '
}

case_install_upgrades_a_lower_version() {
    msiexec /i "$OLDER"
    local older
    older=$(installed)
    msiexec /i "$CURRENT"
    local code=$? now files
    now=$(installed)
    files=$(installed_files | wc -l)
    [ "$older" = "QOVIPWDBankSet 0.0.1" ] && [ "$code" = 0 ] && [ "$now" = "QOVIPWDBankSet $VERSION" ] &&
        [ "$files" = $((3 + $(ls "$HELP_DIR"/Ostrelin_*.CHM | wc -l))) ] && [ "$(install_path)" = "$INSTALL_PATH" ]
    check "a lower version upgrades to one installation: files and InstallPath" $? \
        "older=[$older] code=$code now=[$now] files=$files InstallPath=[$(install_path)]"
}

case_same_and_lower_version_are_refused() {
    msiexec /i "$CURRENT"
    local same=$?
    msiexec /i "$OLDER"
    local lower=$? now
    now=$(installed)
    [ "$same" != 0 ] && [ "$lower" != 0 ] && [ "$now" = "QOVIPWDBankSet $VERSION" ] && [ -f "$PROGRAM_DIR/QOVIPWDBankSet.exe" ]
    check "the same and a lower version are refused and leave the installation" $? "same=$same lower=$lower now=[$now]"
}

case_f1_opens_the_installed_help_of_the_user_language() {
    wine "$WINE_BIN/QOVIMainAppStub.exe" </dev/null >/dev/null 2>&1 &
    local stub=$! wrong=''
    # Locale, then the help lines its F1 must log. These locales keep the
    # prefix's code page: a CJK one makes Wine rewrite the prefix's font
    # links, which the other suites rely on.
    local cases=(
        "en_US.UTF-8|FilePath:[${INSTALL_PATH}HelpFiles\\Ostrelin_ENU.CHM]"
        "de_DE.UTF-8|FilePath:[${INSTALL_PATH}HelpFiles\\Ostrelin_DEU.CHM]"
        "es_ES.UTF-8|FilePath:[${INSTALL_PATH}HelpFiles\\Ostrelin_ESN.CHM]"
        "pt_BR.UTF-8|FilePath:[${INSTALL_PATH}HelpFiles\\Ostrelin_PTG.CHM]"
        "nl_NL.UTF-8|FilePath:[${INSTALL_PATH}HelpFiles\\Ostrelin_NLD.CHM] FilePath:[${INSTALL_PATH}HelpFiles\\Ostrelin_ENU.CHM]")
    local entry logged
    for entry in "${cases[@]}"; do
        logged=$(press_f1 "${entry%%|*}")
        [ "$logged" = "${entry##*|}" ] || wrong+="${entry%%|*}: [$logged] "
    done
    driver stop-stubs >/dev/null
    wait "$stub"
    [ -z "$wrong" ]
    check "F1 in the installed program opens the help of the user's language, else English" $? "$wrong"
}

case_uninstall_keeps_the_user_bank() {
    rm -rf "$DATA_ROOT"
    env -u QOVI_DATA_DIR wine "$PROGRAM_DIR/qovibank.exe" import "$(winpath "$ROOT/tools/demo/demo-bank.csv")" </dev/null >/dev/null 2>&1
    local bank before after
    bank=$(find "$DATA_ROOT" -name PasswordBank.qovi 2>/dev/null | head -1)
    before=$(sha256sum "$bank" 2>/dev/null)
    msiexec /x "$CURRENT"
    local code=$? left now
    left=$(installed_files | paste -sd' ')
    now=$(installed)
    after=$(sha256sum "$bank" 2>/dev/null)
    [ -n "$bank" ] && [ "$code" = 0 ] && [ -z "$left" ] && [ ! -d "$PROGRAM_DIR" ] && [ -z "$(install_path)" ] &&
        [ -z "$now" ] && [ "$before" = "$after" ] && (unset QOVI_DATA_DIR; qovibank list) | grep -q 'Northwind Mail'
    check "uninstall removes the program, its help and InstallPath, and keeps the user's bank" $? \
        "bank=[$bank] code=$code left=[$left] InstallPath=[$(install_path)] installed=[$now] before=[$before] after=[$after]"
    rm -rf "$DATA_ROOT"
}

# ------------------------------------------------------------------ run --

trap 'rm -rf "$WORK"' EXIT
CURRENT=$(bash "$ROOT/installer/make-msi.sh" "$WINE_BIN" "$HELP_DIR" "$WORK/current") &&
    OLDER=$(bash "$ROOT/installer/make-msi.sh" "$WINE_BIN" "$HELP_DIR" "$WORK/older" 0.0.1) ||
    { echo "install: the packages could not be built"; exit 1; }
VERSION=$(basename "$CURRENT" .msi)
VERSION=${VERSION##*-}
# A run stopped halfway leaves its installation behind; start from none.
msiexec /x "$CURRENT"
msiexec /x "$OLDER"
for case_name in case_install_upgrades_a_lower_version case_same_and_lower_version_are_refused \
                 case_f1_opens_the_installed_help_of_the_user_language case_uninstall_keeps_the_user_bank; do
    "$case_name"
done
echo "install: $passed passed, $failed failed"
[ "$failed" = 0 ]
