// The clock sheetgif throws by: the throw starts at kThrowStartMs, and frame k is the paint at
// kThrowStartMs + k x kFrameMs with the viewer's tick counter at k. Effect rows move their
// sparkles by the absolute time, so the picture depends on kThrowStartMs too.
#pragma once

#include <cstdint>

namespace sheetgif {

constexpr uint32_t kThrowStartMs = 1000000;
constexpr uint32_t kFrameMs = 50;
constexpr int kFrameDelayHundredths = 5;

} // namespace sheetgif
