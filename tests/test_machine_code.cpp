// SPDX-License-Identifier: GPL-3.0-or-later
// What the compiler made of the timed code, read back with objdump from the built libraries:
// the unit tests see results, not the work that produced them, and a compiler that merges,
// hoists or drops work leaves the results unchanged.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace {

struct Instruction {
    std::uint64_t address = 0;
    std::string mnemonic;
    std::string operands;
    std::string symbol;  // what objdump names at a call's or jump's target
};
using Routine = std::vector<Instruction>;
using Match = std::function<bool(const Instruction&)>;

// "0000000000000270 <bench::power(long double, long double)>:" opens a routine;
// "     27a:\tfcomi  %st(1),%st" is one of its instructions; in an object file a call's
// target follows it as a relocation, "\t\t\t27f: R_X86_64_PLT32\tmemcpy-0x4".
std::map<std::string, Routine> disassemble(const std::string& path) {
    std::map<std::string, Routine> library;
    const std::string command = "objdump -d -r -C --no-show-raw-insn '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    Routine* current = nullptr;
    char buffer[4096];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get())) {
        std::string line(buffer);
        if (line.ends_with(">:\n") && line[0] != ' ') {
            const auto open = line.find(" <") + 2;
            current = &library[line.substr(open, line.size() - open - 3)];
            continue;
        }
        if (const auto relocation = line.find("R_X86_64_");
            current && !current->empty() && relocation != std::string::npos) {
            const auto name = line.find('\t', relocation) + 1;
            const auto end = line.find_last_of("+-");
            current->back().symbol = line.substr(name, end > name ? end - name : std::string::npos);
            continue;
        }
        const auto colon = line.find(":\t");
        if (!current || colon == std::string::npos) continue;
        // Without objdump's "<symbol+offset>" and "# address" annotations.
        char mnemonic[32] = "", operands[256] = "";
        std::sscanf(line.c_str() + colon + 2, "%31s %255[^<#\n]", mnemonic, operands);
        std::string text(operands);
        text.erase(text.find_last_not_of(' ') + 1);
        const auto open = line.find('<', colon);
        const auto close = line.rfind('>');
        const std::string symbol = open != std::string::npos && close > open
                                       ? line.substr(open + 1, close - open - 1)
                                       : std::string();
        current->push_back(
            {std::stoull(line.substr(0, colon), nullptr, 16), mnemonic, text, symbol});
    }
    return library;
}

// Every routine of a library, by name; disassembled once.
std::map<std::string, Routine>& library(const char* path) {
    static std::map<std::string, std::map<std::string, Routine>> libraries;
    auto [found, fresh] = libraries.try_emplace(path);
    if (fresh) found->second = disassemble(path);
    return found->second;
}

// Empty when the library has no such routine.
const Routine& routine(const char* path, const std::string& name) {
    return library(path)[name];
}

Match mnemonic(const std::string& name) {
    return [name](const Instruction& instruction) { return instruction.mnemonic == name; };
}

Match operandsStartWith(const std::string& text) {
    return
        [text](const Instruction& instruction) { return instruction.operands.starts_with(text); };
}

int count(const Routine& code, const Match& match) {
    return static_cast<int>(std::count_if(code.begin(), code.end(), match));
}

// Every loop: a conditional jump back to an earlier instruction of the routine, with the
// instructions from that target to the jump. Cold paths that jump back into a loop end in
// an unconditional jmp and are left out.
std::vector<Routine> loops(const Routine& code) {
    std::vector<Routine> found;
    for (std::size_t j = 0; j < code.size(); ++j) {
        if (code[j].mnemonic[0] != 'j' || code[j].mnemonic == "jmp") continue;
        const std::uint64_t target = std::stoull(code[j].operands, nullptr, 16);
        if (target >= code[j].address) continue;
        Routine& body = found.emplace_back();
        for (std::size_t k = 0; k <= j; ++k)
            if (code[k].address >= target) body.push_back(code[k]);
    }
    return found;
}

// The innermost loop doing the work `match` picks out.
Routine innermostLoop(const Routine& code, const Match& match) {
    Routine best;
    for (const Routine& body : loops(code))
        if (count(body, match) > 0 && (best.empty() || body.size() < best.size())) best = body;
    return best;
}

std::string listing(const Routine& code) {
    std::string text;
    for (const Instruction& instruction : code)
        text += instruction.mnemonic + " " + instruction.operands + "\n";
    return text;
}

