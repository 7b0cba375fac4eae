// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Stability passes that run only when a test lets them, worker by worker, so the order of
// what the workers report is the test's to choose. Workers are numbered in the order of
// their first pass; a worker's n-th pass can be told to come out wrong.
#include <array>
#include <chrono>
#include <condition_variable>
#include <initializer_list>
#include <mutex>
#include <vector>

#include "diag/stability.h"

struct PassGate {
    std::mutex mutex;
    std::condition_variable changed;
    std::array<int, 8> permits{}, passNumber{};  // by worker
    int workers = 0, inPass = 0, started = 0;
    bool open = false;
    std::vector<bool> results;  // by a worker's pass number; missing means right

    // Lets each of the workers `which` through `n` more passes.
    void allow(int n, std::initializer_list<int> which = {0, 1}, bool fully = false) {
        std::lock_guard lock(mutex);
        for (const int worker : which) permits[worker] += n;
        open = open || fully;
        changed.notify_all();
    }
    void openFully() { allow(0, {}, true); }
    // True once `running` workers are inside a pass and `startedAtLeast` passes began.
    bool waitFor(int running, int startedAtLeast = 0) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60),
                                [&] { return inPass == running && started >= startedAtLeast; });
    }
};

// The gate the injected pass routine goes through; set by the test.
inline PassGate* gate = nullptr;

inline diag::PassOutcome gatedPass() {
    // Numbered per thread: a new thread may reuse the id of one that has ended.
    thread_local int worker = -1;
    std::unique_lock lock(gate->mutex);
    if (worker < 0) worker = gate->workers++;
    const int pass = gate->passNumber[worker]++;
    ++gate->started;
    ++gate->inPass;
    gate->changed.notify_all();
    gate->changed.wait(lock, [&] { return gate->open || gate->permits[worker] > 0; });
    if (!gate->open) --gate->permits[worker];
    --gate->inPass;
    gate->changed.notify_all();
    return {pass >= static_cast<int>(gate->results.size()) || gate->results[pass], {}};
}
