// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A guard around a block of code on the current thread: an invalid-instruction fault
// (SIGILL) or an arithmetic fault (SIGFPE) inside it ends only the block.
//
// The block is left with siglongjmp, so everything it runs between its start and a fault
// must be free of objects with destructors (inline assembly, plain arithmetic). The
// previous signal handlers are restored when the guard ends; guards may nest. After a
// fault the x87 unit is emptied and its control word and MXCSR are put back as found.

#include <utility>

namespace platform {

// Runs `block(context)`; true when it completed, false when a fault ended it.
bool runGuarded(void (*block)(void*), void* context);

template <class Block>
bool runGuarded(Block&& block) {
    return runGuarded(
        [](void* context) { (*static_cast<std::remove_reference_t<Block>*>(context))(); },
        const_cast<void*>(static_cast<const void*>(&block)));
}

}  // namespace platform
