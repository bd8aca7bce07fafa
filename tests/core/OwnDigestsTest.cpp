// Our own digests (for the platform whose service lacks them): the published vectors, and every length
// around the block edges against the platform's digest of the same bytes, given whole and in pieces.
#include "core/Blake2b.h"
#include "core/Sha224.h"
#include "platform/Hashing.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace tv {
namespace {

template <class Hash, HashAlgorithm A> std::string Own(const std::string& s, std::size_t piece) {
    Hash hash;
    for (std::size_t at = 0; at < s.size(); at += piece)
        hash.Update(s.data() + at, std::min(piece, s.size() - at));
    return KeyText(ContentKey::Of(A, hash.Final().data()));
}

struct Vector {
    std::string input;
    const char* hex;
};

template <class Hash, HashAlgorithm A> void CheckOwn(const std::vector<Vector>& vectors, std::size_t upTo) {
    for (const Vector& v : vectors) {
        EXPECT_EQ((Own<Hash, A>(v.input, v.input.size() + 1)), v.hex) << v.input.size() << " bytes whole";
        EXPECT_EQ((Own<Hash, A>(v.input, 61)), v.hex) << v.input.size() << " bytes in pieces";
    }
    const std::string bytes = test::RandomBytes(upTo, 7);
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        const std::string s = bytes.substr(0, n);
        const std::string platform = KeyText(DigestOf(A, s.data(), s.size()));
        EXPECT_EQ((Own<Hash, A>(s, 7)), platform) << n << " bytes";
        EXPECT_EQ((Own<Hash, A>(s, 128)), platform) << n << " bytes, block by block";
        EXPECT_EQ((Own<Hash, A>(s, 1 + n % 131)), platform) << n << " bytes, uneven pieces";
    }
}

TEST(OwnDigests, Sha224) {
    CheckOwn<Sha224, HashAlgorithm::Sha224>(
        {
            {"", "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f"},
            {"abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
            {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
             "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
            {std::string(1000000, 'a'), "20794655980c91d8bbb4c1ea97618a4bf03f42581948b2ee4ee7ad67"},
        },
        200);
}

// RFC 7693's example; the platform's vectors (tests/platform) reach this code where it serves.
TEST(OwnDigests, Blake2b) {
    CheckOwn<Blake2b, HashAlgorithm::Blake2b512>(
        {
            {"abc", "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de4533cc9518"
                    "d38aa8dbf1925ab92386edd4009923"},
        },
        300);
}

} // namespace
} // namespace tv