// A tick reading as a kernel makes it: the context's address loaded from its stack slot, and
// a call through the context's first member, the tick source.
bool readsTheTickSource(const Routine& code, Routine::const_iterator at) {
    if (code.end() - at < 2) return false;
    const Instruction& slot = at[0];
    const auto comma = slot.operands.rfind(',');
    const bool fromStack = slot.operands.find("(%rsp),") != std::string::npos ||
                           slot.operands.find("(%rbp),") != std::string::npos;
    return slot.mnemonic == "mov" && fromStack && at[1].mnemonic == "call" &&
           at[1].operands == "*(" + slot.operands.substr(comma + 1) + ")";
}

// The innermost loop holding the first mnemonic, with how many of each mnemonic it holds.
// A block kernel's loop holds nothing else but the loop control (dec, jne) and the one
// increment that counts its turns.
struct LoopContents {
    const char* library;
    const char* routine;
    std::vector<std::pair<std::string, int>> counts;
    bool blockOnly = false;
};

const char* const kBench = CORVANE_BENCH_LIBRARY;

// A kernel's name as objdump gives it.
#define KERNEL(name) "bench::" name "(bench::KernelContext const&)"

const LoopContents kLoops[] = {
    // One stability step: b / a, a / 2, a / b; a b, a b b, a 2.
    {CORVANE_DIAG_LIBRARY,
     "diag::designedPass()",
     {{"divsd", 3}, {"mulsd", 4}, {"addsd", 1}, {"subsd", 1}}},
    // Seven dependent additions a block, and the three moves that hand the two registers
    // their roles back: a context held in a register instead of its stack slot made four.
    {kBench, KERNEL("fibonacciDigits"), {{"add", 7}, {"mov", 3}}},
    // Six evaluations per step (four sign forms, two cosine forms); x x + 1 not hoisted.
    {kBench, KERNEL("hyperbolicCosecant"), {{"fsqrt", 6}, {"fcos", 8}, {"imul", 6}}},
    // The instruction kernels: the block of copies, and EMMS in the MMX ones.
    {kBench, KERNEL("instrAddition"), {{"add", 64}, {"emms", 0}}, true},
    {kBench, KERNEL("instrSubstraction"), {{"sub", 64}, {"emms", 0}}, true},
    {kBench, KERNEL("instrMultiplication"), {{"imul", 64}, {"emms", 0}}, true},
    {kBench, KERNEL("instrDivision"), {{"not", 32}, {"emms", 0}}, true},
    {kBench, KERNEL("fpuAdd"), {{"fadd", 64}, {"emms", 0}}, true},
    {kBench, KERNEL("fpuSub"), {{"fsub", 64}, {"emms", 0}}, true},
    {kBench, KERNEL("fpuMul"), {{"fmul", 80}, {"emms", 0}}, true},
    {kBench, KERNEL("fpuDiv"), {{"fdiv", 32}, {"emms", 0}}, true},
    {kBench, KERNEL("mmxAdd"), {{"paddw", 16}, {"emms", 1}}, true},
    {kBench, KERNEL("mmxSub"), {{"psubw", 16}, {"emms", 1}}, true},
    {kBench, KERNEL("mmxMul"), {{"pmullw", 16}, {"emms", 1}}, true},
    {kBench, KERNEL("sseAdd"), {{"addss", 32}, {"emms", 0}}, true},
    {kBench, KERNEL("sseSub"), {{"subss", 32}, {"emms", 0}}, true},
    {kBench, KERNEL("sseMul"), {{"mulss", 32}, {"emms", 0}}, true},
    {kBench, KERNEL("sseDiv"), {{"divss", 32}, {"emms", 0}}, true},
};

}  // namespace

