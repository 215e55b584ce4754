// HeapCheck.cpp - in the tests' build of the DLL only: every load and save
// first checks every heap of the process. The tests run their programs under
// Wine's heap checks (see ./run), which fill a freed block and the unused
// tail of each block with a pattern; a write into a freed block or past the
// end of one changes that pattern, and HeapValidate finds it. The process
// then ends at once with the code Windows ends a process with when it finds
// its heap damaged, so that the test that started it fails.
#include "Faults.h"

#include <windows.h>

#include <cstdio>

namespace qovi {

namespace {

const UINT kHeapCorruption = 0xC0000374;  // STATUS_HEAP_CORRUPTION
const DWORD kMaxHeaps = 256;

}  // namespace

void checkHeaps()
{
    HANDLE heaps[kMaxHeaps];
    const DWORD count = GetProcessHeaps(kMaxHeaps, heaps);
    for (DWORD i = 0; i < count && i < kMaxHeaps; ++i) {
        if (!HeapValidate(heaps[i], 0, nullptr)) {
            fprintf(stderr, "QOVICommon: heap %p is damaged: a block was written past its end or after its release\n",
                    heaps[i]);
            fflush(stderr);
            TerminateProcess(GetCurrentProcess(), kHeapCorruption);
        }
    }
}

}  // namespace qovi
