// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/system_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>

namespace platform {
namespace {

constexpr std::size_t kMaxLineBytes = std::size_t{64} << 10;

class FileDescriptor {
  public:
    explicit FileDescriptor(int fd) : fd_(fd) {}
    ~FileDescriptor() {
        if (fd_ >= 0) ::close(fd_);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return fd_; }

  private:
    int fd_;
};

// The length of the well-formed UTF-8 sequence at the start of `s`, or the length of its
// longest well-formed prefix as a negative number (at least -1) when it is ill-formed.
int utf8SequenceLength(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // the range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return -1;
    }
    for (int i = 1; i < length; ++i) {
        if (static_cast<std::size_t>(i) >= s.size()) return -i;
        const unsigned char c = byte(i);
        const bool ok = i == 1 ? c >= low && c <= high : c >= 0x80 && c <= 0xBF;
        if (!ok) return -i;
    }
    return length;
}

}  // namespace

std::optional<std::string> readSystemFile(const std::filesystem::path& path, std::size_t limit) {
    // O_NONBLOCK: a pipe served in a file's place must not hold the open.
    const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.get() < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
    // /proc and /sys report a size of 0 or 4096 whatever they hold, so read until the end.
    std::string content;
    std::size_t filled = 0;
    while (filled < limit) {
        content.resize(std::min(limit, std::max<std::size_t>(filled * 2, 4096)));
        const ssize_t got = ::read(fd.get(), content.data() + filled, content.size() - filled);
        if (got < 0) {
            if (errno == EINTR) continue;
            return std::nullopt;
        }
        if (got == 0) break;
        filled += static_cast<std::size_t>(got);
    }
    content.resize(filled);
    return content;
}

std::optional<std::string> readFirstLine(const std::filesystem::path& path) {
    auto content = readSystemFile(path, kMaxLineBytes + 1);
    if (!content) return std::nullopt;
    const auto newline = content->find('\n');
    if (newline == std::string::npos) {
        if (content->size() > kMaxLineBytes) return std::nullopt;
        return content;
    }
    content->resize(newline);
    return content;
}

std::vector<std::string_view> splitText(std::string_view text, char separator) {
    std::vector<std::string_view> parts;
    while (true) {
        const auto at = text.find(separator);
        parts.push_back(text.substr(0, at));
        if (at == std::string_view::npos) return parts;
        text.remove_prefix(at + 1);
    }
}

std::vector<std::string_view> textLines(std::string_view text) {
    std::vector<std::string_view> out = splitText(text, '\n');
    if (!out.empty() && out.back().empty()) out.pop_back();
    return out;
}

std::string_view trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

std::optional<std::int64_t> parseInteger(std::string_view text, std::int64_t min,
                                         std::int64_t max) {
    text = trimBlanks(text);
    if (text.empty()) return std::nullopt;
    std::int64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (value < min || value > max) return std::nullopt;
    return value;
}

std::optional<double> parseDecimal(std::string_view text, double min, double max) {
    text = trimBlanks(text);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, error] =
        std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
    if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
    if (!std::isfinite(value) || value < min || value > max) return std::nullopt;
    return value;
}

std::string cleanText(std::string_view text) {
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const int length = utf8SequenceLength(text);
        if (length < 0) {
            out += kReplacement;
            text.remove_prefix(static_cast<std::size_t>(-length));
            continue;
        }
        const std::string_view sequence = text.substr(0, static_cast<std::size_t>(length));
        const auto lead = static_cast<unsigned char>(sequence[0]);
        const bool c0 = lead < 0x20 || lead == 0x7F;
        const bool c1 = lead == 0xC2 && static_cast<unsigned char>(sequence[1]) < 0xA0;
        if (c0 || c1) {
            out += kReplacement;
        } else {
            out += sequence;
        }
        text.remove_prefix(static_cast<std::size_t>(length));
    }
    return out;
}

}  // namespace platform
