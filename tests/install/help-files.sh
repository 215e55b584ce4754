#!/usr/bin/env bash
# help-files.sh HELP_DIR - reads every compiled help file back with chmls:
# each file the help lookup can ask for is there, in its language, its
# contents list exactly the pages it holds, its index leads from every
# keyword of every page to that page, every link of every page leads to a
# file it holds, and a translated file does not show the English contents. Prints "ok"/"not ok" per file and a closing
# "help files: N passed, M failed" line; exits non-zero when one failed.
set -uo pipefail
HELP_DIR=$1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
passed=0
failed=0

# The file code the lookup builds for each shipped UI language, the
# language (LCID) the file must be marked with, and the code page its
# contents and index are written in. Spanish (Spain) asks for ESN;
# Catalan, Basque and Galician for ESP.
EXPECTED="ENU:1033:CP1252 DEU:1031:CP1252 FRA:1036:CP1252 ESP:3082:CP1252 ESN:3082:CP1252 PTG:1046:CP1252
          ITA:1040:CP1252 JPN:1041:CP932 KOR:1042:CP949 CHS:2052:CP936 CHT:1028:CP950"

values() { grep -o "name=\"$1\" value=\"[^\"]*\"" | sed 's/.* value="\([^"]*\)"/\1/'; }

check_file() {  # check_file CODE LCID CODEPAGE: prints what is wrong, nothing when all is right
    local chm="$HELP_DIR/Ostrelin_$1.CHM" dir="$WORK/$1"
    [ -f "$chm" ] || { echo "missing"; return; }
    mkdir -p "$dir"
    chmls -n list "$chm" 2>/dev/null | tr -d '\r' | sed -n 's|^/\([^/#$]*\)$|\1|p' | sort >"$dir/files"
    grep -q '\.htm$' "$dir/files" || { echo "not a compiled help file with pages"; return; }
    local lcid
    lcid=$(chmls printsystem "$chm" 2>/dev/null | sed -n 's/.*LCID from HHP file *: *//p')
    [ "$lcid" = "$2" ] || echo "marked with language $lcid"

    chmls extracttoc "$chm" "$dir/toc" >/dev/null 2>&1
    values Local <"$dir/toc" | sort >"$dir/contents"
    grep '\.htm$' "$dir/files" | diff - "$dir/contents" >/dev/null ||
        echo "contents [$(tr '\n' ' ' <"$dir/contents")] but pages [$(grep '\.htm$' "$dir/files" | tr '\n' ' ')]"
    if [ "$1" != ENU ] && [ -f "$WORK/ENU/toc" ] && [ "$(values Name <"$dir/toc")" = "$(values Name <"$WORK/ENU/toc")" ]; then
        echo "contents in English"
    fi

    # The index as "keyword<TAB>page" lines: each entry names its keyword
    # first, then the pages it opens (with their titles when several).
    chmls extractindex "$chm" "$dir/index" >/dev/null 2>&1
    iconv -f "$3" -t UTF-8 "$dir/index" 2>/dev/null | awk '
        /<OBJECT/ { key = "" }
        /name="Name"/ && key == "" { match($0, /value="[^"]*"/); key = substr($0, RSTART + 7, RLENGTH - 8) }
        /name="Local"/ { match($0, /value="[^"]*"/); print key "\t" substr($0, RSTART + 7, RLENGTH - 8) }' >"$dir/index-pairs"
    [ -s "$dir/index-pairs" ] || echo "no index"

    chmls extractall "$chm" "$dir/pages" >/dev/null 2>&1
    local page target keyword
    for page in $(grep '\.htm$' "$dir/files"); do
        while IFS= read -r keyword; do
            [ -z "$keyword" ] || grep -qxF -e "$keyword"$'\t'"$page" "$dir/index-pairs" ||
                echo "the index lacks \"$keyword\" for $page"
        done < <(sed -n 's/.*<meta name="keywords" content="\([^"]*\)".*/\1/p' "$dir/pages/$page" |
                 tr ';' '\n' | sed 's/^ *//; s/ *$//')
        for target in $(grep -o -E '(href|src)="[^"]*"' "$dir/pages/$page" | sed 's/.*="\([^"#]*\).*/\1/'); do
            case "$target" in http:* | https:* | mailto:* | '') continue ;; esac
            grep -qxF "$target" "$dir/files" || echo "$page links to missing $target"
        done
    done
}

for entry in $EXPECTED; do
    IFS=: read -r code lcid codepage <<<"$entry"
    problems=$(check_file "$code" "$lcid" "$codepage")
    if [ -z "$problems" ]; then
        echo "ok - Ostrelin_${entry%%:*}.CHM"
        passed=$((passed + 1))
    else
        echo "not ok - Ostrelin_${entry%%:*}.CHM: $(tr '\n' ';' <<<"$problems")"
        failed=$((failed + 1))
    fi
done
echo "help files: $passed passed, $failed failed"
[ "$failed" = 0 ]
