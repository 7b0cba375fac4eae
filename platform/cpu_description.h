// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A read-only view of the first processor's description key, built from /proc/cpuinfo
// and cpufreq sysfs the way a 64-bit system records it:
//   "VendorIdentifier"    vendor_id
//   "ProcessorNameString" model name
//   "Identifier"          "Intel64 Family F Model M Stepping S" (AMD64 for AMD)
//   "~MHz"                rated MHz: cpufreq base_frequency, else acpi_cppc nominal_freq,
//                         else cpuinfo_max_freq, else "cpu MHz" rounded
// Texts are valid UTF-8; a number out of the plausible range counts as missing.
// Nothing is ever written, so opening with full access succeeds for any user.

#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace platform {

// The fields of the first "processor" block of /proc/cpuinfo: "vendor_id", "flags", ...
using ProcessorFields = std::map<std::string, std::string>;

class CpuDescription {
  public:
    using Value = std::variant<std::string, std::int32_t>;

    // The key paths of the description, compared without regard to case; a leading
    // backslash starts at the root.
    static constexpr std::string_view kKeyPath =
        "hardware\\description\\system\\centralprocessor\\0";

    // Opens the key below `root` ("/" on a live system). No value without a readable
    // first processor in <root>/proc/cpuinfo: then the key does not open.
    static std::optional<CpuDescription> open(std::string_view keyPath,
                                              const std::filesystem::path& root = "/");
    // The same from the first processor's fields, read once (readProcessorFields) for every
    // key a run opens; cpufreq is read below `root`.
    static std::optional<CpuDescription> open(std::string_view keyPath,
                                              const ProcessorFields& fields,
                                              const std::filesystem::path& root = "/");

    explicit CpuDescription(std::map<std::string, Value> values) : values_(std::move(values)) {}

    // A missing value, or one of the other type, reads as nullopt.
    std::optional<std::string> text(const std::string& name) const;
    std::optional<std::int32_t> integer(const std::string& name) const;

    const std::map<std::string, Value>& values() const { return values_; }

  private:
    std::map<std::string, Value> values_;
};

// The fields of the first "processor" block of a /proc/cpuinfo text, trimmed and made
// valid UTF-8. Lines without a colon and lines over 64 KiB are passed over.
ProcessorFields firstProcessorFields(std::string_view cpuinfo);

// The first processor's fields of <root>/proc/cpuinfo; empty when it cannot be read.
ProcessorFields readProcessorFields(const std::filesystem::path& root = "/");

}  // namespace platform
