// Every MD5 lane kernel against the one-message digest, over lane counts that fill, split and leave over
// the vector widths and over lengths on each side of the block and padding boundaries.
#include "core/Md5Lanes.h"
#include "platform/Hashing.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace tv {
namespace {

TEST(Md5Lanes, EveryKernelGivesEachMessagesOwnDigest) {
    const std::size_t counts[] = {1, 3, 8, 9, 16, 17, 40};
    const std::size_t lengths[] = {0, 1, 55, 56, 63, 64, 65, 119, 120, 128, 1000, 4099};
    std::mt19937 rng(11);
    std::vector<unsigned char> pool(40 * 4099 + 7);
    for (unsigned char& b : pool)
        b = static_cast<unsigned char>(rng());
    int kernels = 0;
    for (Md5LanesKernel k : AllMd5LanesKernels) {
        if (!Md5LanesKernelAvailable(k)) continue;
        ++kernels;
        for (std::size_t count : counts) {
            for (std::size_t bytes : lengths) {
                // Messages at odd offsets, overlapping one another, each different.
                std::vector<const unsigned char*> data(count);
                for (std::size_t i = 0; i < count; ++i)
                    data[i] = pool.data() + 1 + i * (bytes / 2 + 3);
                std::vector<Md5Digest> out(count);
                Md5ManyWith(k, data.data(), count, bytes, out.data());
                for (std::size_t i = 0; i < count; ++i) {
                    const ContentKey want = DigestOf(HashAlgorithm::Md5, data[i], bytes);
                    ASSERT_EQ(std::memcmp(out[i].data(), want.Bytes.data(), 16), 0)
                        << Md5LanesKernelName(k) << ": message " << i << " of " << count << ", " << bytes << " bytes";
                }
            }
        }
    }
    EXPECT_GE(kernels, 1);
}

// Streams fed in pieces of random lengths over several runs, each holding several messages one after
// another, some of them empty: every message's digest is its plain MD5, with each kernel in use.
TEST(Md5Lanes, StreamsFedInPiecesGiveEachMessagesDigest) {
    std::mt19937 rng(5);
    std::vector<unsigned char> pool(1 << 20);
    for (unsigned char& b : pool)
        b = static_cast<unsigned char>(rng());
    const Md5LanesKernel before = ActiveMd5LanesKernel();
    for (Md5LanesKernel k : AllMd5LanesKernels) {
        if (!SetMd5LanesKernel(k)) continue;
        for (const std::size_t streams : {1u, 5u, 16u, 19u}) {
            Md5Streams hasher(streams);
            // Per stream: its messages as (offset in the pool, length), fed from the pool in order.
            struct Message {
                std::size_t From = 0, Bytes = 0;
                Md5Digest Got{};
            };
            std::vector<std::vector<Message>> messages(streams);
            for (auto& list : messages)
                for (int m = 0; m < 3; ++m) {
                    const std::size_t bytes = rng() % 4 == 0 ? rng() % 130 : rng() % 30000;
                    list.push_back({rng() % (pool.size() - bytes), bytes, {}});
                }
            // Where each stream is: its message and the bytes of it given so far.
            std::vector<std::size_t> message(streams), given(streams);
            for (bool more = true; more;) {
                more = false;
                std::vector<std::vector<Md5Streams::Piece>> pieces(streams);
                for (std::size_t i = 0; i < streams; ++i) {
                    for (int n = static_cast<int>(rng() % 4); n > 0 && message[i] < messages[i].size(); --n) {
                        Message& m = messages[i][message[i]];
                        const std::size_t bytes = std::min<std::size_t>(m.Bytes - given[i], rng() % 5000);
                        const bool last = given[i] + bytes == m.Bytes;
                        pieces[i].push_back({pool.data() + m.From + given[i], bytes, last ? &m.Got : nullptr});
                        given[i] += bytes;
                        if (last) {
                            ++message[i];
                            given[i] = 0;
                        }
                    }
                    more = more || message[i] < messages[i].size();
                }
                hasher.Run(pieces.data(), streams);
            }
            for (std::size_t i = 0; i < streams; ++i)
                for (const Message& m : messages[i]) {
                    const ContentKey want = DigestOf(HashAlgorithm::Md5, pool.data() + m.From, m.Bytes);
                    EXPECT_EQ(std::memcmp(m.Got.data(), want.Bytes.data(), 16), 0)
                        << Md5LanesKernelName(k) << ": stream " << i << " of " << streams << ", " << m.Bytes << " bytes";
                }
        }
    }
    EXPECT_TRUE(SetMd5LanesKernel(before));
}

TEST(Md5Lanes, KernelInUseCanBeForcedAndRestored) {
    const Md5LanesKernel before = ActiveMd5LanesKernel();
    EXPECT_TRUE(SetMd5LanesKernel(Md5LanesKernel::Portable));
    EXPECT_EQ(ActiveMd5LanesKernel(), Md5LanesKernel::Portable);
    const unsigned char abc[] = {'a', 'b', 'c'};
    const unsigned char* data[] = {abc};
    Md5Digest out[1];
    Md5Many(data, 1, 3, out);
    const std::uint8_t want[16] = {0x90, 0x01, 0x50, 0x98, 0x3c, 0xd2, 0x4f, 0xb0,
                                   0xd6, 0x96, 0x3f, 0x7d, 0x28, 0xe1, 0x7f, 0x72};
    EXPECT_EQ(std::memcmp(out[0].data(), want, 16), 0);
    for (Md5LanesKernel k : AllMd5LanesKernels)
        EXPECT_EQ(SetMd5LanesKernel(k), Md5LanesKernelAvailable(k)) << Md5LanesKernelName(k);
    EXPECT_TRUE(SetMd5LanesKernel(before));
}

} // namespace
} // namespace tv
