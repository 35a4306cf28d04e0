// GetTickCount: milliseconds of the monotonic clock, truncated to 32 bits. Tests replace the
// clock with one of their own so that time is exact.
#pragma once

#include "wintypes.h"

DWORD GetTickCount();

typedef DWORD (*TickCountSource)();
// A null source restores the monotonic clock.
void AfxSetTickCountSource(TickCountSource pfnSource);