TEST(MachineCode, InnermostLoopsHoldAllTheirWork) {
    for (const LoopContents& expected : kLoops) {
        SCOPED_TRACE(expected.routine);
        const Routine& code = routine(expected.library, expected.routine);
        ASSERT_FALSE(code.empty());
        const Routine loop = innermostLoop(code, mnemonic(expected.counts[0].first));
        int counted = 0;
        for (const auto& [name, n] : expected.counts) {
            EXPECT_EQ(count(loop, mnemonic(name)), n) << name << "\n" << listing(loop);
            counted += n;
        }
        if (!expected.blockOnly) continue;
        EXPECT_EQ(count(loop, mnemonic("inc")), 1) << listing(loop);
        const int control = count(loop, mnemonic("dec")) + count(loop, mnemonic("jne")) + 1;
        EXPECT_EQ(static_cast<int>(loop.size()), counted + control) << listing(loop);
        // The closing tick is read as soon as the block ends: between the two stand at most
        // the two instructions that take the block's bounds and the two that take the
        // accumulator out (a store and a pop, or a move and EMMS). What a kernel yields
        // beside its time is gathered after the reading.
        ASSERT_FALSE(loop.empty());
        auto after = std::find_if(code.begin(), code.end(), [&](const Instruction& i) {
            return i.address == loop.back().address;
        });
        const auto call = std::find_if(after, code.end(), mnemonic("call"));
        ASSERT_NE(call, code.end());
        EXPECT_TRUE(readsTheTickSource(code, call - 1)) << listing(Routine(after, call + 1));
        EXPECT_LE(call - after - 2, 4) << listing(Routine(after, call));
    }
}

// Keeping the first mismatch costs the stability step one branch to code out of the loop.
TEST(MachineCode, StabilityStepChecksBothValuesWithOneBranchOutOfTheLoop) {
    const Routine step =
        innermostLoop(routine(CORVANE_DIAG_LIBRARY, "diag::designedPass()"), mnemonic("divsd"));
    const Match coldPath = [](const Instruction& i) {
        return i.mnemonic[0] == 'j' && i.symbol.starts_with(".text.unlikely");
    };
    EXPECT_EQ(count(step, coldPath), 1) << listing(step);
    EXPECT_EQ(count(step, mnemonic("call")), 0) << listing(step);
}

// The vector workload's block: every chain's step is its two fused multiply-adds, the
// multiplication and the rounding, on full-width registers, and the chains stay in
// registers: nothing in the loop touches memory.
TEST(MachineCode, VectorBlockStepsEveryChainOnFullWidthRegisters) {
    struct Block {
        const char* routine;
        const char* registers;
        const char* rounding;
        int chains;
    };
    const Block blocks[] = {
        {"diag::(anonymous namespace)::blockAvx2(double const*, double*, "
         "diag::(anonymous namespace)::Constants const&)",
         "%ymm", "vroundpd", 8},
        {"diag::(anonymous namespace)::blockAvx512(double const*, double*, "
         "diag::(anonymous namespace)::Constants const&)",
         "%zmm", "vrndscalepd", 16},
    };
    for (const Block& block : blocks) {
        SCOPED_TRACE(block.routine);
        const auto on = [&](const std::string& prefix) -> Match {
            return [=](const Instruction& i) {
                return i.mnemonic.starts_with(prefix) && i.mnemonic.ends_with("pd") &&
                       i.operands.find(block.registers) != std::string::npos;
            };
        };
        const Routine code = routine(CORVANE_DIAG_LIBRARY, block.routine);
        ASSERT_FALSE(code.empty());
        const Routine step = innermostLoop(code, on("vfmadd"));
        EXPECT_EQ(count(step, on("vfmadd")), block.chains) << listing(step);
        EXPECT_EQ(count(step, on("vfnmadd")), block.chains) << listing(step);
        EXPECT_EQ(count(step, on("vmulpd")), block.chains) << listing(step);
        EXPECT_EQ(count(step, on(block.rounding)), block.chains) << listing(step);
        const Match memory = [](const Instruction& i) {
            return i.operands.find('(') != std::string::npos;
        };
        EXPECT_EQ(count(step, memory), 0) << listing(step);
        EXPECT_EQ(static_cast<int>(step.size()), 4 * block.chains + 2) << listing(step);
    }
}

// Every kernel reads its tick source twice, each time through its context's stack slot, and
// a kernel with a sweep tail reads the closing tick right after the tail.
TEST(MachineCode, KernelsReadTheTicksFromTheirContextAndRightAfterTheSweepTail) {
    int kernels = 0;
    int tails = 0;
    for (const auto& [name, code] : library(kBench)) {
        if (!name.ends_with("(bench::KernelContext const&)")) continue;
        SCOPED_TRACE(name);
        ++kernels;
        int readings = 0;
        for (auto at = code.begin(); at != code.end(); ++at) {
            if (at->mnemonic != "call") continue;
            if (at->operands.starts_with("*")) {
                ++readings;
                EXPECT_TRUE(at != code.begin() && readsTheTickSource(code, at - 1))
                    << listing(code);
            }
            if (!at->symbol.starts_with("bench::sweepTail(")) continue;
            ++tails;
            auto next = at + 1;
            if (next != code.end() &&
                next->mnemonic == "jmp") {  // to a reading shared by two paths
                const std::uint64_t target = std::stoull(next->operands, nullptr, 16);
                next = std::find_if(code.begin(), code.end(),
                                    [&](const Instruction& i) { return i.address == target; });
            }
            EXPECT_TRUE(readsTheTickSource(code, next)) << listing(code);
        }
        EXPECT_EQ(readings, 2) << listing(code);
    }
    EXPECT_EQ(kernels, 29);
    EXPECT_EQ(tails, 11);
}

