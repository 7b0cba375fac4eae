// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A /proc or /sys tree written by a test below a fresh temporary directory, for the readers
// that take a root: each case states the files it reads beside what it expects.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace fixtures {

class Tree {
  public:
    // `name` must differ between the cases that may run at the same time.
    explicit Tree(const std::string& name)
        : root_(std::filesystem::path(testing::TempDir()) / ("corvane-" + name)) {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }

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
