// SkinnedDialog - the floor of the start-up benchmark for a skinned program:
// the minimal dialog plus what being skinned with GDI+ costs under any
// implementation (GDI+ started, one PNG resource decoded and drawn over the
// dialog's background). The tool's start-up is measured against it.
#include <windows.h>
#include <commctrl.h>
#include <objidl.h>
#include <gdiplus.h>

static Gdiplus::Bitmap* background;

static Gdiplus::Bitmap* decodePng(HINSTANCE instance, int id)
{
    HRSRC found = FindResourceW(instance, MAKEINTRESOURCEW(id), L"PNG");
    DWORD size = found ? SizeofResource(instance, found) : 0;
    const void* bytes = size ? LockResource(LoadResource(instance, found)) : nullptr;
    HGLOBAL block = bytes ? GlobalAlloc(GMEM_MOVEABLE, size) : nullptr;
    if (!block)
        return nullptr;
    memcpy(GlobalLock(block), bytes, size);
    GlobalUnlock(block);
    IStream* stream = nullptr;
    Gdiplus::Bitmap* bitmap = nullptr;
    if (SUCCEEDED(CreateStreamOnHGlobal(block, TRUE, &stream))) {
        // Decoded into memory of its own before the stream goes.
        Gdiplus::Bitmap decoded(stream);
        if (decoded.GetLastStatus() == Gdiplus::Ok)
            bitmap = decoded.Clone(0, 0, decoded.GetWidth(), decoded.GetHeight(), PixelFormat32bppARGB);
        stream->Release();
    } else {
        GlobalFree(block);
    }
    return bitmap;
}

static INT_PTR CALLBACK SkinnedDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        background = decodePng(reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(dialog, GWLP_HINSTANCE)), 1);
        return TRUE;
    case WM_ERASEBKGND: {
        RECT client;
        GetClientRect(dialog, &client);
        Gdiplus::Graphics graphics(reinterpret_cast<HDC>(wParam));
        if (background)
            graphics.DrawImage(background, 0, 0, client.right, client.bottom);
        return TRUE;
    }
    case WM_CLOSE:
        DestroyWindow(dialog);
        return TRUE;
    case WM_DESTROY:
        delete background;
        background = nullptr;
        PostQuitMessage(0);
        return TRUE;
    default:
        return FALSE;
    }
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_TAB_CLASSES};
    InitCommonControlsEx(&controls);
    Gdiplus::GdiplusStartupInput input;
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartup(&token, &input, nullptr);
    HWND dialog = CreateDialogParamW(instance, MAKEINTRESOURCEW(1), nullptr, SkinnedDialogProc, 0);
    if (dialog) {
        ShowWindow(dialog, SW_SHOW);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    Gdiplus::GdiplusShutdown(token);
    return dialog ? 0 : 1;
}
