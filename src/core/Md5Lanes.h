#pragma once
// MD5 of several messages of the same length at once. MD5 is one long chain of dependent steps, so one
// message cannot use a vector unit; several can, one message a lane: AVX2 hashes 8 side by side, AVX-512
// 16. Recovery sets hash every slice of their files, all of one length, and gain the most from it.
//
// The kernels (portable, one message after another; avx2; avx512) all compute plain MD5. The fastest one
// the processor supports is chosen on first use; the environment variable TALLYVAULT_MD5_KERNEL (portable,
// avx2, avx512) forces one when it is available, and SetMd5LanesKernel forces one from a test.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace tv {

enum class Md5LanesKernel { Portable, Avx2, Avx512 };

inline constexpr Md5LanesKernel AllMd5LanesKernels[] = {Md5LanesKernel::Portable, Md5LanesKernel::Avx2,
                                                        Md5LanesKernel::Avx512};

std::string_view Md5LanesKernelName(Md5LanesKernel k);
bool Md5LanesKernelAvailable(Md5LanesKernel k);
Md5LanesKernel ActiveMd5LanesKernel();
bool SetMd5LanesKernel(Md5LanesKernel k);

using Md5Digest = std::array<std::uint8_t, 16>;
using Md5State = std::array<std::uint32_t, 4>;

// out[i] = MD5 of the `bytes` bytes at data[i], for i < count, with the kernel in use (with the portable one,
// one message at a time with the hashing library's MD5).
void Md5Many(const unsigned char* const* data, std::size_t count, std::size_t bytes, Md5Digest* out);
// The same with one kernel; `k` must be available.
void Md5ManyWith(Md5LanesKernel k, const unsigned char* const* data, std::size_t count, std::size_t bytes,
                 Md5Digest* out);

// Messages that arrive in pieces, hashed side by side as they come: each stream holds one message at a
// time, its pieces and its end given in order. The pieces are read only within Run. Worth it only with a
// wide kernel in use: alone, a message is hashed faster by the hashing library.
class Md5Streams {
public:
    struct Piece {
        const unsigned char* Data = nullptr;
        std::size_t Bytes = 0;
        Md5Digest* End = nullptr; // not null: the message ends here (after Data), its digest goes there
    };
    explicit Md5Streams(std::size_t streams);

    // Runs the pieces of each stream (pieces[i] for stream i, at most Streams() of them) in order, the
    // streams side by side; the next call goes on where this one ended.
    void Run(const std::vector<Piece>* pieces, std::size_t streams);
    std::size_t Streams() const { return lanes_.size(); }

private:
    struct Lane {
        Md5State State;
        unsigned char Pending[64];
        std::size_t PendingBytes = 0;
        std::uint64_t Total = 0;
    };
    std::vector<Lane> lanes_;
};

// The kernels: each runs `blocks` 64-byte blocks of every lane (`lanes` of them, data[i] the blocks of lane
// i) through the compression function, states[i] holding lane i's four words. The wide ones exist only in
// builds for x86-64 and must only be called when the processor has the instructions.
void Md5BlocksPortable(Md5State* states, const unsigned char* const* data, std::size_t lanes, std::size_t blocks);
void Md5BlocksAvx2(Md5State* states, const unsigned char* const* data, std::size_t lanes, std::size_t blocks);
void Md5BlocksAvx512(Md5State* states, const unsigned char* const* data, std::size_t lanes, std::size_t blocks);

namespace md5 {

// The sine constants of the 64 steps, the rotations, and which message word each step takes.
inline constexpr std::uint32_t Sines[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
inline constexpr int Rotations[4][4] = {{7, 12, 17, 22}, {5, 9, 14, 20}, {4, 11, 16, 23}, {6, 10, 15, 21}};
inline constexpr Md5State Initial = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476};

constexpr int WordOf(int step) {
    const int i = step % 16;
    switch (step / 16) {
    case 0: return i;
    case 1: return (5 * i + 1) % 16;
    case 2: return (3 * i + 5) % 16;
    default: return (7 * i) % 16;
    }
}

} // namespace md5

} // namespace tv
