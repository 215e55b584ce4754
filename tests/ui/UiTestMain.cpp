// Entry point of the in-process UI tests: common controls and GDI+ are
// started as the tool starts them, and the tool's resources are this exe's.
#include <windows.h>
#include <commctrl.h>
#include <gdiplus.h>
#include <gtest/gtest.h>
#include "AppGlobals.h"

int main(int argc, char** argv)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES | ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    AppGlobals.hInstance = GetModuleHandleW(nullptr);

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();

    Gdiplus::GdiplusShutdown(token);
    return result;
}
