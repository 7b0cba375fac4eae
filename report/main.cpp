// corvane-report: Corvane's figures without a window.
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "platform/memory_status.h"
#include "platform/x87.h"
#include "report/collect.h"
#include "report/options.h"
#include "sysinfo/sweep.h"

int main(int argc, char** argv) {
    const auto parsed = report::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (const auto* early = std::get_if<report::EarlyExit>(&parsed)) {
        std::fputs(early->text.c_str(), early->status == 0 ? stdout : stderr);
        return early->status;
    }
    const auto& options = std::get<report::Options>(parsed);

    if (options.memtestBytes) {
        const auto status = platform::memoryStatus();
        if (!status || *options.memtestBytes > status->availPhys) {
            std::fprintf(stderr, "corvane-report: --memtest: %lld bytes is more than the %s\n",
                         static_cast<long long>(*options.memtestBytes),
                         status ? "available memory" : "memory status can tell");
            return 2;
        }
    }

    // The same floating-point setting and memory backing the window starts with.
    platform::setX87ControlWord(platform::kStartupX87ControlWord);
    sysinfo::backSweepBuffer();

    const report::Progress progress = [](const std::string& line) {
        std::fprintf(stderr, "%s\n", line.c_str());
    };
    report::Report result;
    progress("Identifying the processor...");
    result.cpu = report::collectCpu();
    result.memory = report::collectMemory();
    if (options.benchCpu) {
        progress("CPU benchmark...");
        result.bench = report::runCpuBenchmark(progress);
    }
    if (options.benchRam) {
        progress("RAM benchmark...");
        result.ramBench = report::runRamBenchmark(progress);
    }

    if (options.stabilitySeconds) {
        progress("CPU stability test...");
        result.stability = report::runStability(*options.stabilitySeconds, progress);
    }
    if (options.memtestBytes) {
        progress("Memory test...");
        try {
            result.memtest =
                report::runMemtest(*options.memtestBytes, options.memtestPasses, progress);
        } catch (const std::exception& failure) {
            std::fprintf(stderr, "corvane-report: --memtest: %s\n", failure.what());
            return 2;
        }
    }

    if (options.json) {
        std::cout << report::renderJson(result).dump(2) << "\n";
    } else {
        std::cout << report::renderText(result);
    }
    return result.foundErrors() ? 1 : 0;
}
