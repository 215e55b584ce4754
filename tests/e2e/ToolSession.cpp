#include "ToolSession.h"

using namespace qovitest;

ToolSession::ToolSession() : dataDir_(L"QOVI_DATA_DIR", data_.path())
{
    toolModule_ = LoadLibraryExW(binFile(L"QOVIPWDBankSet.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
}

ToolSession::~ToolSession()
{
    stopCompanion();
    if (HWND listener = FindWindowW(L"QOVI_PWD_LISTEN", nullptr))
        PostMessageW(listener, WM_APP, 0, 0);
    listener_.wait(5000);
    if (toolModule_)
        FreeLibrary(toolModule_);
}

bool ToolSession::startCompanion()
{
    if (!companion_.start(binFile(L"QOVIMainAppStub.exe"), L"--record \"" + data_.file(L"companion.txt") + L"\""))
        return false;
    return waitForWindow(L"QOVIMainApp") != nullptr;
}

void ToolSession::stopCompanion()
{
    if (!companion_.running())
        return;
    if (HWND companion = FindWindowW(L"QOVIMainApp", nullptr))
        PostMessageW(companion, WM_APP, 0, 0);
    companion_.wait(5000);
}

bool ToolSession::startListener()
{
    if (!listener_.start(binFile(L"QOVIPwdListenerStub.exe"), L"--record \"" + data_.file(L"listener.txt") + L"\""))
        return false;
    return waitForWindow(L"QOVI_PWD_LISTEN") != nullptr;
}

bool ToolSession::startTool(ChildProcess& tool) { return tool.start(binFile(L"QOVIPWDBankSet.exe")); }

HWND ToolSession::waitForMainDialog(DWORD timeoutMs)
{
    // The dialog exists before its WM_INITDIALOG has run; it is shown once
    // the tabs, pages and buttons are in place.
    HWND mainDialog = nullptr;
    waitUntil(
        [&] {
            mainDialog = FindWindowW(L"#32770", toolString(1001).c_str());
            return mainDialog && IsWindowVisible(mainDialog);
        },
        timeoutMs);
    return mainDialog && IsWindowVisible(mainDialog) ? mainDialog : nullptr;
}

std::string ToolSession::companionRecord() const { return readFileBytes(data_.file(L"companion.txt")); }
std::string ToolSession::listenerRecord() const { return readFileBytes(data_.file(L"listener.txt")); }

std::wstring ToolSession::toolString(UINT id) const
{
    wchar_t buffer[1024] = {};
    LoadStringW(toolModule_, id, buffer, 1024);
    return buffer;
}

std::wstring ToolSession::answerBox(UINT captionId, int button, DWORD timeoutMs)
{
    HWND box = waitForWindow(L"#32770", toolString(captionId).c_str(), timeoutMs);
    if (!box)
        return L"<no box>";
    std::wstring text = windowText(GetDlgItem(box, 0xFFFF));
    PostMessageW(box, WM_COMMAND, button, 0);
    waitUntil([&] { return !IsWindow(box); }, timeoutMs);
    return text;
}

long ToolSession::qovibank(const std::wstring& arguments, std::string* output)
{
    return runProcess(binFile(L"qovibank.exe"), arguments, output);
}

void ToolSession::clickButton(HWND button)
{
    RECT client;
    GetClientRect(button, &client);
    LPARAM point = MAKELPARAM(client.right / 2, client.bottom / 2);
    PostMessageW(button, WM_MOUSEMOVE, 0, point);
    PostMessageW(button, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageW(button, WM_LBUTTONUP, 0, point);
}
