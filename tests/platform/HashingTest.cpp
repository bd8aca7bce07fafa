// Every digest against its published test vectors, fed whole and in odd-sized pieces, on each
// platform's own implementation.
#include "platform/Hashing.h"
#include "platform/Errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace tv {
namespace {

const std::string Abc = "abc";
const std::string Bits448 = "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq";
const std::string MillionA(1000000, 'a');

struct Vector {
    HashAlgorithm Algorithm;
    const std::string* Input; // null: the empty message
    const char* Hex;
};

const Vector Vectors[] = {
    {HashAlgorithm::Md5, nullptr, "d41d8cd98f00b204e9800998ecf8427e"},
    {HashAlgorithm::Md5, &Abc, "900150983cd24fb0d6963f7d28e17f72"},
    {HashAlgorithm::Md5, &Bits448, "8215ef0796a20bcaaae116d3876c664a"},
    {HashAlgorithm::Md5, &MillionA, "7707d6ae4e027c70eea2a935c2296f21"},
    {HashAlgorithm::Sha1, nullptr, "da39a3ee5e6b4b0d3255bfef95601890afd80709"},
    {HashAlgorithm::Sha1, &Abc, "a9993e364706816aba3e25717850c26c9cd0d89d"},
    {HashAlgorithm::Sha1, &Bits448, "84983e441c3bd26ebaae4aa1f95129e5e54670f1"},
    {HashAlgorithm::Sha1, &MillionA, "34aa973cd4c4daa4f61eeb2bdbad27316534016f"},
    {HashAlgorithm::Sha224, nullptr, "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f"},
    {HashAlgorithm::Sha224, &Abc, "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
    {HashAlgorithm::Sha224, &Bits448, "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
    {HashAlgorithm::Sha224, &MillionA, "20794655980c91d8bbb4c1ea97618a4bf03f42581948b2ee4ee7ad67"},
    {HashAlgorithm::Sha256, nullptr, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {HashAlgorithm::Sha256, &Abc, "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {HashAlgorithm::Sha256, &Bits448, "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {HashAlgorithm::Sha256, &MillionA, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    {HashAlgorithm::Sha384, nullptr,
     "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b"},
    {HashAlgorithm::Sha384, &Abc,
     "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
    {HashAlgorithm::Sha384, &Bits448,
     "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1fe3c8452b"},
    {HashAlgorithm::Sha384, &MillionA,
     "9d0e1809716474cb086e834e310a4a1ced149e9c00f248527972cec5704c2a5b07b8b3dc38ecc4ebae97ddd87f3d8985"},
    {HashAlgorithm::Sha512, nullptr,
     "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81"
     "a538327af927da3e"},
    {HashAlgorithm::Sha512, &Abc,
     "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e"
     "2a9ac94fa54ca49f"},
    {HashAlgorithm::Sha512, &Bits448,
     "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd703"
     "54ec631238ca3445"},
    {HashAlgorithm::Sha512, &MillionA,
     "e718483d0ce769644e2e42c7bc15b4638e1f98b13b2044285632a803afa973ebde0ff244877ea60a4cb0432ce577c31beb009c5c2c49aa2e"
     "4eadb217ad8cc09b"},
    {HashAlgorithm::Blake2b512, nullptr,
     "786a02f742015903c6c6fd852552d272912f4740e15847618a86e217f71f5419d25e1031afee585313896444934eb04b903a685b1448b755d5"
     "6f701afe9be2ce"},
    {HashAlgorithm::Blake2b512, &Abc,
     "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de4533cc9518d38aa8dbf1925a"
     "b92386edd4009923"},
    {HashAlgorithm::Blake2b512, &MillionA,
     "98fb3efb7206fd19ebf69b6f312cf7b64e3b94dbe1a17107913975a793f177e1d077609d7fba363cbba00d05f7aa4e4fa8715d6428104c0a"
     "75643b0ff3fd3eaf"},
    {HashAlgorithm::Blake3, nullptr, "af1349b9f5f9a1a6a0404dea36dcc9499bcb25c9adc112b7cc9a93cae41f3262"},
    {HashAlgorithm::Blake3, &Abc, "6437b3ac38465133ffb63b75273a8db548c558465d79db03fd359c6cd5bd9d85"},
    {HashAlgorithm::Blake3, &MillionA, "616f575a1b58d4c9797d4217b9730ae5e6eb319d76edef6549b46f4efe31ff8b"},
};

TEST(Hashing, PublishedVectorsWholeAndInOddPieces) {
    for (const Vector& v : Vectors) {
        const std::string input = v.Input ? *v.Input : std::string();
        const char* name = InfoOf(v.Algorithm).ColumnTitle;
        const ContentKey whole = DigestOf(v.Algorithm, input.data(), input.size());
        EXPECT_EQ(whole.Algorithm, v.Algorithm) << name;
        EXPECT_EQ(KeyText(whole), v.Hex) << name << " of " << input.size() << " bytes";

        // Pieces that straddle every block boundary of the 64- and 128-byte block algorithms, an empty
        // piece among them.
        std::unique_ptr<Digester> d = MakeDigester(v.Algorithm);
        static constexpr std::size_t Pieces[] = {1, 0, 63, 65, 127, 129, 997, 4099};
        std::size_t at = 0;
        for (std::size_t k = 0; at < input.size(); ++k) {
            const std::size_t n = std::min(Pieces[k % std::size(Pieces)], input.size() - at);
            d->Update(input.data() + at, n);
            at += n;
        }
        EXPECT_EQ(KeyText(d->Final()), v.Hex) << name << " in pieces, " << input.size() << " bytes";
    }
}

// BLAKE2b of the lengths `b2sum -l` writes, as b2sum gives them: the length is in the parameter block, so
// a shorter digest is no prefix of a longer one. Fed in pieces across the 128-byte blocks.
TEST(Hashing, Blake2bOfOtherLengths) {
    const struct {
        std::size_t Bytes;
        const std::string* Input;
        const char* Hex;
    } cases[] = {
        {1, nullptr, "2e"},
        {1, &Abc, "6b"},
        {1, &MillionA, "ef"},
        {20, nullptr, "3345524abf6bbe1809449224b5972c41790b6cf2"},
        {20, &Abc, "384264f676f39536840523f284921cdc68b6846b"},
        {20, &MillionA, "9b512a5ed7d52ddeb8d8762e4b6dd880b25ea54d"},
        {32, nullptr, "0e5751c026e543b2e8ab2eb06099daa1d1e5df47778f7787faab45cdf12fe3a8"},
        {32, &Abc, "bddd813c634239723171ef3fee98579b94964e3bb1cb3e427262c8c068d52319"},
        {32, &MillionA, "0741850f36cba4259628355d1073e24ddb9ca0e1bfac36fd39ae5dc2101e23a4"},
        {48, nullptr, "b32811423377f52d7862286ee1a72ee540524380fda1724a6f25d7978c6fd3244a6caf0498812673c5e05ef583825100"},
        {48, &Abc, "6f56a82c8e7ef526dfe182eb5212f7db9df1317e57815dbda46083fc30f54ee6c66ba83be64b302d7cba6ce15bb556f4"},
        {48, &MillionA, "92650b7746765a98701ec2077c3603127c62525c8543477c8519d6cc53ac5a9f0098ed56eb7aaf03ca50bfe046e7bba3"},
        {64, &Abc,
         "ba80a53f981c4d0d6a2797b69f12f6e94c212f14685ac4b74b12bb6fdbffa2d17d87c5392aab792dc252d5de4533cc9518d38aa8dbf1925a"
         "b92386edd4009923"},
    };
    for (const auto& c : cases) {
        const std::string input = c.Input ? *c.Input : std::string();
        std::unique_ptr<Digester> d = MakeDigester(HashAlgorithm::Blake2b512, c.Bytes);
        for (std::size_t at = 0; at < input.size(); at += 1000)
            d->Update(input.data() + at, std::min<std::size_t>(1000, input.size() - at));
        const ContentKey key = d->Final();
        EXPECT_EQ(key.Algorithm, HashAlgorithm::Blake2b512);
        EXPECT_EQ(KeyText(key), c.Hex) << c.Bytes << " bytes of " << input.size();
        EXPECT_EQ(key, *KeyFromHex(HashAlgorithm::Blake2b512, c.Hex));
    }
    // Keys of one algorithm but two lengths are two contents, even where one's bytes begin the other's.
    const ContentKey longer = *KeyFromHex(HashAlgorithm::Blake2b512, "2e00");
    EXPECT_FALSE(longer == *KeyFromHex(HashAlgorithm::Blake2b512, "2e"));
    EXPECT_FALSE(KeyFromHex(HashAlgorithm::Blake2b512, "2e0"));
    EXPECT_FALSE(KeyFromHex(HashAlgorithm::Sha256, "2e"));
}

TEST(Hashing, CrcIsNotADigestOfThePlatform) {
    EXPECT_THROW(MakeDigester(HashAlgorithm::Crc32), IoError);
}

} // namespace
} // namespace tv
