// UiFixture.h - the tool's real windows in this process, on a real store in
// a temporary data folder.
#pragma once

#include <windows.h>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include "AppGlobals.h"
#include "MainWindow.h"
#include "QOVICommon.h"
#include "TestSupport.h"

// Holds the user's data file open without sharing, so a save really fails.
class FileBlocker {
public:
    explicit FileBlocker(const std::wstring& path)
        : file_(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr)) {}
    ~FileBlocker() { release(); }
    void release()
    {
        if (file_ != INVALID_HANDLE_VALUE)
            CloseHandle(file_);
        file_ = INVALID_HANDLE_VALUE;
    }
    bool held() const { return file_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE file_;
};

// A fresh data folder for the store; the current user is released and all
// windows destroyed again at the end.
class StoreFixture : public testing::Test {
protected:
    StoreFixture();
    ~StoreFixture() override;

    // Seeds the stored settings through the store's own interface.
    void storeSettings(int pwdBank, int bubble);
    // The user as a fresh load from disk sees it (released again afterwards).
    struct StoredState {
        int pwdBank = -1, bubble = -1;
        std::vector<std::wstring> siteNames;
    };
    StoredState reload();
    // Every line the store logged so far.
    std::string logText() const;
    int countInLog(const std::string& text) const;

    qovitest::TempFolder data;
    qovitest::ScopedEnvironment dataDir;
};

// The main window built as start-up builds it, without the message loop.
class MainWindowFixture : public StoreFixture {
protected:
    ~MainWindowFixture() override;
    void openMainWindow();
    // Destroys the main window without its close question.
    void destroyMainWindow();
    int takeModifiedPosts() { return qovitest::countAndRemovePosted(AppGlobals.hMainDialog, WM_PWDBANK_MODIFIED); }

    std::unique_ptr<MainWindowState> startState;
};
