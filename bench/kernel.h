// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A kernel: a fixed, timed workload. It reads the tick counter at the start and at the end
// of its timed section; ALU and FPU kernels return the elapsed milliseconds, instruction
// kernels a rate in millions of instructions per second.

#include <cstdint>

namespace bench {

using Kernel = std::int32_t (*)();

}  // namespace bench
