// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// What copy_child writes of each step.

struct CopyReport {
    int index = -1;
    int cpu = -1;    // where it was pinned
    int ranOn = -1;  // where it ran
    int step = -1;
    int pid = 0;
};
