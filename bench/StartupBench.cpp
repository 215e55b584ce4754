// StartupBench - start-up to the first painted main window, for the tool, the
// minimal dialog program and the skinned floor program (the minimal dialog
// that also starts GDI+ and draws one PNG), as the median of several runs.
// A window counts as painted when it is visible and its process is idle
// (WaitForInputIdle: the queue is empty, so the first WM_PAINT was handled).
//
//   StartupBench RUNS [EMPTY]
//       prints "startup_ms tool=<median> baseline=<median> ratio=<r>
//               floor=<median> floor_ratio=<r>
//               peak_mb tool=<median> baseline=<median> floor=<median>"
//       and, given the data folder of an empty bank, the tool's start-up on
//       it in the same rounds: "empty_ms tool=<median> ratio=<r>" (the
//       bank's start-up against the empty bank's, side by side).
// The tool starts on the bank of QOVI_DATA_DIR. The peak is the process's
// peak working set when it first went idle.
#include <windows.h>
#include <psapi.h>
#include <algorithm>
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

static std::wstring binFolder()
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}

struct VisibleSearch {
    DWORD processId;
    HWND found;
};

static BOOL CALLBACK findVisibleWindow(HWND window, LPARAM parameter)
{
    VisibleSearch* search = reinterpret_cast<VisibleSearch*>(parameter);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && IsWindowVisible(window)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

struct StartFigures {
    double milliseconds = -1;
    double peakMegabytes = -1;
};

// From CreateProcess to the first painted window, and the memory it took.
static StartFigures timeOneStart(const std::wstring& exe)
{
    StartFigures figures;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    std::wstring commandLine = L"\"" + exe + L"\"";
    STARTUPINFOW startup = {sizeof startup};
    PROCESS_INFORMATION process = {};
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(exe.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return figures;
    VisibleSearch search = {process.dwProcessId, nullptr};
    for (int i = 0; i < 20000 && !search.found; ++i) {
        EnumWindows(findVisibleWindow, reinterpret_cast<LPARAM>(&search));
        if (!search.found)
            Sleep(1);
    }
    DWORD idle = search.found ? WaitForInputIdle(process.hProcess, 10000) : WAIT_FAILED;
    QueryPerformanceCounter(&end);
    PROCESS_MEMORY_COUNTERS memory = {sizeof memory};
    if (GetProcessMemoryInfo(process.hProcess, &memory, sizeof memory))
        figures.peakMegabytes = memory.PeakWorkingSetSize / (1024.0 * 1024.0);
    TerminateProcess(process.hProcess, 0);
    WaitForSingleObject(process.hProcess, 5000);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    if (idle == 0)
        figures.milliseconds = (end.QuadPart - start.QuadPart) * 1000.0 / frequency.QuadPart;
    return figures;
}

static double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? -1 : values[values.size() / 2];
}

int wmain(int argc, wchar_t** argv)
{
    int runs = argc > 1 ? _wtoi(argv[1]) : 7;
    const std::wstring emptyBank = argc > 2 ? argv[2] : L"";
    wchar_t bank[MAX_PATH] = {};
    GetEnvironmentVariableW(L"QOVI_DATA_DIR", bank, MAX_PATH);
    std::wstring folder = binFolder();
    std::vector<double> tool, baseline, floors, toolPeak, baselinePeak, floorPeak, empty;
    // Interleaved, so all of them see the same machine load.
    for (int i = 0; i < runs; ++i) {
        StartFigures minimal = timeOneStart(folder + L"\\MinimalDialog.exe");
        StartFigures skinned = timeOneStart(folder + L"\\SkinnedDialog.exe");
        StartFigures ours = timeOneStart(folder + L"\\QOVIPWDBankSet.exe");
        if (!emptyBank.empty()) {
            SetEnvironmentVariableW(L"QOVI_DATA_DIR", emptyBank.c_str());
            empty.push_back(timeOneStart(folder + L"\\QOVIPWDBankSet.exe").milliseconds);
            SetEnvironmentVariableW(L"QOVI_DATA_DIR", bank);
        }
        floors.push_back(skinned.milliseconds);
        floorPeak.push_back(skinned.peakMegabytes);
        baseline.push_back(minimal.milliseconds);
        baselinePeak.push_back(minimal.peakMegabytes);
        tool.push_back(ours.milliseconds);
        toolPeak.push_back(ours.peakMegabytes);
    }
    double toolMedian = median(tool), baselineMedian = median(baseline), floorMedian = median(floors);
    printf("startup_ms tool=%.1f baseline=%.1f ratio=%.2f floor=%.1f floor_ratio=%.2f\n", toolMedian, baselineMedian,
           baselineMedian > 0 ? toolMedian / baselineMedian : 0.0, floorMedian,
           floorMedian > 0 ? toolMedian / floorMedian : 0.0);
    printf("peak_mb tool=%.1f baseline=%.1f floor=%.1f\n", median(toolPeak), median(baselinePeak), median(floorPeak));
    if (!empty.empty()) {
        const double emptyMedian = median(empty);
        printf("empty_ms tool=%.1f ratio=%.2f\n", emptyMedian, emptyMedian > 0 ? toolMedian / emptyMedian : 0.0);
    }
    return toolMedian > 0 && baselineMedian > 0 ? 0 : 1;
}
