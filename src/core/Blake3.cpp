#include "core/Blake3.h"

#include "core/Blake3Kernels.h"

#include <algorithm>
#include <cstring>

namespace tv {

namespace blake3 {

namespace {

inline std::uint32_t RotR(std::uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

inline void G(std::uint32_t v[16], int a, int b, int c, int d, std::uint32_t x, std::uint32_t y) {
    v[a] = v[a] + v[b] + x;
    v[d] = RotR(v[d] ^ v[a], 16);
    v[c] = v[c] + v[d];
    v[b] = RotR(v[b] ^ v[c], 12);
    v[a] = v[a] + v[b] + y;
    v[d] = RotR(v[d] ^ v[a], 8);
    v[c] = v[c] + v[d];
    v[b] = RotR(v[b] ^ v[c], 7);
}

} // namespace

void Compress(std::uint32_t cv[8], const std::uint8_t block[64], std::uint32_t len, std::uint64_t counter,
              std::uint32_t flags) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = LoadLe32(block + 4 * i);
    std::uint32_t v[16] = {cv[0],
                           cv[1],
                           cv[2],
                           cv[3],
                           cv[4],
                           cv[5],
                           cv[6],
                           cv[7],
                           Iv[0],
                           Iv[1],
                           Iv[2],
                           Iv[3],
                           static_cast<std::uint32_t>(counter),
                           static_cast<std::uint32_t>(counter >> 32),
                           len,
                           flags};
    for (const auto& s : Sigma.Words) {
        G(v, 0, 4, 8, 12, m[s[0]], m[s[1]]);
        G(v, 1, 5, 9, 13, m[s[2]], m[s[3]]);
        G(v, 2, 6, 10, 14, m[s[4]], m[s[5]]);
        G(v, 3, 7, 11, 15, m[s[6]], m[s[7]]);
        G(v, 0, 5, 10, 15, m[s[8]], m[s[9]]);
        G(v, 1, 6, 11, 12, m[s[10]], m[s[11]]);
        G(v, 2, 7, 8, 13, m[s[12]], m[s[13]]);
        G(v, 3, 4, 9, 14, m[s[14]], m[s[15]]);
    }
    for (int i = 0; i < 8; ++i)
        cv[i] = v[i] ^ v[i + 8];
}

void HashManyPortable(const Many& job) {
    for (std::size_t i = 0; i < job.Count; ++i) {
        const std::uint8_t* in = job.Input + i * job.Stride;
        std::uint32_t cv[8];
        std::memcpy(cv, Iv, sizeof cv);
        for (std::size_t b = 0; b < job.Blocks; ++b) {
            std::uint32_t flags = job.Flags;
            if (b == 0) flags |= job.StartFlags;
            if (b + 1 == job.Blocks) flags |= job.EndFlags;
            Compress(cv, in + 64 * b, 64, job.Counter + (job.CountUp ? i : 0), flags);
        }
        for (int w = 0; w < 8; ++w)
            StoreLe32(job.Out + 32 * i + 4 * w, cv[w]);
    }
}

namespace {

// Chunks hashed in one go: their subtree's parents are joined in wide steps too.
constexpr std::size_t MaxBatch = 256;

// The chaining values of the two halves of the subtree of `chunks` whole chunks at `data` (a power of
// two from 2 to MaxBatch), left then right in `out`: the subtree's own node waits for what follows, since it
// is the root when nothing does.
void HashSubtreeHalves(const std::uint8_t* data, std::size_t chunks, std::uint64_t counter, std::uint8_t out[64]) {
    alignas(64) std::uint8_t a[MaxBatch * 32], b[MaxBatch / 2 * 32];
    HashMany({data, 1024, chunks, 16, counter, true, 0, ChunkStart, ChunkEnd, a});
    std::uint8_t *from = a, *to = b;
    for (std::size_t n = chunks; n > 2; n /= 2) {
        HashMany({from, 64, n / 2, 1, 0, false, Parent, 0, 0, to});
        std::swap(from, to);
    }
    std::memcpy(out, from, 64);
}

} // namespace

} // namespace blake3

using namespace blake3;

Blake3::Blake3() {
    std::memcpy(Cv_, Iv, sizeof Cv_);
}

void Blake3::CompressBufferedBlock(std::uint32_t flags) {
    if (BlocksDone_ == 0) flags |= ChunkStart;
    std::memset(Block_ + BlockLen_, 0, BlockBytes - BlockLen_);
    Compress(Cv_, Block_, static_cast<std::uint32_t>(BlockLen_), Chunk_, flags);
    ++BlocksDone_;
    BlockLen_ = 0;
}

void Blake3::FinishChunk() {
    CompressBufferedBlock(ChunkEnd);
    std::uint8_t cv[32];
    for (int w = 0; w < 8; ++w)
        StoreLe32(cv + 4 * w, Cv_[w]);
    PushSubtree(cv, 1);
    std::memcpy(Cv_, Iv, sizeof Cv_);
    BlocksDone_ = 0;
}

void Blake3::JoinCompletePairs() {
    std::size_t subtrees = 0; // one for each bit set in the count of chunks so far
    for (std::uint64_t n = Chunk_; n != 0; n &= n - 1)
        ++subtrees;
    while (Depth_ > subtrees) {
        std::uint8_t node[64];
        std::memcpy(node, Stack_[Depth_ - 2], 32);
        std::memcpy(node + 32, Stack_[Depth_ - 1], 32);
        std::uint32_t parent[8];
        std::memcpy(parent, Iv, sizeof parent);
        Compress(parent, node, 64, 0, Parent);
        --Depth_;
        for (int w = 0; w < 8; ++w)
            StoreLe32(Stack_[Depth_ - 1] + 4 * w, parent[w]);
    }
}

void Blake3::PushSubtree(const std::uint8_t cv[32], std::uint64_t chunks) {
    JoinCompletePairs();
    std::memcpy(Stack_[Depth_++], cv, 32);
    Chunk_ += chunks;
}

void Blake3::Update(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    while (size > 0) {
        // A block is compressed only once more input follows it: the last block of a chunk carries the
        // chunk end flag, and the root flag when its chunk is the only one.
        if (BlockLen_ == BlockBytes) {
            if (BlocksDone_ + 1 == ChunkBytes / BlockBytes)
                FinishChunk();
            else
                CompressBufferedBlock(0);
        }
        // Whole chunks from a chunk boundary go to the wide kernels, the largest subtree that fits and
        // starts here at a time; a first chunk that may be the only one waits in the chunk being read.
        const std::size_t whole = size / ChunkBytes;
        if (BlocksDone_ == 0 && BlockLen_ == 0 && whole >= (Chunk_ == 0 ? 2u : 1u)) {
            std::size_t n = std::min(whole, MaxBatch);
            while ((n & (n - 1)) != 0)
                n &= n - 1;
            while (Chunk_ % n != 0)
                n /= 2;
            if (n == 1) {
                std::uint8_t cv[32];
                HashMany({p, ChunkBytes, 1, 16, Chunk_, true, 0, ChunkStart, ChunkEnd, cv});
                PushSubtree(cv, 1);
            } else {
                std::uint8_t halves[64];
                HashSubtreeHalves(p, n, Chunk_, halves);
                PushSubtree(halves, n / 2);
                PushSubtree(halves + 32, n / 2);
            }
            p += n * ChunkBytes;
            size -= n * ChunkBytes;
            continue;
        }
        const std::size_t take = std::min(size, BlockBytes - BlockLen_);
        std::memcpy(Block_ + BlockLen_, p, take);
        BlockLen_ += take;
        p += take;
        size -= take;
    }
}

void Blake3::Final(std::uint8_t out[DigestBytes]) {
    if (Depth_ == 0) {
        CompressBufferedBlock(ChunkEnd | Root);
        for (int w = 0; w < 8; ++w)
            StoreLe32(out + 4 * w, Cv_[w]);
        return;
    }
    // The right edge of the tree, bottom up: the chunk being read when it holds any input, else the
    // newest subtree (there are two at least then), each joined with the subtree left of it.
    std::uint8_t node[64];
    if (BlocksDone_ > 0 || BlockLen_ > 0) {
        JoinCompletePairs();
        CompressBufferedBlock(ChunkEnd);
        for (int w = 0; w < 8; ++w)
            StoreLe32(node + 32 + 4 * w, Cv_[w]);
    } else {
        std::memcpy(node + 32, Stack_[--Depth_], 32);
    }
    while (Depth_ > 0) {
        std::memcpy(node, Stack_[--Depth_], 32);
        std::uint32_t parent[8];
        std::memcpy(parent, Iv, sizeof parent);
        Compress(parent, node, 64, 0, Depth_ == 0 ? Parent | Root : Parent);
        for (int w = 0; w < 8; ++w)
            StoreLe32(node + 32 + 4 * w, parent[w]);
    }
    std::memcpy(out, node + 32, DigestBytes);
}

void Blake3::SubtreeHalves(const void* data, std::uint64_t offset, std::uint8_t halves[64]) {
    static_assert(SubtreeBytes / ChunkBytes == MaxBatch);
    HashSubtreeHalves(static_cast<const std::uint8_t*>(data), MaxBatch, offset / ChunkBytes, halves);
}

void Blake3::AppendSubtree(const std::uint8_t halves[64]) {
    // The last block of a whole chunk waits for more input: more follows now.
    if (BlockLen_ == BlockBytes && BlocksDone_ + 1 == ChunkBytes / BlockBytes) FinishChunk();
    PushSubtree(halves, MaxBatch / 2);
    PushSubtree(halves + 32, MaxBatch / 2);
}

const char* Blake3::KernelName() {
    return Blake3KernelName(ActiveBlake3Kernel()).data();
}

} // namespace tv
