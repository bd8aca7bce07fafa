#include "core/Md5Lanes.h"

#include "core/KernelChoice.h"
#include "platform/Hashing.h"

#include <cstring>
#include <utility>
#include <vector>

namespace tv {

namespace {

constexpr std::uint32_t Rotl(std::uint32_t x, int s) { return (x << s) | (x >> (32 - s)); }

std::uint32_t Le32(const unsigned char* p) {
    return std::uint32_t{p[0]} | std::uint32_t{p[1]} << 8 | std::uint32_t{p[2]} << 16 | std::uint32_t{p[3]} << 24;
}

// One step: x0 = x1 + rotl(x0 + f(x1, x2, x3) + word + sine, r), unrolled by the compiler into the chain.
template <int I> inline void Step(std::uint32_t& x0, std::uint32_t x1, std::uint32_t x2, std::uint32_t x3, const std::uint32_t* m) {
    // The sum of what does not wait for x1 (the step before's result) comes first.
    const std::uint32_t early = x0 + m[md5::WordOf(I)] + md5::Sines[I];
    std::uint32_t f;
    if constexpr (I < 16) {
        f = x3 ^ (x1 & (x2 ^ x3));
    } else if constexpr (I < 32) {
        // (x1 & x3) | (x2 & ~x3): the two halves have no bit in common, so they may be added, and the
        // second one does not wait for x1.
        f = (x2 & ~x3) + (x1 & x3);
    } else if constexpr (I < 48) {
        f = x1 ^ (x2 ^ x3);
    } else {
        f = x2 ^ (x1 | ~x3);
    }
    x0 = x1 + Rotl(early + f, md5::Rotations[I / 16][I % 4]);
}

template <int... I> inline void Steps(std::uint32_t& a, std::uint32_t& b, std::uint32_t& c, std::uint32_t& d,
                                      const std::uint32_t* m, std::integer_sequence<int, I...>) {
    // Four steps at a time, the roles of the words turning: a, then d, c and b take the new value.
    ((Step<4 * I>(a, b, c, d, m), Step<4 * I + 1>(d, a, b, c, m), Step<4 * I + 2>(c, d, a, b, m),
      Step<4 * I + 3>(b, c, d, a, m)),
     ...);
}

void Compress(Md5State& state, const unsigned char* block) {
    std::uint32_t m[16];
    for (int i = 0; i < 16; ++i)
        m[i] = Le32(block + 4 * i);
    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3];
    Steps(a, b, c, d, m, std::make_integer_sequence<int, 16>{});
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

void Digest(const Md5State& state, Md5Digest& out) {
    for (std::size_t w = 0; w < 4; ++w)
        for (std::size_t b = 0; b < 4; ++b)
            out[4 * w + b] = static_cast<std::uint8_t>(state[w] >> (8 * b));
}

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
        Digest(states[i], out[i]);
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
    const ActiveKernel<Md5LanesKernel, BlocksFn>& active = ActiveKernelOf(Table);
    if (active.Kernel.load(std::memory_order_relaxed) == Md5LanesKernel::Portable) {
        // Without lanes, the library's one-message digest is the faster.
        for (std::size_t i = 0; i < count; ++i) {
            const ContentKey k = DigestOf(HashAlgorithm::Md5, data[i], bytes);
            std::memcpy(out[i].data(), k.Bytes.data(), out[i].size());
        }
        return;
    }
    Many(active.Fn.load(std::memory_order_relaxed), data, count, bytes, out);
}

void Md5ManyWith(Md5LanesKernel k, const unsigned char* const* data, std::size_t count, std::size_t bytes,
                 Md5Digest* out) {
    Many(Table.Info(k).Fn, data, count, bytes, out);
}

Md5Streams::Md5Streams(std::size_t streams) : lanes_(streams) {
    for (Lane& l : lanes_)
        l.State = md5::Initial;
}

void Md5Streams::Run(const std::vector<Piece>* pieces, std::size_t streams) {
    const BlocksFn kernel = ActiveKernelOf(Table).Fn.load(std::memory_order_relaxed);
    struct Cursor {
        std::size_t Piece = 0, Offset = 0;
    };
    std::vector<Cursor> at(streams);
    std::vector<Md5State> states;
    std::vector<const unsigned char*> from;
    std::vector<std::size_t> ready, blocks;
    for (;;) {
        // Each stream's next whole blocks: straight from its piece, or one gathered from the ends of
        // pieces; ends met on the way close their messages.
        ready.clear();
        blocks.clear();
        from.clear();
        for (std::size_t i = 0; i < streams; ++i) {
            Lane& l = lanes_[i];
            Cursor& c = at[i];
            const std::vector<Piece>& list = pieces[i];
            while (c.Piece < list.size()) {
                const Piece& p = list[c.Piece];
                const std::size_t left = p.Bytes - c.Offset;
                if (l.PendingBytes == 0 && left >= 64) {
                    ready.push_back(i);
                    blocks.push_back(left / 64);
                    from.push_back(p.Data + c.Offset);
                    break;
                }
                const std::size_t take = std::min(left, 64 - l.PendingBytes);
                if (take > 0) std::memcpy(l.Pending + l.PendingBytes, p.Data + c.Offset, take);
                l.PendingBytes += take;
                c.Offset += take;
                l.Total += take;
                if (l.PendingBytes == 64) {
                    ready.push_back(i);
                    blocks.push_back(0); // the gathered block
                    from.push_back(l.Pending);
                    break;
                }
                if (p.End != nullptr) {
                    // The 0x80 that ends the message, zeros and its length in bits.
                    const std::uint64_t bits = l.Total * 8;
                    unsigned char tail[128] = {};
                    std::memcpy(tail, l.Pending, l.PendingBytes);
                    tail[l.PendingBytes] = 0x80;
                    const std::size_t tailBlocks = l.PendingBytes < 56 ? 1 : 2;
                    for (std::size_t b = 0; b < 8; ++b)
                        tail[tailBlocks * 64 - 8 + b] = static_cast<unsigned char>(bits >> (8 * b));
                    const unsigned char* t = tail;
                    Md5BlocksPortable(&l.State, &t, 1, tailBlocks);
                    Digest(l.State, *p.End);
                    l.State = md5::Initial;
                    l.PendingBytes = 0;
                    l.Total = 0;
                }
                ++c.Piece;
                c.Offset = 0;
            }
        }
        if (ready.empty()) return;
        // As many blocks as every ready stream has at hand; one alone runs on the one-message kernel.
        std::size_t run = SIZE_MAX;
        for (std::size_t b : blocks)
            run = std::min(run, std::max<std::size_t>(b, 1));
        states.resize(ready.size());
        for (std::size_t k = 0; k < ready.size(); ++k)
            states[k] = lanes_[ready[k]].State;
        (ready.size() == 1 ? Md5BlocksPortable : kernel)(states.data(), from.data(), ready.size(), run);
        for (std::size_t k = 0; k < ready.size(); ++k) {
            Lane& l = lanes_[ready[k]];
            l.State = states[k];
            if (blocks[k] == 0) {
                l.PendingBytes = 0;
            } else {
                at[ready[k]].Offset += run * 64;
                l.Total += run * 64;
            }
        }
    }
}

} // namespace tv
