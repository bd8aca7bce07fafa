#include "core/Md5Lanes.h"

#include "core/KernelChoice.h"

#include <cstring>
#include <vector>

namespace tv {

namespace {

constexpr std::uint32_t Rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

void Compress(Md5State& state, const unsigned char* block) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = Le32(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    for (int i = 0; i < 64; ++i) {
        std::uint32_t f;
        switch (i / 16) {
        case 0: f = d ^ (b & (c ^ d)); break;
        case 1: f = c ^ (d & (b ^ c)); break;
        case 2: f = b ^ c ^ d; break;
        default: f = c ^ (b | ~d); break;
        }
        const std::uint32_t next = b + Rotl(a + f + m[md5::WordOf(i)] + md5::Sines[i], md5::Rotations[i / 16][i % 4]);
        a = d;
        d = c;
        c = b;
        b = next;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
}

using BlocksFn = void (*)(Md5State*, const unsigned char* const*, std::size_t, std::size_t);
using KernelInfo = KernelEntry<Md5LanesKernel, BlocksFn>;

constexpr KernelInfo Kernels[] = {
    {Md5LanesKernel::Portable, "portable", Md5BlocksPortable},
#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
    {Md5LanesKernel::Avx2, "avx2", Md5BlocksAvx2},
    {Md5LanesKernel::Avx512, "avx512", Md5BlocksAvx512},
#else
    {Md5LanesKernel::Avx2, "avx2", nullptr},
    {Md5LanesKernel::Avx512, "avx512", nullptr},
#endif
};

std::string_view ProcessorLacks(Md5LanesKernel k) {
    switch (k) {
    case Md5LanesKernel::Portable: return {};
#if (defined(__x86_64__) || defined(_M_X64)) && defined(__GNUC__)
    case Md5LanesKernel::Avx2:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx2")) return "the processor lacks AVX2";
        return {};
    case Md5LanesKernel::Avx512:
        __builtin_cpu_init();
        if (!__builtin_cpu_supports("avx512f")) return "the processor lacks AVX-512";
        return {};
#endif
    default: return "this build is not for that processor architecture";
    }
}

constexpr Md5LanesKernel Preference[] = {Md5LanesKernel::Avx512, Md5LanesKernel::Avx2};

constexpr KernelTable<Md5LanesKernel, BlocksFn> Table{Kernels, Preference, Md5LanesKernel::Portable, ProcessorLacks,
                                                      "TALLYVAULT_MD5_KERNEL"};

void Many(BlocksFn blocks, const unsigned char* const* data, std::size_t count, std::size_t bytes, Md5Digest* out) {
    if (count == 0) return;
    std::vector<Md5State> states(count, md5::Initial);
    const std::size_t whole = bytes / 64;
    if (whole > 0) blocks(states.data(), data, count, whole);
    // The rest of each message, the 0x80 that ends it, zeros and its length in bits make one or two more
    // blocks, laid out alike for every lane.
    const std::size_t rest = bytes % 64;
    const std::size_t tailBlocks = rest < 56 ? 1 : 2;
    std::vector<unsigned char> tails(count * tailBlocks * 64, 0);
    std::vector<const unsigned char*> at(count);
    const std::uint64_t bits = static_cast<std::uint64_t>(bytes) * 8;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned char* t = tails.data() + i * tailBlocks * 64;
        if (rest > 0) std::memcpy(t, data[i] + whole * 64, rest);
        t[rest] = 0x80;
        for (int b = 0; b < 8; ++b)
            t[tailBlocks * 64 - 8 + static_cast<std::size_t>(b)] = static_cast<unsigned char>(bits >> (8 * b));
        at[i] = t;
    }
    blocks(states.data(), at.data(), count, tailBlocks);
    for (std::size_t i = 0; i < count; ++i)
        for (int w = 0; w < 4; ++w)
            for (int b = 0; b < 4; ++b)
                out[i][static_cast<std::size_t>(4 * w + b)] = static_cast<std::uint8_t>(states[i][static_cast<std::size_t>(w)] >> (8 * b));
}

} // namespace

void Md5BlocksPortable(Md5State* states, const unsigned char* const* data, std::size_t lanes, std::size_t blocks) {
    for (std::size_t i = 0; i < lanes; ++i)
        for (std::size_t k = 0; k < blocks; ++k)
            Compress(states[i], data[i] + 64 * k);
}

std::string_view Md5LanesKernelName(Md5LanesKernel k) { return Table.Info(k).Name; }
bool Md5LanesKernelAvailable(Md5LanesKernel k) { return Table.Available(k); }
Md5LanesKernel ActiveMd5LanesKernel() { return ActiveKernelOf(Table).Kernel.load(std::memory_order_relaxed); }
bool SetMd5LanesKernel(Md5LanesKernel k) { return ActiveKernelOf(Table).Set(Table, k); }

void Md5Many(const unsigned char* const* data, std::size_t count, std::size_t bytes, Md5Digest* out) {
    Many(ActiveKernelOf(Table).Fn.load(std::memory_order_relaxed), data, count, bytes, out);
}

void Md5ManyWith(Md5LanesKernel k, const unsigned char* const* data, std::size_t count, std::size_t bytes,
                 Md5Digest* out) {
    Many(Table.Info(k).Fn, data, count, bytes, out);
}

} // namespace tv
