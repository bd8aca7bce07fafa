// Our own SHA-224 (for the platform whose service lacks it): the published vectors, and every length
// around the padding's edges against the platform's digest of the same bytes.
#include "core/Sha224.h"
#include "platform/Hashing.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace tv {
namespace {

std::string Own(const std::string& s, std::size_t piece) {
    Sha224 sha;
    for (std::size_t at = 0; at < s.size(); at += piece)
        sha.Update(s.data() + at, std::min(piece, s.size() - at));
    return KeyText(ContentKey::Of(HashAlgorithm::Sha224, sha.Final().data()));
}

TEST(Sha224, PublishedVectorsAndThePaddingEdges) {
    struct Vector {
        std::string input;
        const char* hex;
    };
    const Vector vectors[] = {
        {"", "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f"},
        {"abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
        {std::string(1000000, 'a'), "20794655980c91d8bbb4c1ea97618a4bf03f42581948b2ee4ee7ad67"},
    };
    for (const Vector& v : vectors) {
        EXPECT_EQ(Own(v.input, v.input.size() + 1), v.hex) << v.input.size() << " bytes whole";
        EXPECT_EQ(Own(v.input, 61), v.hex) << v.input.size() << " bytes in pieces";
    }
    const std::string bytes = test::RandomBytes(200, 7);
    for (std::size_t n = 0; n <= bytes.size(); ++n) {
        const std::string s = bytes.substr(0, n);
        EXPECT_EQ(Own(s, 7), KeyText(DigestOf(HashAlgorithm::Sha224, s.data(), s.size()))) << n << " bytes";
    }
}

} // namespace
} // namespace tv
