#pragma once
// BLAKE3 with its default 32-byte output, fed incrementally. The input is cut into 1 KiB chunks, each
// hashed on its own; the chunks' chaining values are joined pairwise up a binary tree whose top node,
// compressed with the root flag, gives the digest. Whole runs of chunks go to the fastest compression
// path this processor has (see Blake3Kernels.h); the rest is done in portable code.
#include <cstddef>
#include <cstdint>

namespace tv {

class Blake3 {
public:
    static constexpr std::size_t DigestBytes = 32;

    Blake3();
    void Update(const void* data, std::size_t size);
    // Once: the hasher is spent afterwards.
    void Final(std::uint8_t out[DigestBytes]);
    // A piece of the input hashed on its own (by another thread): SubtreeBytes at a multiple of
    // SubtreeBytes into the input, given as the chaining values of its two halves.
    static constexpr std::size_t SubtreeBytes = std::size_t{256} << 10;
    static void SubtreeHalves(const void* data, std::uint64_t offset, std::uint8_t halves[64]);
    // Takes such a piece as the next input. What was fed before must end at a multiple of SubtreeBytes.
    void AppendSubtree(const std::uint8_t halves[64]);
    // The compression path chosen at start: "avx512", "avx2", "sse41", "neon" or "portable".
    static const char* KernelName();

private:
    static constexpr std::size_t ChunkBytes = 1024;
    static constexpr std::size_t BlockBytes = 64;
    static constexpr std::size_t MaxDepth = 56; // 2^64 bytes are 2^54 chunks; one pair may wait unjoined

    void CompressBufferedBlock(std::uint32_t flags);
    void FinishChunk();
    // Joins the subtrees on the stack into one for each bit set in the count of chunks so far. The newest
    // pair waits unjoined until more input follows it, since its node is the root when none does.
    void JoinCompletePairs();
    // Adds the chaining value of `chunks` whole chunks (a power of two the chunk counter is a multiple of)
    // after the subtrees before it.
    void PushSubtree(const std::uint8_t cv[32], std::uint64_t chunks);

    std::uint32_t Cv_[8];            // of the chunk being read
    std::uint8_t Block_[BlockBytes]; // its block being filled
    std::size_t BlockLen_ = 0;
    std::size_t BlocksDone_ = 0;       // blocks of this chunk compressed into Cv_
    std::uint64_t Chunk_ = 0;          // the counter of this chunk: chunks before it
    std::uint8_t Stack_[MaxDepth][32]; // complete subtrees, left to right
    std::size_t Depth_ = 0;
};

} // namespace tv
