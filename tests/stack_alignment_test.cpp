// 32-bit Windows hosts built with other compilers guarantee only 4-byte
// stack alignment. The DLL keeps SSE, AVX and AVX-512 values on its stack, up
// to 64 bytes wide, so it must realign for itself: every entry is called here
// through a thunk that leaves the stack at each of the sixteen offsets modulo
// 64, and must give the result of an ordinary call (an aligned vector store
// to a misaligned stack would fault), on every path the CPU runs.
#include "test_support.h"

#if defined(_WIN32) && defined(__i386__)

extern "C" void callWithStackOffset(FftplugRunEntry function, const uint32_t* words, uint32_t offset);

// Pushes the nine words and calls `function` with the stack pointer at
// −offset − 4 modulo 64 at the call instruction; cdecl, so the thunk restores
// the stack itself.
__asm__(
    ".text\n"
    ".globl _callWithStackOffset\n"
    "_callWithStackOffset:\n"
    "    pushl %ebp\n"
    "    movl %esp, %ebp\n"
    "    pushl %esi\n"
    "    movl 8(%ebp), %eax\n"
    "    movl 12(%ebp), %esi\n"
    "    movl 16(%ebp), %ecx\n"
    "    andl $-64, %esp\n"
    "    subl %ecx, %esp\n"
    "    pushl 32(%esi)\n"
    "    pushl 28(%esi)\n"
    "    pushl 24(%esi)\n"
    "    pushl 20(%esi)\n"
    "    pushl 16(%esi)\n"
    "    pushl 12(%esi)\n"
    "    pushl 8(%esi)\n"
    "    pushl 4(%esi)\n"
    "    pushl 0(%esi)\n"
    "    call *%eax\n"
    "    leal -4(%ebp), %esp\n"
    "    popl %esi\n"
    "    popl %ebp\n"
    "    ret\n");

namespace fftplug::test {
namespace {

uint32_t word(const void* p) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p)); }

class MisalignedStack : public testing::TestWithParam<std::tuple<std::string, uint32_t>> {};

TEST_P(MisalignedStack, EveryOffsetGivesTheOrdinaryResult) {
    const auto& [path, index] = GetParam();
    const PluginLibrary& library = variant(path);
    for (uint32_t N : {2u, 16u, 1024u}) {
        const auto signal = randomSignal(N, 40);
        const auto expected = transformWithEntry(library, entry(index), signal);
        for (uint32_t offset = 0; offset < 64; offset += 4) {
            EntryArrays arrays = arrangeForEntry(library, entry(index), signal);
            const uint32_t words[9] = {index, N, word(arrays.input.data()), 0, word(arrays.work.data()), 0,
                                       word(arrays.table.data()), 0, 1};
            callWithStackOffset(library.exports().runEntry, words, offset);
            EXPECT_TRUE(sameBits(naturalOrderResult(entry(index), arrays.work), expected))
                << "N = " << N << ", stack offset " << offset;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(EveryPathAndEntry, MisalignedStack,
                         testing::Combine(testing::ValuesIn(variantNames()), testing::ValuesIn(allEntries())),
                         [](const auto& info) {
                             return std::get<0>(info.param) + "_entry" + std::to_string(std::get<1>(info.param));
                         });

}  // namespace
}  // namespace fftplug::test

#endif