TEST(MachineCode, PowerLoopsOncePerExponentBit) {
    const Routine& power = routine(kBench, "bench::power(long double, long double)");
    ASSERT_FALSE(power.empty());
    // The top bit comes from one bit-scan instruction, not from a walk down from bit 63.
    EXPECT_GT(count(power, mnemonic("bsr")) + count(power, mnemonic("lzcnt")), 0) << listing(power);
    const Match squaring = [](const Instruction& i) {
        return i.mnemonic == "fmul" && i.operands == "%st(0),%st";
    };
    int squaringLoops = 0;
    for (const Routine& body : loops(power)) {
        if (count(body, mnemonic("ret")) > 0) continue;  // a branch back to shared exit code
        // Every loop squares once per turn, so its turns are the exponent's bits.
        EXPECT_EQ(count(body, squaring), 1) << listing(body);
        ++squaringLoops;
    }
    EXPECT_GT(squaringLoops, 0);
}

TEST(MachineCode, SweepStepLoadsNineElementsDownwardEachIntoTheSink) {
    const Routine step = innermostLoop(
        routine(CORVANE_SYSINFO_LIBRARY, "sysinfo::sweepBlock(long const*, int, long)"),
        mnemonic("mov"));
    ASSERT_EQ(step.size(), 21u) << listing(step);  // 9 loads, 9 stores, add, cmp, jg
    const char* const loads[9] = {"0x40(", "0x38(", "0x30(", "0x28(", "0x20(",
                                  "0x18(", "0x10(", "0x8(",  "("};
    for (int k = 0; k < 9; ++k) {
        EXPECT_TRUE(step[2 * k].operands.starts_with(loads[k])) << listing(step);
        EXPECT_TRUE(step[2 * k].operands.ends_with(",%eax")) << listing(step);
        EXPECT_TRUE(step[2 * k + 1].operands.starts_with("%eax,(")) << listing(step);
        EXPECT_EQ(step[2 * k + 1].operands, step[1].operands) << listing(step);  // one sink
    }
    EXPECT_TRUE(step[18].operands.starts_with("$0x8,")) << listing(step);
    EXPECT_EQ(step[20].mnemonic, "jg") << listing(step);
}

// Which words the stores write, and with what, shows in the memory test's buffer.
TEST(MachineCode, WriteLoopStores256WordsPer1024Bytes) {
    const Routine step = innermostLoop(
        routine(CORVANE_MEMBENCH_LIBRARY, "membench::writePattern(void*, unsigned long, int)"),
        mnemonic("movl"));
    EXPECT_EQ(count(step, mnemonic("movl")), 256) << listing(step);
    EXPECT_EQ(count(step, operandsStartWith("$0x400,")), 1) << listing(step);
}

TEST(MachineCode, ReadLoopLoadsOneWordPer32Bytes) {
    const Match load32 = [](const Instruction& i) {
        return i.mnemonic == "mov" && i.operands.find("),%e") != std::string::npos;
    };
    const Routine step = innermostLoop(
        routine(CORVANE_MEMBENCH_LIBRARY,
                "membench::stridedReadPass(void const*, unsigned int, int, unsigned int (*)())"),
        load32);
    EXPECT_EQ(count(step, load32), 1) << listing(step);
    const Match memory = [](const Instruction& i) {
        return i.operands.find('(') != std::string::npos;
    };
    EXPECT_EQ(count(step, memory), 1) << listing(step);
    EXPECT_EQ(count(step, operandsStartWith("$0x20,")), 1) << listing(step);
}

