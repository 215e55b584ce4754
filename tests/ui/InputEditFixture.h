// InputEditFixture.h - the web site edit dialog on a real bank with the input
// item edit dialog (55) opened over it, driven from inside its modal loop.
#pragma once

#include <windows.h>
#include <functional>
#include <string>
#include <utility>
#include <vector>
#include "SiteFixture.h"

// Runs a test's actions inside a modal loop: the answerer may only post, so
// it posts to this window, and the actions run when the loop dispatches that.
class ModalSteps {
public:
    ModalSteps();
    ~ModalSteps();
    ModalSteps(const ModalSteps&) = delete;
    ModalSteps& operator=(const ModalSteps&) = delete;
    void post(std::function<void()> steps);

private:
    static LRESULT CALLBACK proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR, DWORD_PTR self);
    HWND window_ = nullptr;
    std::function<void()> steps_;
};

class InputEditFixture : public SiteFixture {
protected:
    // The answer to a dialog opening: the actions, run in its modal loop.
    std::function<void(HWND)> inDialog(std::function<void(HWND)> actions);
    // Selects exactly this row of the editor's input list, as a click does.
    void selectInput(int row);
    // Opens dialog 55 on the row as button 324 does, and returns its result.
    INT_PTR openInputDialog(int row);
    // Opens dialog 55 on the selected row with button 324 itself.
    void clickOpen();
    // Takes the value over in dialog 55: types it and presses 341.
    static void takeOver(HWND inputDialog, const std::wstring& value);
    // Button 325 of the editor, clicked.
    void clickSave();
    // Delivers what was posted and reports, then clears, the marks it left:
    // the main window's unsaved-changes flag and the editor's modified flag.
    std::pair<int, int> takeMarks();

    // The stored input items of a site as a fresh load sees them, as
    // "name|id|type|value", after the editor and the main window are gone.
    std::vector<std::wstring> storedInputsAfterClosing(const std::wstring& site);
    // The site names of a fresh load, after the editor and the main window are gone.
    std::vector<std::wstring> storedSitesAfterClosing();
    // The bytes of the user's data file (a save rewrites them).
    std::string dataFileBytes() const;

    std::wstring text(UINT id) const;

    ModalSteps steps;
};

HWND inputValueEdit(HWND inputDialog);
void typeInputValue(HWND inputDialog, const std::wstring& value);
// A press of a push button of a dialog, as the button reports it.
void pressButton(HWND dialog, int id);
