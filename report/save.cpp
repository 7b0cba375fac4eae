// SPDX-License-Identifier: GPL-3.0-or-later
#include "report/save.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "present/report_words.h"

namespace report {

platform::Expected<void, std::string> saveAtomically(const std::string& path,
                                                     const std::string& text,
                                                     std::string_view option) {
    const std::string temporary = path + ".tmp-" + std::to_string(getpid());
    const auto failed = [&](std::string_view step) {
        return platform::Unexpected{
            present::saveFailedReason(option, step, path, std::strerror(errno))};
    };
    // O_EXCL: never write through a link or over someone else's file of that name.
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (fd < 0) return failed(present::kCannotCreateTemporary);
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const auto message = failed(present::kCannotWrite);
            close(fd);
            unlink(temporary.c_str());
            return message;
        }
        done += static_cast<std::size_t>(n);
    }
    const bool synced = fsync(fd) == 0;
    if (close(fd) != 0 || !synced) {
        const auto message = failed(present::kCannotWrite);
        unlink(temporary.c_str());
        return message;
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const auto message = failed(present::kCannotReplace);
        unlink(temporary.c_str());
        return message;
    }
    return {};
}

platform::Expected<void, std::string> writeAll(std::FILE* stream, const std::string& text) {
    errno = 0;
    const bool written = std::fwrite(text.data(), 1, text.size(), stream) == text.size();
    if (std::fflush(stream) == 0 && written && !std::ferror(stream)) return {};
    return platform::Unexpected{
        present::outputFailedReason(errno ? std::strerror(errno) : present::kWriteError)};
}

}  // namespace report
