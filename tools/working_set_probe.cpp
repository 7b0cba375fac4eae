// SPDX-License-Identifier: GPL-3.0-or-later
// A stand-in for a desktop program's working set: maps FILE and reads one byte of every
// 4 KiB page in a loop, and every 5 s prints its passes per second and the major faults it
// took (pages read back from disk), so one sees what a memory test leaves other programs.
//   working_set_probe FILE SECONDS
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: working_set_probe FILE SECONDS\n");
        return 2;
    }
    const int fd = open(argv[1], O_RDONLY);
    struct stat info {};
    if (fd < 0 || fstat(fd, &info) != 0 || info.st_size == 0) {
        std::perror(argv[1]);
        return 1;
    }
    const auto size = static_cast<std::size_t>(info.st_size);
    const auto* const pages =
        static_cast<const volatile char*>(mmap(nullptr, size, PROT_READ, MAP_SHARED, fd, 0));
    if (pages == MAP_FAILED) {
        std::perror("mmap");
        return 1;
    }
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    const auto end = start + std::chrono::seconds(std::atoi(argv[2]));
    auto next = start + std::chrono::seconds(5);
    long passes = 0, faultsBefore = 0;
    std::printf("seconds passes_per_s major_faults\n");
    while (Clock::now() < end) {
        for (std::size_t offset = 0; offset < size; offset += 4096) (void)pages[offset];
        ++passes;
        if (Clock::now() >= next) {
            rusage usage{};
            getrusage(RUSAGE_SELF, &usage);
            const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
            std::printf("%.0f %.1f %ld\n", seconds, static_cast<double>(passes) / 5.0,
                        usage.ru_majflt - faultsBefore);
            std::fflush(stdout);
            faultsBefore = usage.ru_majflt;
            passes = 0;
            next += std::chrono::seconds(5);
        }
    }
    return 0;
}
