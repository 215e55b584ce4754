// Shared plumbing of the two stand-ins: a hidden top-level window of a given
// class whose interesting messages are recorded, one line each, to the file
// named by "--record FILE" (or to standard output). Posting WM_APP to the
// window ends the stand-in with exit code 0.
#pragma once
#include <windows.h>

struct StubRecorder {
    HANDLE output = INVALID_HANDLE_VALUE;
    bool ownsOutput = false;
};

bool openRecorder(StubRecorder& recorder);
void recordLine(StubRecorder& recorder, const char* line);
void closeRecorder(StubRecorder& recorder);

// Registers the class, creates the hidden window and runs its message loop
// until WM_APP arrives; returns the exit code.
int runStubWindow(HINSTANCE instance, const wchar_t* className, WNDPROC procedure);
