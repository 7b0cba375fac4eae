// What the compiler made of the timed code, read back with objdump from the built libraries:
// the unit tests see results, not the work that produced them, and a compiler that merges,
// hoists or drops work leaves the results unchanged.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

struct Instruction {
    std::uint64_t address = 0;
    std::string mnemonic;
    std::string operands;
};
using Routine = std::vector<Instruction>;
using Library = std::map<std::string, Routine>;

// "0000000000000270 <bench::power(long double, long double)>:" opens a routine;
// "     27a:\tfcomi  %st(1),%st" is one of its instructions.
Library disassemble(const std::string& path) {
    Library library;
    const std::string command = "objdump -d -C --no-show-raw-insn '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    if (!pipe) return library;
    Routine* current = nullptr;
    char buffer[4096];
    while (std::fgets(buffer, sizeof buffer, pipe.get())) {
        std::string line(buffer);
        if (!line.empty() && line.back() == '\n') line.pop_back();
        const auto open = line.find(" <");
        if (open != std::string::npos && line.size() > 2 &&
            line.compare(line.size() - 2, 2, ">:") == 0 && line[0] != ' ') {
            current = &library[line.substr(open + 2, line.size() - open - 4)];
            continue;
        }
        const auto colon = line.find(":\t");
        if (!current || colon == std::string::npos) continue;
        Instruction instruction;
        instruction.address = std::stoull(line.substr(0, colon), nullptr, 16);
        std::istringstream text(line.substr(colon + 2));
        text >> instruction.mnemonic;
        std::getline(text >> std::ws, instruction.operands);
        // Drop objdump's "<symbol+offset>" and "# address" annotations.
        const auto note = instruction.operands.find_first_of("<#");
        if (note != std::string::npos) instruction.operands.erase(note);
        while (!instruction.operands.empty() && instruction.operands.back() == ' ')
            instruction.operands.pop_back();
        current->push_back(instruction);
    }
    return library;
}

const Routine& routine(const char* path, const std::string& name) {
    static std::map<std::string, Library> libraries;
    auto found = libraries.find(path);
    if (found == libraries.end()) found = libraries.emplace(path, disassemble(path)).first;
    static const Routine none;
    const auto named = found->second.find(name);
    return named == found->second.end() ? none : named->second;
}

bool isJump(const Instruction& instruction) {
    return instruction.mnemonic[0] == 'j';
}

std::uint64_t jumpTarget(const Instruction& instruction) {
    return std::stoull(instruction.operands, nullptr, 16);
}

// A loop: a conditional jump back to an earlier instruction of the routine, with the
// instructions from that target to the jump. Cold paths that jump back into a loop end in
// an unconditional jmp and are left out.
std::vector<Routine> loops(const Routine& code) {
    std::vector<Routine> found;
    for (std::size_t j = 0; j < code.size(); ++j) {
        if (!isJump(code[j]) || code[j].mnemonic == "jmp") continue;
        const std::uint64_t target = jumpTarget(code[j]);
        if (target >= code[j].address) continue;
        Routine body;
        for (std::size_t k = 0; k <= j; ++k)
            if (code[k].address >= target) body.push_back(code[k]);
        found.push_back(body);
    }
    return found;
}

using Match = std::function<bool(const Instruction&)>;

Match mnemonic(const std::string& name) {
    return [name](const Instruction& instruction) { return instruction.mnemonic == name; };
}

int count(const Routine& code, const Match& match) {
    int n = 0;
    for (const Instruction& instruction : code) n += match(instruction) ? 1 : 0;
    return n;
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

}  // namespace

TEST(MachineCode, StabilityStepDividesThreeTimes) {
    const Routine& pass = routine(CORVANE_DIAG_LIBRARY, "diag::(anonymous namespace)::soundPass()");
    ASSERT_FALSE(pass.empty());
    const Routine step = innermostLoop(pass, mnemonic("divsd"));
    EXPECT_EQ(count(step, mnemonic("divsd")), 3) << listing(step);  // b / a, a / 2, a / b
    EXPECT_EQ(count(step, mnemonic("mulsd")), 4) << listing(step);  // a b, a b b, a 2
    EXPECT_EQ(count(step, mnemonic("addsd")), 1) << listing(step);
    EXPECT_EQ(count(step, mnemonic("subsd")), 1) << listing(step);
}

TEST(MachineCode, CosecantEvaluatesEveryFormulaInFull) {
    const Routine& kernel = routine(CORVANE_BENCH_LIBRARY, "bench::hyperbolicCosecant()");
    ASSERT_FALSE(kernel.empty());
    const Routine step = innermostLoop(kernel, mnemonic("fsqrt"));
    // Six evaluations per step: four sign forms, two cosine forms.
    EXPECT_EQ(count(step, mnemonic("fsqrt")), 6) << listing(step);
    EXPECT_EQ(count(step, mnemonic("fcos")), 8) << listing(step);
    EXPECT_EQ(count(step, mnemonic("imul")), 6) << listing(step);  // x x + 1, not hoisted
}

