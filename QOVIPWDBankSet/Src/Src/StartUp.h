// StartUp.h - program start-up, the single-instance protocol and shutdown.
#pragma once

#include <windows.h>

// True for null and for the fill patterns debug heaps leave in freed or
// uninitialised memory.
bool isInvalidPointer(const void* pointer);
bool isValidPointer(const void* pointer);

// Takes the user's UI language into *language, makes it the thread's locale
// and preferred UI language, and computes AppGlobals.titleFontHeight.
void selectUILanguage(LANGID* language);

// The whole run of the program: 0 after a normal run, -1 when start-up is
// refused or the main window cannot be created.
int runPWDBankSet(HINSTANCE instance, HINSTANCE previousInstance, LPWSTR commandLine, int showCommand);
