// SPDX-License-Identifier: GPL-3.0-or-later
#include "present/captions.h"

#include <stdexcept>

#include "bench/kernel_table.h"
#include "version.h"

namespace present {

std::string versionCaption() {
    return "Corvane v. " CORVANE_VERSION;
}

std::string windowTitle() {
    return versionCaption() + std::string(6, ' ') + "~" CORVANE_WEBSITE "~";
}

std::string_view rowCaption(std::string_view key) {
    for (const auto& [name, caption] : kRowCaptions)
        if (name == key) return caption;
    throw std::out_of_range("no benchmark row caption " + std::string(key));
}

std::string_view rowCaption(int row) {
    if (row < 1 || row > bench::kRowCount)
        throw std::out_of_range("no benchmark row " + std::to_string(row));
    return rowCaption(bench::kKernelTable[static_cast<std::size_t>(row - 1)].caption);
}

std::string loadChartDescription(std::string_view load, std::string_view free) {
    return "Physical memory load " + std::string(load) + ", free " + std::string(free);
}

std::string_view plainCaption(std::string_view caption) {
    while (!caption.empty() &&
           (caption.back() == '.' || caption.back() == ':' || caption.back() == ' '))
        caption.remove_suffix(1);
    return caption;
}

}  // namespace present