TEST(MachineCode, PowerLoopsOncePerExponentBit) {
    const Routine& power = routine(CORVANE_BENCH_LIBRARY, "bench::power(long double, long double)");
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

TEST(MachineCode, InstructionBlocksHoldTheirOpcodeAndCopyCount) {
    struct Block {
        const char* kernel;
        const char* opcode;
        int copies;
    };
    const Block blocks[] = {
        {"bench::instrAddition()", "add", 64},
        {"bench::instrSubstraction()", "sub", 64},
        {"bench::instrMultiplication()", "imul", 64},
        {"bench::instrDivision()", "not", 32},
        {"bench::fpuAdd()", "fadd", 64},
        {"bench::fpuSub()", "fsub", 64},
        {"bench::fpuMul()", "fmul", 80},
        {"bench::fpuDiv()", "fdiv", 32},
        {"bench::mmxAdd()", "paddw", 16},
        {"bench::mmxSub()", "psubw", 16},
        {"bench::mmxMul()", "pmullw", 16},
        {"bench::sseAdd()", "addss", 32},
        {"bench::sseSub()", "subss", 32},
        {"bench::sseMul()", "mulss", 32},
        {"bench::sseDiv()", "divss", 32},
    };
    for (const Block& block : blocks) {
        SCOPED_TRACE(block.kernel);
        const Routine& kernel = routine(CORVANE_BENCH_LIBRARY, block.kernel);
        ASSERT_FALSE(kernel.empty());
        const Routine loop = innermostLoop(kernel, mnemonic(block.opcode));
        EXPECT_EQ(count(loop, mnemonic(block.opcode)), block.copies) << listing(loop);
        // Besides the block only the loop control, and the MMX kernels' EMMS.
        const int control = count(loop, mnemonic("dec")) + count(loop, mnemonic("jne")) +
                            count(loop, mnemonic("emms"));
        EXPECT_EQ(static_cast<int>(loop.size()), block.copies + control) << listing(loop);
        EXPECT_EQ(count(loop, mnemonic("emms")), block.opcode[0] == 'p' ? 1 : 0);
    }
}

TEST(MachineCode, SweepStepLoadsNineElementsDownwardEachIntoTheSink) {
    const Routine& sweep =
        routine(CORVANE_SYSINFO_LIBRARY, "sysinfo::sweepBlock(long const*, int, long)");
    ASSERT_FALSE(sweep.empty());
    const Routine step = innermostLoop(sweep, mnemonic("mov"));
    ASSERT_EQ(step.size(), 21u) << listing(step);  // 9 loads, 9 stores, add, cmp, jg
    std::string sink;
    for (int k = 0; k < 9; ++k) {
        const Instruction& load = step[2 * k];
        const Instruction& store = step[2 * k + 1];
        const int offset = 64 - 8 * k;
        std::ostringstream displacement;
        if (offset > 0) displacement << "0x" << std::hex << offset;
        EXPECT_EQ(load.operands.rfind(displacement.str() + "(", 0), 0u) << listing(step);
        EXPECT_EQ(load.operands.substr(load.operands.size() - 5), ",%eax") << listing(step);
        EXPECT_EQ(store.operands.rfind("%eax,(", 0), 0u) << listing(step);
        if (k == 0) sink = store.operands;
        EXPECT_EQ(store.operands, sink) << listing(step);
    }
    EXPECT_EQ(step[18].operands.rfind("$0x8,", 0), 0u) << listing(step);
    EXPECT_EQ(step[20].mnemonic, "jg") << listing(step);
}

TEST(MachineCode, WriteLoopStores256WordsPer1024Bytes) {
    const Routine& write =
        routine(CORVANE_MEMBENCH_LIBRARY, "membench::writePattern(void*, unsigned long, int)");
    ASSERT_FALSE(write.empty());
    const Routine step = innermostLoop(write, mnemonic("movl"));
    EXPECT_EQ(count(step, mnemonic("movl")), 256) << listing(step);
    int k = 0;
    for (const Instruction& instruction : step) {
        if (instruction.mnemonic != "movl") continue;
        std::ostringstream expected;
        expected << (k % 2 == 0 ? "$0x1," : "$0x0,");
        if (k > 0) expected << "0x" << std::hex << 4 * k;
        expected << "(";
        EXPECT_EQ(instruction.operands.rfind(expected.str(), 0), 0u) << instruction.operands;
        ++k;
    }
    EXPECT_EQ(count(step, [](const Instruction& i) { return i.operands.rfind("$0x400,", 0) == 0; }),
              1)
        << listing(step);
}

TEST(MachineCode, ReadLoopLoadsOneWordPer32Bytes) {
    const Routine& read = routine(CORVANE_MEMBENCH_LIBRARY,
                                  "membench::stridedReadPass(void const*, unsigned int, int)");
    ASSERT_FALSE(read.empty());
    const Match load32 = [](const Instruction& i) {
        return i.mnemonic == "mov" && i.operands.find("),%e") != std::string::npos;
    };
    const Routine step = innermostLoop(read, load32);
    EXPECT_EQ(count(step, load32), 1) << listing(step);
    EXPECT_EQ(
        count(step, [](const Instruction& i) { return i.operands.find('(') != std::string::npos; }),
        1)
        << listing(step);
    EXPECT_EQ(count(step, [](const Instruction& i) { return i.operands.rfind("$0x20,", 0) == 0; }),
              1)
        << listing(step);
}
