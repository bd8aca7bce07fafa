#pragma once
// The BLAKE3 compression function and the kernels that run it over many inputs at once, and the choice
// between them. Every kernel gives exactly the portable result; they differ only in speed. The fastest
// one the processor supports is chosen on first use; the environment variable TALLYVAULT_BLAKE3_KERNEL
// (portable, sse41, avx2, avx512, neon) forces one when it is available, and SetBlake3Kernel forces one
// from a test.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace tv {

namespace blake3 {

inline constexpr std::uint32_t Iv[8] = {0x6A09E667u, 0xBB67AE85u, 0x3C6EF372u, 0xA54FF53Au,
                                        0x510E527Fu, 0x9B05688Cu, 0x1F83D9ABu, 0x5BE0CD19u};

// Domain flags of a compression.
inline constexpr std::uint32_t ChunkStart = 1, ChunkEnd = 2, Parent = 4, Root = 8;

// The message word order of each of the seven rounds: the first takes the words in order, each later
// one permutes the order of the one before.
struct Schedule {
    std::uint8_t Words[7][16];
};
constexpr Schedule MakeSchedule() {
    constexpr std::uint8_t permutation[16] = {2, 6, 3, 10, 7, 0, 4, 13, 1, 11, 12, 5, 9, 14, 15, 8};
    Schedule s{};
    for (std::uint8_t i = 0; i < 16; ++i)
        s.Words[0][i] = i;
    for (int r = 1; r < 7; ++r)
        for (int i = 0; i < 16; ++i)
            s.Words[r][i] = s.Words[r - 1][permutation[i]];
    return s;
}
inline constexpr Schedule Sigma = MakeSchedule();

inline std::uint32_t LoadLe32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline void StoreLe32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One compression of a 64-byte block (`len` of its bytes used, the rest zero) into the chaining value
// `cv`, which it replaces by the first half of the output.
void Compress(std::uint32_t cv[8], const std::uint8_t block[64], std::uint32_t len, std::uint64_t counter,
              std::uint32_t flags);

// `Count` inputs, `Stride` bytes apart, each of `Blocks` whole blocks, hashed from the IV: input i has the
// counter Counter + i (CountUp: chunks) or Counter (parents); its first block gets StartFlags, its last
// EndFlags, every block Flags. Input i's chaining value goes to Out + 32 i as little-endian words.
struct Many {
    const std::uint8_t* Input;
    std::size_t Stride;
    std::size_t Count;
    std::size_t Blocks;
    std::uint64_t Counter;
    bool CountUp;
    std::uint32_t Flags, StartFlags, EndFlags;
    std::uint8_t* Out;

    // The same job without its first `n` inputs.
    Many After(std::size_t n) const {
        Many rest = *this;
        rest.Input += n * Stride;
        rest.Count -= n;
        if (CountUp) rest.Counter += n;
        rest.Out += 32 * n;
        return rest;
    }
};

// The kernels; the wide ones exist only in builds for their architecture and must only be called when
// the processor has the instructions. Each hands a rest narrower than its width on to a narrower one.
void HashManyPortable(const Many& job);
void HashManySse41(const Many& job);
void HashManyAvx2(const Many& job);
void HashManyAvx512(const Many& job);
void HashManyNeon(const Many& job);

// The active kernel's HashMany.
void HashMany(const Many& job);

} // namespace blake3

enum class Blake3Kernel { Portable, Sse41, Avx2, Avx512, Neon };

inline constexpr Blake3Kernel AllBlake3Kernels[] = {Blake3Kernel::Portable, Blake3Kernel::Sse41, Blake3Kernel::Avx2,
                                                    Blake3Kernel::Avx512, Blake3Kernel::Neon};

// The name used by TALLYVAULT_BLAKE3_KERNEL, e.g. "avx2".
std::string_view Blake3KernelName(Blake3Kernel k);
std::optional<Blake3Kernel> Blake3KernelByName(std::string_view name);
// Whether this build and this processor can run the kernel, and why not (empty when it can).
bool Blake3KernelAvailable(Blake3Kernel k);
std::string_view Blake3KernelMissing(Blake3Kernel k);

Blake3Kernel ActiveBlake3Kernel();
// Makes every hasher use `k`; returns false (and changes nothing) when `k` is not available.
bool SetBlake3Kernel(Blake3Kernel k);
Blake3Kernel BestBlake3Kernel();
// The kernel chosen at start for a value of TALLYVAULT_BLAKE3_KERNEL (null when unset): the named one when
// it is available, else the fastest.
Blake3Kernel ChooseBlake3Kernel(const char* forced);

} // namespace tv
