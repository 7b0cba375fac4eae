// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The out-of-memory killer's choice of victim.
//
// Before the memory test takes most of the free memory, Corvane offers itself as the first
// process to end should memory run short, so the kernel never picks the user's editor or
// browser instead. Raising oom_score_adj is allowed to every process, and so is putting
// back the value found: without CAP_SYS_RESOURCE a write is refused only below
// oom_score_adj_min, the floor a privileged writer last set, and the value found is never
// below that floor. Nothing here is ever shown.

#include <filesystem>
#include <optional>

namespace platform {

inline constexpr int kFirstOomChoice = 1000;

// <root>/proc/self/oom_score_adj; empty when it cannot be read.
std::optional<int> oomScoreAdj(const std::filesystem::path& root = "/");
// Writes the value; false when the file cannot be written.
bool setOomScoreAdj(int value, const std::filesystem::path& root = "/");

// Makes the process the first choice for its lifetime, then tries to put back what it found.
class FirstOomChoice {
  public:
    explicit FirstOomChoice(std::filesystem::path root = "/");
    ~FirstOomChoice();
    FirstOomChoice(const FirstOomChoice&) = delete;
    FirstOomChoice& operator=(const FirstOomChoice&) = delete;

    bool raised() const { return raised_; }

  private:
    std::filesystem::path root_;
    std::optional<int> previous_;
    bool raised_ = false;
};

}  // namespace platform
