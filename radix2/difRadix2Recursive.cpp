// difRadix2Recursive (entry 4): the butterflies of difRadix2Reversed, ordered
// depth-first. A block of more than 256 points is done by transforming its two
// halves completely, first then second, and joining them with one stage of
// butterflies; a block of 256 points or fewer runs the stage loop of
// difRadix2Reversed on its own. A 256-point block (2 KiB of samples) stays in
// the nearest cache through all its stages.
#include "../plugin/kernels.h"
#include "butterflies.h"

namespace fftplug::FFTPLUG_PATH_NS {

namespace {
constexpr int32_t kSplitAbove = 256;
}

// Transforms block (blockSize, blockIndex), which covers
// work[blockSize·blockIndex .. blockSize·(blockIndex + 1)). Its halves are the
// blocks (blockSize/2, 2·blockIndex) and (blockSize/2, 2·blockIndex + 1), and
// the factor that joins them is table[blockIndex].
void difRadix2Split(int32_t blockSize, int32_t blockIndex, Complex* work, const Complex* table) {
    FFTPLUG_BLOCK_CALL(blockSize, blockIndex);
    const uint32_t size = static_cast<uint32_t>(blockSize);
    const uint32_t start = size * static_cast<uint32_t>(blockIndex);
    if (blockSize > kSplitAbove) {
        const int32_t half = blockSize / 2;
        difRadix2Split(half, 2 * blockIndex, work, table);
        difRadix2Split(half, 2 * blockIndex + 1, work, table);
        FFTPLUG_STAGE(size, half);  // the join: a stage of its own, over this block
        if (inPhase(work + start, static_cast<uint32_t>(half)))  // arrays off a line
            radix2::difBlocksOffLine(work, start, size, static_cast<uint32_t>(half), table + blockIndex);
        else
            radix2::difBlock(work + start, work + start + half, static_cast<uint32_t>(half), twiddle(table + blockIndex));
        FFTPLUG_BLOCK_JOIN(blockSize, blockIndex);
        return;
    }
    if (offLine(work + start, size)) return radix2::difStagesOnBlockOffLine(work, table, size, start);
    radix2::difStagesOnBlock(work, table, size, start);
}

void difRadix2Recursive(Complex* a, const Complex* table, int32_t N) {
    difRadix2Split(N, 0, a, table);
}

}  // namespace fftplug::FFTPLUG_PATH_NS
