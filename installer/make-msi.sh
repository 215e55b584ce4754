#!/usr/bin/env bash
# make-msi.sh BIN_DIR HELP_DIR OUT_DIR [VERSION]
#
# Builds the tool's Windows Installer package OUT_DIR/<product>-<version>.msi
# with wixl (Debian package wixl) from a build's program files (BIN_DIR)
# and compiled help files (HELP_DIR), and prints its path. Product name,
# maker and version come from QOVIPWDBankSet/res/version.h, which the
# program's version block is made from; VERSION overrides the version (the
# tests build an older package).
set -euo pipefail

HERE=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
ROOT=$(cd "$HERE/.." && pwd)
[ $# -ge 3 ] || { echo "usage: make-msi.sh BIN_DIR HELP_DIR OUT_DIR [VERSION]" >&2; exit 2; }
BIN_DIR=$1 HELP_DIR=$2

define() { sed -n "s/^#define $1 \"\{0,1\}\([^\"]*\)\"\{0,1\}$/\1/p" "$ROOT/QOVIPWDBankSet/res/version.h"; }
VERSION=${4:-$(define QOVI_VERSION_MAJOR).$(define QOVI_VERSION_MINOR).$(define QOVI_VERSION_PATCH)}
UPGRADE_CODE=$(sed -n 's/.*UpgradeCode="\([^"]*\)".*/\1/p' "$HERE/QOVIPWDBankSet.wxs")
# One product code per version, derived from the upgrade code.
PRODUCT_CODE=$(python3 -c 'import sys, uuid; print(str(uuid.uuid5(uuid.UUID(sys.argv[1]), sys.argv[2])).upper())' \
               "$UPGRADE_CODE" "$VERSION")

# wixl takes file sources relative to the package description: gather
# everything beside a copy of it.
STAGE=$(mktemp -d)
trap 'rm -rf "$STAGE"' EXIT
cp "$HERE/QOVIPWDBankSet.wxs" "$STAGE/"
cp "$ROOT/QOVIPWDBankSet/res/skin/app_large.ico" "$STAGE/QOVIPWDBankSet.ico"
# Shipped without the debugging information of the build.
for file in QOVIPWDBankSet.exe QOVICommon.dll qovibank.exe; do
    x86_64-w64-mingw32-strip -o "$STAGE/$file" "$BIN_DIR/$file"
done
mkdir "$STAGE/HelpFiles"
cp "$HELP_DIR"/Ostrelin_*.CHM "$STAGE/HelpFiles/" 2>/dev/null ||
    { echo "make-msi.sh: no help files in $HELP_DIR" >&2; exit 1; }
# One component per help file: each is then installed, repaired and
# removed on its own.
components='' refs=''
for file in "$STAGE"/HelpFiles/*.CHM; do
    name=$(basename "$file")
    components+="<Component Id=\"${name%.CHM}\" Guid=\"*\" Win64=\"yes\">"
    components+="<File Id=\"$name\" Name=\"$name\" Source=\"HelpFiles/$name\" KeyPath=\"yes\"/></Component>"
    refs+="<ComponentRef Id=\"${name%.CHM}\"/>"
done
cat >"$STAGE/help-files.wxs" <<XML
<?xml version="1.0" encoding="utf-8"?>
<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>
  <DirectoryRef Id="HelpFolder">$components</DirectoryRef>
  <ComponentGroup Id="HelpFiles">$refs</ComponentGroup>
</Fragment></Wix>
XML

mkdir -p "$3"
OUTPUT=$(cd "$3" && pwd)/$(define QOVI_PRODUCT_NAME)-$VERSION.msi
(cd "$STAGE" && wixl --arch x64 -o "$OUTPUT" \
     -D ProductName="$(define QOVI_PRODUCT_NAME)" -D Manufacturer="$(define QOVI_MANUFACTURER)" \
     -D Version="$VERSION" -D ProductCode="$PRODUCT_CODE" QOVIPWDBankSet.wxs help-files.wxs)
echo "$OUTPUT"
