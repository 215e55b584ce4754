// version.h - the product's name, maker and version. The program's version
// block (QOVIPWDBankSet.rc) and the installer package (installer/) both read
// them from here, so the two cannot differ. Raise the version for every
// release: the installer replaces an installed lower version and refuses the
// same one.
#pragma once

#define QOVI_PRODUCT_NAME "QOVIPWDBankSet"
#define QOVI_MANUFACTURER "MERIDOX"
#define QOVI_VERSION_MAJOR 1
#define QOVI_VERSION_MINOR 0
#define QOVI_VERSION_PATCH 0

// "1.0.0.0": the version as text, built from the numbers above.
#define QOVI_TEXT_(x) #x
#define QOVI_TEXT(x) QOVI_TEXT_(x)
#define QOVI_DOTTED(major, minor, patch) QOVI_TEXT(major.minor.patch.0)
#define QOVI_VERSION_TEXT QOVI_DOTTED(QOVI_VERSION_MAJOR, QOVI_VERSION_MINOR, QOVI_VERSION_PATCH)