namespace {
// The loops of `code` with no loop inside them.
std::vector<Routine> innermostLoops(const Routine& code) {
    std::vector<Routine> found;
    for (const Routine& body : loops(code)) {
        const auto backward = [&](const Instruction& i) {
            return i.mnemonic[0] == 'j' && i.mnemonic != "jmp" &&
                   std::stoull(i.operands, nullptr, 16) < i.address;
        };
        if (count(body, backward) == 1) found.push_back(body);
    }
    return found;
}

// An instruction that reads or writes memory (lea only computes an address).
bool touchesMemory(const Instruction& i) {
    return i.operands.find('(') != std::string::npos && i.mnemonic != "lea" &&
           !i.mnemonic.starts_with("nop");
}
bool storesToMemory(const Instruction& i) {
    return touchesMemory(i) && i.operands.back() == ')';
}

const std::string kDirect = "diag::engine::DirectMemory";

std::string kernel(const std::string& name, const std::string& value, const std::string& rest) {
    return "long diag::engine::" + name + "<" + kDirect +
           (value.empty() ? "" : ", diag::" + value) + ">(" + kDirect +
           " const&, diag::engine::Range, " + rest + "std::atomic<bool> const&)";
}

}  // namespace

// The designed memory test as the window runs it: four loops over an 8-element step, each
// with one access per element (the volatile view keeps every one) and no call: the hook that
// locates mismatches for corvane-report compiles away.
TEST(MachineCode, DesignedMemoryPhasesMakeOneAccessPerElementAndNoCall) {
    const Routine& code = routine(
        CORVANE_DIAG_LIBRARY,
        "diag::runMemTestCycles(long*, long, long, diag::MemTestView&, unsigned int (*)())");
    ASSERT_FALSE(code.empty());
    int phases = 0;
    for (const Routine& body : innermostLoops(code)) {
        if (count(body, touchesMemory) == 0) continue;
        ++phases;
        EXPECT_EQ(count(body, touchesMemory), 1) << listing(body);
        EXPECT_EQ(count(body, mnemonic("call")), 0) << listing(body);
    }
    EXPECT_EQ(phases, 4) << listing(code);
}

// The thorough test's fills and checks of the patterns whose values SSE2 computes are vector
// loops (16-byte loads and stores), and nothing else is in them: no call, no look at the stop
// flag. Moving inversions visits one element at a time, its check (load, compare) before its
// write, as the pattern needs.
TEST(MachineCode, ThoroughKernelsAreVectorLoopsMovingInversionsChecksEachElementFirst) {
    const Match vectorLoad = [](const Instruction& i) {
        return touchesMemory(i) && !storesToMemory(i) &&
               i.operands.find("%xmm") != std::string::npos;
    };
    const Match vectorStore = [](const Instruction& i) {
        return storesToMemory(i) && i.operands.starts_with("%xmm");
    };
    struct Kernel {
        std::string name;
        Match work;
    };
    std::vector<Kernel> kernels = {
        {kernel("readAll", "", ""), vectorLoad},
    };
    for (const char* value : {"OwnAddressValue", "SolidValue", "CheckerboardValue"}) {
        kernels.push_back(
            {kernel("fill", value, std::string("diag::") + value + ", "), vectorStore});
        kernels.push_back(
            {kernel("check", value, std::string("diag::") + value + ", diag::engine::Locator&, "),
             vectorLoad});
    }
    for (const Kernel& k : kernels) {
        SCOPED_TRACE(k.name);
        const Routine& code = routine(CORVANE_DIAG_LIBRARY, k.name);
        ASSERT_FALSE(code.empty());
        const Routine loop = innermostLoop(code, k.work);
        ASSERT_FALSE(loop.empty()) << listing(code);
        EXPECT_EQ(count(loop, touchesMemory), count(loop, k.work)) << listing(loop);
        EXPECT_EQ(count(loop, mnemonic("call")), 0) << listing(loop);
    }
    for (const char* sweep : {"checkAndWriteUp", "checkAndWriteDown"}) {
        SCOPED_TRACE(sweep);
        const Routine& code =
            routine(CORVANE_DIAG_LIBRARY,
                    kernel(sweep, "", "unsigned long, unsigned long, diag::engine::Locator&, "));
        const Routine loop = innermostLoop(code, storesToMemory);
        ASSERT_FALSE(loop.empty()) << listing(code);
        ASSERT_EQ(count(loop, touchesMemory), 2) << listing(loop);
        const auto load = std::find_if(loop.begin(), loop.end(), touchesMemory);
        EXPECT_FALSE(storesToMemory(*load)) << listing(loop);
        EXPECT_TRUE(std::any_of(load, loop.end(), mnemonic("cmp"))) << listing(loop);
    }
}
