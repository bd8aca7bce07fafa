// Digest list lines as the GNU, BSD and OpenSSL tools write them, the algorithm a list's name gives,
// and a whole list read through the line reader.
#include "readers/DigestLines.h"

#include "support/CliRows.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace tv {
namespace {

using A = HashAlgorithm;
using K = DigestLineKind;

const std::string Md5 = "d41d8cd98f00b204e9800998ecf8427e";
const std::string Sha1 = "da39a3ee5e6b4b0d3255bfef95601890afd80709";
const std::string Sha256 = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
const std::string Sha512 = Sha256 + Sha256;

struct LineCase {
    std::string Line;
    std::optional<A> ByName;
    K Kind;
    std::optional<A> Algorithm; // as ParseDigestLine leaves it: the tag's or byName's
    std::string Name;           // for Entry; for Bad a piece of the reason
    std::string Hex = {};
    bool Escaped = false, Tagged = false, Binary = false;
};

TEST(DigestLines, EachLineFormReadsItsNameDigestAndAlgorithm) {
    const std::vector<LineCase> cases = {
        // GNU text and binary mode; the name keeps leading blanks and inner "  " and "*".
        {Md5 + "  a b.txt", {}, K::Entry, {}, "a b.txt", Md5},
        {Md5 + " *a b.txt", {}, K::Entry, {}, "a b.txt", Md5, false, false, true},
        {Md5 + "   lead", {}, K::Entry, {}, " lead", Md5},
        {Md5 + "  *star  x", {}, K::Entry, {}, "*star  x", Md5},
        {Md5 + "  trail ", {}, K::Entry, {}, "trail ", Md5},
        {"  \t" + Sha1 + "  indented", {}, K::Entry, {}, "indented", Sha1},
        {Sha256 + "  sub/dir\\win.txt", {}, K::Entry, {}, "sub/dir\\win.txt", Sha256},
        {"D41D8CD98F00B204E9800998ECF8427E  upper", {}, K::Entry, {}, "upper", "D41D8CD98F00B204E9800998ECF8427E"},
        {Md5 + "  x\r", {}, K::Entry, {}, "x", Md5},
        {"\xEF\xBB\xBF" + Md5 + "  bom", {}, K::Entry, {}, "bom", Md5},
        {Md5 + "  ", {}, K::Bad, {}, "no file name"},
        // GNU's escaped form.
        {"\\" + Md5 + "  back\\\\slash", {}, K::Entry, {}, "back\\slash", Md5, true},
        {"\\" + Md5 + " *new\\nline\\rcr", {}, K::Entry, {}, "new\nline\rcr", Md5, true, false, true},
        {"\\" + Md5 + "  bad\\t", {}, K::Bad, {}, "not \\\\, \\n or \\r"},
        {"\\" + Md5 + "  trailing\\", {}, K::Bad, {}, "not \\\\, \\n or \\r"},
        // The list's name decides a GNU line's algorithm, and its length must fit.
        {Sha256 + "  x", A::Sha256, K::Entry, A::Sha256, "x", Sha256},
        {Sha256 + "  x", A::Md5, K::Bad, {}, "64 hex digits where MD5 has 32"},
        {Sha256.substr(1) + "  x", {}, K::Bad, {}, "63 hex digits: no digest algorithm"},
        {"e8b7be43  crc", {}, K::Bad, {}, "8 hex digits: no digest algorithm"},
        // BSD tags: coreutils --tag, RHash's padded tags, the BSD tools, OpenSSL old and new.
        {"SHA256 (a b) = " + Sha256, {}, K::Entry, A::Sha256, "a b", Sha256, false, true},
        {"MD5   (a b) = " + Md5, {}, K::Entry, A::Md5, "a b", Md5, false, true},
        {"SHA1 (x) = " + Sha1 + "  ", A::Md5, K::Entry, A::Sha1, "x", Sha1, false, true},
        {"SHA2-256(a b)= " + Sha256, {}, K::Entry, A::Sha256, "a b", Sha256, false, true},
        {"SHA256(a b)= " + Sha256, {}, K::Entry, A::Sha256, "a b", Sha256, false, true},
        {"MD5(a b)= " + Md5, {}, K::Entry, A::Md5, "a b", Md5, false, true},
        {"SHA2-512(a)= " + Sha512, {}, K::Entry, A::Sha512, "a", Sha512, false, true},
        {"sha512 (a) = " + Sha512, {}, K::Entry, A::Sha512, "a", Sha512, false, true},
        {"SHA-1 (a) = " + Sha1, {}, K::Entry, A::Sha1, "a", Sha1, false, true},
        {"CRC32 (a) = e8b7be43", {}, K::Entry, A::Crc32, "a", "e8b7be43", false, true},
        {"MD5 (x (1) = y) = " + Md5, {}, K::Entry, A::Md5, "x (1) = y", Md5, false, true},
        {"MD5 ((a)) = " + Md5, {}, K::Entry, A::Md5, "(a)", Md5, false, true},
        {"\\SHA256 (back\\\\slash\\n) = " + Sha256, {}, K::Entry, A::Sha256, "back\\slash\n", Sha256, true, true},
        {"MD5 (x) = " + Sha256, {}, K::Bad, {}, "64 hex digits where MD5 has 32"},
        {"MD5 (x) = " + Md5.substr(1) + "g", {}, K::Bad, {}, "not a hex digit"},
        // BLAKE: b2sum --tag, OpenSSL, RHash; b2sum -l N --tag names the length, which the digits must
        // have; a plain line of a BLAKE2b list may have any even number up to 128. A BLAKE3 line's length
        // is held to BLAKE3's whatever gave the algorithm.
        {"BLAKE2b (x) = " + Sha512, {}, K::Entry, A::Blake2b512, "x", Sha512, false, true},
        {"BLAKE2B-512(x)= " + Sha512, {}, K::Entry, A::Blake2b512, "x", Sha512, false, true},
        {"BLAKE2b-256 (x) = " + Sha256, {}, K::Entry, A::Blake2b512, "x", Sha256, false, true},
        {"BLAKE2b-8 (x) = 4a", {}, K::Entry, A::Blake2b512, "x", "4a", false, true},
        {"BLAKE2b-256 (x) = " + Sha512, {}, K::Bad, {}, "128 hex digits where BLAKE2b has 64"},
        {"BLAKE2b (x) = " + Sha256, {}, K::Bad, {}, "64 hex digits where BLAKE2b has 128"},
        {"BLAKE2b-12 (x) = 4a1", {}, K::Bad, {}, "a BLAKE2b digest of 12 bits: BLAKE2b has a multiple of 8 bits"},
        {"BLAKE2b-520 (x) = " + Sha512 + "00", {}, K::Bad, {}, "a BLAKE2b digest of 520 bits"},
        {"BLAKE2b-0 (x) = 4a", {}, K::Bad, {}, "a BLAKE2b digest of 0 bits"},
        {"BLAKE2b-x (x) = 4a", {}, K::Bad, {}, "unknown algorithm tag"},
        {"BLAKE3 (x) = " + Sha256, {}, K::Entry, A::Blake3, "x", Sha256, false, true},
        {"blake3 (x) = " + Sha512, {}, K::Bad, {}, "128 hex digits where BLAKE3 has 64"},
        {Sha256 + "  x", A::Blake3, K::Entry, A::Blake3, "x", Sha256},
        {Sha256.substr(2) + "  x", A::Blake3, K::Bad, {}, "62 hex digits where BLAKE3 has 64"},
        {Md5 + "  x", A::Blake2b512, K::Entry, A::Blake2b512, "x", Md5},
        {"4a  x", A::Blake2b512, K::Entry, A::Blake2b512, "x", "4a"},
        {Md5.substr(1) + "  x", A::Blake2b512, K::Bad, {}, "31 hex digits where BLAKE2b has an even number up to 128"},
        {Sha512 + "00  x", A::Blake2b512, K::Bad, {}, "130 hex digits where BLAKE2b has an even number up to 128"},
        {"SHA2-999(x)= " + Sha512, {}, K::Bad, {}, "unknown algorithm tag"},
        {"SHA2-1(x)= " + Sha1, {}, K::Bad, {}, "unknown algorithm tag"},
        {"SHA2-32(x)= e8b7be43", {}, K::Bad, {}, "unknown algorithm tag"},
        {"SHA2-224(x)= " + Sha256.substr(0, 56), {}, K::Entry, A::Sha224, "x", Sha256.substr(0, 56), false, true},
        {"SHA2-384(x)= " + Sha512.substr(0, 96), {}, K::Entry, A::Sha384, "x", Sha512.substr(0, 96), false, true},
        {"MD5 () = " + Md5, {}, K::Bad, {}, "no file name"},
        // Comments, blanks and lines of neither form.
        {"", {}, K::Ignored, {}, ""},
        {" \t\r", {}, K::Ignored, {}, ""},
        {"# sha256sum output", {}, K::Ignored, {}, ""},
        {"  ; a comment", {}, K::Ignored, {}, ""},
        {Md5 + " x y", {}, K::Entry, {}, "x y", Md5}, // BSD's md5 -r: one blank
        {"\\" + Md5 + " x", {}, K::Bad, {}, "no two-character separator"},
        {Md5 + "\tx", {}, K::Bad, {}, "no two-character separator"},
        {Md5, {}, K::Bad, {}, "no two-character separator"},
        {Md5.substr(0, 31) + "z  x", {}, K::Bad, {}, "not a hex digit"},
        {"holiday photo 01.jpg 3A9F0C21", {}, K::Bad, {}, "neither a GNU nor a BSD"},
        {"MD5 (x) = ", {}, K::Bad, {}, "neither a GNU nor a BSD"},
        {std::string("\x7f\x45\x4c\x46\x02\x01", 6), {}, K::Bad, {}, "neither"},
        {Md5 + "  nul" + std::string(1, '\0') + "x", {}, K::Bad, {}, "NUL byte"},
    };
    for (const LineCase& c : cases) {
        SCOPED_TRACE(c.Line);
        const DigestLine d = ParseDigestLine(c.Line, c.ByName);
        ASSERT_EQ(d.Kind, c.Kind) << d.Reason;
        if (!c.ByName) {
            EXPECT_EQ(LooksLikeDigestList(c.Line), c.Kind == K::Entry);
        }
        if (c.Kind == K::Bad) {
            EXPECT_NE(d.Reason.find(c.Name), std::string::npos) << d.Reason;
            continue;
        }
        EXPECT_EQ(d.Name, c.Name);
        EXPECT_EQ(d.Hex, c.Hex);
        EXPECT_EQ(d.Algorithm, c.Algorithm);
        EXPECT_EQ(d.Escaped, c.Escaped);
        EXPECT_EQ(d.Tagged, c.Tagged);
        EXPECT_EQ(d.Binary, c.Binary);
    }
}

TEST(DigestLines, ListNamesGiveTheirAlgorithm) {
    const std::vector<std::pair<std::optional<A>, std::vector<std::string>>> cases = {
        {A::Md5, {"album.md5", "ALBUM.MD5", "MD5SUMS", "md5sums.txt"}},
        {A::Sha1, {"x.Sha1", "sha1sums", "SHA1SUMS-2"}},
        {A::Sha224, {"x.sha224", "SHA224SUMS"}},
        {A::Sha256, {"dir/x.sha256", "Sha256Sums.txt", "sha256sums-x86_64", "/srv/SHA256SUMS"}},
        {A::Sha384, {"x.SHA384", "SHA384SUMS_1"}},
        {A::Sha512, {"C:\\lists\\x.sha512", "SHA512SUMS"}},
        {A::Blake2b512, {"x.b2", "X.BLAKE2", "B2SUMS", "b2sums.txt"}},
        {A::Blake3, {"x.b3", "x.Blake3", "x.BK3", "B3SUMS", "B3SUMS.txt"}},
        {{}, {"SHA256SUMSX", "x.sha256.txt", "x.sfv", "x.md5sum", ".md5", "MD5SUM", "SHA256", "notes.txt", "x.b4", "x.blake", ".b3", ""}},
    };
    for (const auto& [algorithm, names] : cases) {
        for (const std::string& name : names) {
            EXPECT_EQ(AlgorithmOfListName(name), algorithm) << name;
        }
    }
}

std::string Hex(const std::string& bytes) { return tv::test::LowerHex(bytes); }

TEST(DigestLines, AListIsHandedOverLineByLineWithItsBadLinesCounted) {
    TextLineReader reader =
        TextLineReader::OverText("\xEF\xBB\xBF# written by hand\r\n" + Sha256 + "  one\r\n\r\n" + Md5 +
                                 "  wrong length\r\n" + "\\" + Sha256 + " *two\\\\x\r\n" + "MD5 (three) = " + Md5 +
                                 "\r\n" + "SHA3-256 (four) = " + Sha256 + "\r\nCRC32 (five) = E8B7BE43");
    std::vector<ListRecord> taken;
    ParseProgress progress;
    progress.Take = [&](ListRecord&& r) { taken.push_back(std::move(r)); };
    DigestListForm form;
    const ParsedList list = ParseDigestList(reader, progress, A::Sha256, &form);

    EXPECT_TRUE(list.Entries.empty());
    EXPECT_EQ(list.Taken, 4u);
    EXPECT_FALSE(list.HasSizes);
    EXPECT_EQ(list.Stop, ListStop::None);
    EXPECT_EQ(list.UnreadLines, 2);
    EXPECT_EQ(list.IrregularLines, 2);
    EXPECT_EQ(list.StopText, "line 4: 32 hex digits where SHA-256 has 64");
    EXPECT_FALSE(form.Tagged);
    EXPECT_FALSE(form.Binary);
    ASSERT_EQ(taken.size(), 4u);
    const struct {
        const char* Name;
        A Algorithm;
        std::string Hex;
        bool Literal;
    } want[] = {{"one", A::Sha256, Sha256, false},
                {"two\\x", A::Sha256, Sha256, true},
                {"three", A::Md5, Md5, false},
                {"five", A::Crc32, "", false}};
    for (std::size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(taken[i].Name, want[i].Name);
        EXPECT_EQ(taken[i].Algorithm, want[i].Algorithm);
        EXPECT_EQ(Hex(taken[i].Digest), want[i].Hex);
        EXPECT_EQ(taken[i].Crc, want[i].Hex.empty() ? 0xE8B7BE43 : std::stoul(want[i].Hex.substr(0, 8), nullptr, 16));
        EXPECT_EQ(taken[i].Size, 0);
        EXPECT_EQ(taken[i].LiteralBackslash, want[i].Literal);
    }
}

TEST(DigestLines, AFileLooksLikeADigestListByItsFirstLineThatIsNoComment) {
    const std::vector<std::pair<std::string, bool>> cases = {
        {"\xEF\xBB\xBF# sums\r\n\r\n; more\r\n" + Sha1 + "  x\r\n", true},
        {"\n\n  SHA256 (x) = " + Sha256, true},
        {"; Generated by cksfv\nholiday.jpg 3A9F0C21\n" + Md5 + "  x\n", false},
        {"# only comments\n\n", false},
        {"", false},
    };
    for (const auto& [text, digest] : cases) {
        TextLineReader reader = TextLineReader::OverText(text);
        EXPECT_EQ(LooksLikeDigestList(reader), digest) << text;
    }
}

TEST(DigestLines, EmptyAndBinaryFilesGiveNoEntries) {
    for (const std::string& text :
         {std::string(), std::string("\r\n\r\n"), std::string("\x89PNG\r\n\x1a\n\0\0\rIHDR", 16)}) {
        TextLineReader reader = TextLineReader::OverText(text);
        const ParsedList list = ParseDigestList(reader, {}, std::nullopt);
        EXPECT_EQ(list.Size(), 0u);
        EXPECT_EQ(list.IrregularLines > 0, text.size() > 4) << list.IrregularLines;
    }
}

} // namespace
} // namespace tv
