// ToolSession.h - the real QOVIPWDBankSet.exe started beside the stand-ins
// on a bank in a temporary data folder, and driven from outside.
#pragma once

#include <windows.h>
#include <memory>
#include <string>
#include "TestSupport.h"

class ToolSession {
public:
    ToolSession();
    ~ToolSession();

    // The suite's main application stand-in (holds QOVIMainAppMutex).
    bool startCompanion();
    void stopCompanion();
    // The password listener stand-in.
    bool startListener();

    // Starts the tool; startTool() then waits for its main dialog.
    bool startTool(qovitest::ChildProcess& tool);
    HWND waitForMainDialog(DWORD timeoutMs = 10000);

    // Lines the stand-ins recorded so far.
    std::string companionRecord() const;
    std::string listenerRecord() const;

    // A string of the tool's own string table.
    std::wstring toolString(UINT id) const;
    // Waits for a dialog of the tool with this caption (other than the main
    // dialog) and presses the button in it; returns the box's text.
    std::wstring answerBox(UINT captionId, int button, DWORD timeoutMs = 10000);

    // Runs qovibank on the session's data folder.
    long qovibank(const std::wstring& arguments, std::string* output = nullptr);

    // A mouse click on a skinned button of another process, as messages.
    static void clickButton(HWND button);

    const std::wstring& dataFolder() const { return data_.path(); }
    std::wstring binFile(const wchar_t* name) const { return qovitest::exeFolder() + L"\\" + name; }

private:
    qovitest::TempFolder data_;
    qovitest::ScopedEnvironment dataDir_;
    qovitest::ChildProcess companion_;
    qovitest::ChildProcess listener_;
    HMODULE toolModule_ = nullptr;
};
