// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/oom.h"

#include <fstream>
#include <string>

namespace platform {
namespace {

std::filesystem::path scoreFile(const std::filesystem::path& root) {
    return root / "proc/self/oom_score_adj";
}

}  // namespace

std::optional<int> oomScoreAdj(const std::filesystem::path& root) {
    std::ifstream in(scoreFile(root));
    int value = 0;
    if (!(in >> value)) return std::nullopt;
    return value;
}

bool setOomScoreAdj(int value, const std::filesystem::path& root) {
    // The kernel answers a refused write when the stream flushes, so flush and check here.
    std::ofstream out(scoreFile(root), std::ios::out | std::ios::trunc);
    if (!out) return false;
    out << value << '\n';
    out.flush();
    return static_cast<bool>(out);
}

FirstOomChoice::FirstOomChoice(std::filesystem::path root)
    : root_(std::move(root)), previous_(oomScoreAdj(root_)) {
    raised_ = setOomScoreAdj(kFirstOomChoice, root_);
}

FirstOomChoice::~FirstOomChoice() {
    if (raised_ && previous_ && *previous_ != kFirstOomChoice) setOomScoreAdj(*previous_, root_);
}

}  // namespace platform
