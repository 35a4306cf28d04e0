#include "tick.h"

#include <chrono>

namespace {
TickCountSource g_source = nullptr;
}

DWORD GetTickCount() {
    if (g_source)
        return g_source();
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    return (DWORD)std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
}

void AfxSetTickCountSource(TickCountSource pfnSource) {
    g_source = pfnSource;
}
