// The key's text and hex forms and the choice of algorithm by hex length.
#include "core/ContentKey.h"

#include <gtest/gtest.h>

#include <string>

namespace tv {
namespace {

TEST(ContentKey, AlgorithmOfHexLength) {
    struct Case {
        std::size_t digits;
        std::optional<HashAlgorithm> algorithm;
    };
    for (const Case c :
         {Case{32, HashAlgorithm::Md5}, Case{40, HashAlgorithm::Sha1}, Case{56, HashAlgorithm::Sha224},
          Case{64, HashAlgorithm::Sha256}, Case{96, HashAlgorithm::Sha384}, Case{128, HashAlgorithm::Sha512},
          Case{8, std::nullopt}, Case{0, std::nullopt}, Case{31, std::nullopt}, Case{33, std::nullopt},
          Case{65, std::nullopt}, Case{256, std::nullopt}})
        EXPECT_EQ(AlgorithmOfHexLength(c.digits), c.algorithm) << c.digits;
}

TEST(ContentKey, HexReadAndShownInTheToolsCase) {
    const std::optional<ContentKey> md5 = KeyFromHex(HashAlgorithm::Md5, "D41D8cd98f00B204e9800998ecf8427E");
    ASSERT_TRUE(md5);
    EXPECT_EQ(KeyText(*md5), "d41d8cd98f00b204e9800998ecf8427e");
    EXPECT_EQ(md5->Prefix(), 0xD41D8CD9u);
    const std::optional<ContentKey> crc = KeyFromHex(HashAlgorithm::Crc32, "cbf43926");
    ASSERT_TRUE(crc);
    EXPECT_EQ(KeyText(*crc), "CBF43926");
    EXPECT_EQ(*crc, ContentKey::OfCrc(0xCBF43926u));
    EXPECT_EQ(crc->Prefix(), 0xCBF43926u);

    const std::string sha512(128, 'f');
    EXPECT_EQ(KeyText(*KeyFromHex(HashAlgorithm::Sha512, sha512)), sha512);
    for (const char* bad : {"", "d41d8cd98f00b204e9800998ecf8427", "d41d8cd98f00b204e9800998ecf8427e0",
                            "g41d8cd98f00b204e9800998ecf8427e", "d41d8cd98f00b204e9800998ecf8427 ",
                            "0xd41d8cd98f00b204e9800998ecf842", "+41d8cd98f00b204e9800998ecf8427e"})
        EXPECT_FALSE(KeyFromHex(HashAlgorithm::Md5, bad)) << "'" << bad << "'";
    EXPECT_FALSE(KeyFromHex(HashAlgorithm::Sha1, "d41d8cd98f00b204e9800998ecf8427e")) << "another algorithm's length";
}

TEST(ContentKey, EqualityNeedsTheSameAlgorithmAndEveryByte) {
    const ContentKey a = *KeyFromHex(HashAlgorithm::Sha256, std::string(64, '0'));
    ContentKey b = a;
    b.Bytes[31] = 1;
    EXPECT_NE(a, b) << "the last byte counts";
    ContentKey c = *KeyFromHex(HashAlgorithm::Sha1, std::string(40, '0'));
    EXPECT_NE(a, c) << "same bytes, other algorithm";
    c = ContentKey::OfCrc(0);
    EXPECT_NE(c, *KeyFromHex(HashAlgorithm::Md5, std::string(32, '0')));
}

} // namespace
} // namespace tv
