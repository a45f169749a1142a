// memstat: prints the machine's physical memory as Windows reports it
// (GlobalMemoryStatusEx), one line: "<total bytes> <available bytes>".
// The readout tests compare the gadget's digits with this.
#include <windows.h>

#include <cstdio>

int wmain() {
    MEMORYSTATUSEX ms{};
    ms.dwLength = sizeof ms;
    if (!GlobalMemoryStatusEx(&ms)) return 1;
    std::printf("%llu %llu\n", static_cast<unsigned long long>(ms.ullTotalPhys),
                static_cast<unsigned long long>(ms.ullAvailPhys));
    return 0;
}
