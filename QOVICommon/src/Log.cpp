// The log: one line per call, appended to <data root>\QOVI.log.
#include "Log.h"

#include "DataFolder.h"
#include "Faults.h"
#include "FileLock.h"
#include "QOVIText.h"

#include <windows.h>

#include <mutex>

namespace {

const LONGLONG kLogLimit = 1 << 20;
// A writer waits at most this long for another process's rotation.
const unsigned long kRotationWaitMs = 1000;

struct LogFile {
    std::mutex lock;
    HANDLE handle = INVALID_HANDLE_VALUE;
    std::wstring root;  // the data root the open file belongs to
    LONGLONG size = 0;

    void close()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
        handle = INVALID_HANDLE_VALUE;
        root.clear();
    }

    // FILE_APPEND_DATA makes every write land at the end of the file, even
    // when several processes append at once; the sharing flags let another
    // process rename the file while this one has it open.
    bool open(const std::wstring& dataRoot)
    {
        close();
        if (!qovi::ensureFolder(dataRoot))
            return false;
        handle = CreateFileW((dataRoot + L"\\QOVI.log").c_str(), FILE_APPEND_DATA,
                             FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
        if (handle == INVALID_HANDLE_VALUE)
            return false;
        LARGE_INTEGER current = {};
        GetFileSizeEx(handle, &current);
        size = current.QuadPart;
        root = dataRoot;
        return true;
    }

    // Starts a new file once this one passed the limit; the older lines
    // stay in QOVI.log.1 until the next rotation replaces them. Several
    // processes append to one log: only the file that still has the name
    // QOVI.log is rotated, under a lock, so a process whose handle points
    // at a file another process rotated opens the new one instead of
    // rotating again (which would replace the rotated lines).
    void rotateIfFull()
    {
        if (size < kLogLimit)
            return;
        std::wstring dataRoot = root;
        std::wstring path = dataRoot + L"\\QOVI.log";
        qovi::FileLock lock(path, kRotationWaitMs);
        if (!lock.held())
            return;  // another process is rotating; the next line tries again
        if (!isNamed(path)) {
            open(dataRoot);
            return;
        }
        LARGE_INTEGER current = {};
        GetFileSizeEx(handle, &current);
        if (current.QuadPart >= kLogLimit) {
            qovi::noteLogRotation();
            MoveFileExW(path.c_str(), (path + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
        }
        open(dataRoot);
    }

    // Whether the open file is the one the path names now.
    bool isNamed(const std::wstring& path) const
    {
        HANDLE named = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (named == INVALID_HANDLE_VALUE)
            return false;
        BY_HANDLE_FILE_INFORMATION mine = {}, theirs = {};
        bool same = GetFileInformationByHandle(handle, &mine) && GetFileInformationByHandle(named, &theirs) &&
                    mine.dwVolumeSerialNumber == theirs.dwVolumeSerialNumber &&
                    mine.nFileIndexHigh == theirs.nFileIndexHigh && mine.nFileIndexLow == theirs.nFileIndexLow;
        CloseHandle(named);
        return same;
    }
};

LogFile& logFile()
{
    static LogFile file;
    return file;
}

}  // namespace

namespace {

// One line as the log holds it, UTF-8, ended by CR LF.
std::string formatLine(const wchar_t* file, int line, const std::wstring& text)
{
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t prefix[64];
    swprintf(prefix, 64, L"%04d-%02d-%02d %02d:%02d:%02d.%03d [%lu] ", now.wYear, now.wMonth, now.wDay, now.wHour,
             now.wMinute, now.wSecond, now.wMilliseconds, GetCurrentProcessId());
    std::wstring entry = prefix;
    entry += file ? file : L"?";
    entry += L"(" + std::to_wstring(line) + L"): ";
    size_t textStart = entry.size();
    entry += text;
    for (size_t i = textStart; i < entry.size(); ++i) {
        if (entry[i] == L'\r' || entry[i] == L'\n')
            entry[i] = L' ';
    }
    entry += L"\r\n";
    return qovi::toUtf8(entry);
}

// Lines to write at once at most: the log may pass its limit by that much.
const int kLinesPerWrite = 256;

// Appends the line count times, a block of lines per write.
void append(const std::string& bytes, int count)
{
    std::wstring root = qovi::dataRoot();
    LogFile& log = logFile();
    std::lock_guard<std::mutex> guard(log.lock);
    if ((log.handle == INVALID_HANDLE_VALUE || log.root != root) && !log.open(root))
        return;
    std::string block;
    while (count > 0) {
        int lines = count < kLinesPerWrite ? count : kLinesPerWrite;
        if (lines > 1 && block.size() != bytes.size() * static_cast<size_t>(lines)) {
            block.clear();
            for (int i = 0; i < lines; ++i)
                block += bytes;
        }
        const std::string& out = lines > 1 ? block : bytes;
        log.rotateIfFull();
        if (log.handle == INVALID_HANDLE_VALUE)
            return;
        DWORD written = 0;
        WriteFile(log.handle, out.data(), static_cast<DWORD>(out.size()), &written, nullptr);
        log.size += written;
        count -= lines;
    }
}

}  // namespace

void QOVILog::debugLog(const wchar_t* file, int line, const std::wstring& text)
{
    debugLogLines(file, line, text, 1);
}

void QOVILog::debugLogLines(const wchar_t* file, int line, const std::wstring& text, int count)
{
    try {
        if (count > 0)
            append(formatLine(file, line, text), count);
    } catch (...) {
        // Logging never fails its caller.
    }
}

void QOVILog::endLog()
{
    LogFile& log = logFile();
    std::lock_guard<std::mutex> guard(log.lock);
    log.close();
}
