// The lines of the digest lists we write, against what coreutils 9.1 writes for the same names, and the
// names and dialog filters the kinds of list go by.
#include "writers/DigestLineFormat.h"
#include "platform/Paths.h"
#include "writers/ListFormat.h"

#include <gtest/gtest.h>

#include <utility>

namespace tv {
namespace {

const std::string Empty256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";

TEST(DigestLineFormat, NamesAsCoreutilsWritesThem) {
    const ContentKey key = *KeyFromHex(HashAlgorithm::Sha256, Empty256);
    const struct {
        std::string Name, Gnu, Bsd;
    } cases[] = {
        {"a.bin", Empty256 + "  a.bin", "SHA256 (a.bin) = " + Empty256},
        {" two  spaces ", Empty256 + "   two  spaces ", "SHA256 ( two  spaces ) = " + Empty256},
        {"写真 01.jpg", Empty256 + "  写真 01.jpg", "SHA256 (写真 01.jpg) = " + Empty256},
        {"*star", Empty256 + "  *star", "SHA256 (*star) = " + Empty256},
        {"(a) = b", Empty256 + "  (a) = b", "SHA256 ((a) = b) = " + Empty256},
        // A backslash, LF or CR: "\" before the line, the name with \\, \n and \r; a tab stays as it is.
        {"a\\b", "\\" + Empty256 + "  a\\\\b", "\\SHA256 (a\\\\b) = " + Empty256},
        {"c\nd", "\\" + Empty256 + "  c\\nd", "\\SHA256 (c\\nd) = " + Empty256},
        {"e\rf", "\\" + Empty256 + "  e\\rf", "\\SHA256 (e\\rf) = " + Empty256},
        {"\\n\n", "\\" + Empty256 + "  \\\\n\\n", "\\SHA256 (\\\\n\\n) = " + Empty256},
        {"tab\there", Empty256 + "  tab\there", "SHA256 (tab\there) = " + Empty256},
        // Bytes, whatever the encoding: a CP932 trail byte 0x5C is escaped as coreutils does.
        {"\x83\x5c.txt", "\\" + Empty256 + "  \x83\\\\.txt", "\\SHA256 (\x83\\\\.txt) = " + Empty256},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        EXPECT_EQ(GnuDigestLine(key, c.Name), c.Gnu);
        EXPECT_EQ(BsdDigestLine(key, c.Name), c.Bsd);
    }
}

TEST(DigestLineFormat, EachAlgorithmsTagAndLowerCaseHex) {
    const struct {
        HashAlgorithm Algorithm;
        const char* Tag;
    } cases[] = {{HashAlgorithm::Md5, "MD5"},       {HashAlgorithm::Sha1, "SHA1"},
                 {HashAlgorithm::Sha224, "SHA224"}, {HashAlgorithm::Sha256, "SHA256"},
                 {HashAlgorithm::Sha384, "SHA384"}, {HashAlgorithm::Sha512, "SHA512"},
                 {HashAlgorithm::Blake2b512, "BLAKE2b"}, {HashAlgorithm::Blake3, "BLAKE3"}};
    for (const auto& c : cases) {
        const std::string hex(DigestBytes(c.Algorithm) * 2, 'A');
        const ContentKey key = *KeyFromHex(c.Algorithm, hex);
        const std::string lower(hex.size(), 'a');
        EXPECT_EQ(GnuDigestLine(key, "x"), lower + "  x");
        EXPECT_EQ(BsdDigestLine(key, "x"), std::string(c.Tag) + " (x) = " + lower);
    }
    // BLAKE2b of another length names it in the tag, as b2sum -l N --tag does.
    for (const auto& [hex, tag] : {std::pair{"4a", "BLAKE2b-8"}, {"0123456789abcdef0123456789abcdef", "BLAKE2b-128"}}) {
        const ContentKey key = *KeyFromHex(HashAlgorithm::Blake2b512, hex);
        EXPECT_EQ(GnuDigestLine(key, "x"), std::string(hex) + "  x");
        EXPECT_EQ(BsdDigestLine(key, "x"), std::string(tag) + " (x) = " + hex);
    }
}

TEST(ListKinds, SavedNamesProposalsAndFilters) {
    const struct {
        const char* Path;
        std::optional<HashAlgorithm> Kind;
    } saved[] = {{"/d/list.sfv", HashAlgorithm::Crc32},
                 {"/d/LIST.Csv", HashAlgorithm::Crc32},
                 {"/d/a.MD5", HashAlgorithm::Md5},
                 {"/d/a.sha1", HashAlgorithm::Sha1},
                 {"/d/a.sha224", HashAlgorithm::Sha224},
                 {"/d/a.Sha256", HashAlgorithm::Sha256},
                 {"/d/a.sha384", HashAlgorithm::Sha384},
                 {"/d/a.sha512", HashAlgorithm::Sha512},
                 {"/d/SHA256SUMS", HashAlgorithm::Sha256},
                 {"/d/md5sums.txt", HashAlgorithm::Md5},
                 {"/d/a.b2", HashAlgorithm::Blake2b512},
                 {"/d/B3SUMS", HashAlgorithm::Blake3},
                 {"/d/a.blake3", HashAlgorithm::Blake3},
                 {"/d/list", std::nullopt},
                 {"/d/list.txt", std::nullopt},
                 {"/d/a.cs", std::nullopt}};
    for (const auto& s : saved)
        EXPECT_EQ(AlgorithmOfSavedList(s.Path), s.Kind) << s.Path;

    EXPECT_EQ(ProposedListPath("/photos/trip", HashAlgorithm::Crc32), FolderFile("/photos/trip", "trip.SFV"));
    EXPECT_EQ(ProposedListPath("/photos/trip", HashAlgorithm::Sha256), FolderFile("/photos/trip", "trip.sha256"));
    EXPECT_EQ(ProposedRequestPath("/d/set.md5", HashAlgorithm::Md5), "/d/set_Request.md5");
    EXPECT_EQ(ProposedRequestPath("/d/SHA256SUMS", HashAlgorithm::Sha256), "/d/SHA256SUMS_Request.sha256");
    EXPECT_EQ(ProposedRequestPath("/d.x/set.sfv", HashAlgorithm::Crc32), "/d.x/set_Request.SFV");
    EXPECT_EQ(ProposedRequestPath("/d/set.blake3", HashAlgorithm::Blake3), "/d/set_Request.b3");

    EXPECT_EQ(KindFilterOf(HashAlgorithm::Crc32), "SFV or CSV File|*.SFV;*.CSV");
    EXPECT_EQ(SaveFilterOf(HashAlgorithm::Sha256),
              "SHA-256 File|*.sha256;SHA256SUMS*|SFV or CSV File|*.SFV;*.CSV|MD5 File|*.md5;MD5SUMS*|"
              "SHA-1 File|*.sha1;SHA1SUMS*|SHA-224 File|*.sha224;SHA224SUMS*|SHA-384 File|*.sha384;SHA384SUMS*|"
              "SHA-512 File|*.sha512;SHA512SUMS*|BLAKE2b File|*.b2;B2SUMS*|BLAKE3 File|*.b3;B3SUMS*");
}

} // namespace
} // namespace tv
