// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A /proc or /sys tree written by a test below a fresh temporary directory, for the readers
// that take a root: each case states the files it reads beside what it expects.

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <system_error>
#include <utility>

namespace fixtures {

class Tree {
  public:
    // `name` tells the cases of one process apart; the process id keeps runs of other users
    // and at the same time out of each other's way.
    explicit Tree(const std::string& name)
        : root_(std::filesystem::path(testing::TempDir()) /
                ("corvane-" + name + "-" + std::to_string(::getpid()))) {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    ~Tree() {
        std::error_code ignored;
        if (!root_.empty()) std::filesystem::remove_all(root_, ignored);
    }
    Tree(Tree&& other) noexcept : root_(std::exchange(other.root_, {})) {}
    Tree(const Tree&) = delete;
    Tree& operator=(const Tree&) = delete;
    Tree& operator=(Tree&&) = delete;

    // Writes `text` to `path` below the root, making its folders.
    Tree& file(const std::string& path, const std::string& text) {
        std::filesystem::create_directories((root_ / path).parent_path());
        std::ofstream(root_ / path) << text;
        return *this;
    }
    Tree& folder(const std::string& path) {
        std::filesystem::create_directories(root_ / path);
        return *this;
    }

    const std::filesystem::path& root() const { return root_; }

  private:
    std::filesystem::path root_;
};

}  // namespace fixtures
