// qovibank - console tool on the password bank of the current user.
#include <cstdio>
#include <cwchar>
#include "QOVICommon.h"

int wmain(int argc, wchar_t** argv)
{
    if (argc < 2) {
        fwprintf(stderr, L"usage: qovibank import FILE | export | list | settings\n");
        return 2;
    }
    fwprintf(stderr, L"qovibank: '%ls' is not available yet\n", argv[1]);
    return 2;
}
