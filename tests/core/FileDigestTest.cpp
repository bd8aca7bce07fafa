// A file is read once for every algorithm its list needs: the keys must equal the digests of what the
// file holds now, wherever the reads' blocks fall, and a changed file is read as the CRC-32 path reads it.
#include "core/FileDigest.h"
#include "core/Crc32.h"
#include "core/FileCrc32.h"
#include "platform/Errors.h"
#include "platform/Hashing.h"
#include "support/FaultyFileSystem.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>

namespace tv {
namespace {

AlgorithmSet Every() {
    AlgorithmSet all;
    for (const AlgorithmInfo& info : Algorithms)
        all.Add(info.Algorithm);
    return all;
}

ContentKey KeyOfBytes(HashAlgorithm a, const std::string& data) {
    if (a == HashAlgorithm::Crc32) return ContentKey::OfCrc(tv::Crc32(data.data(), data.size()));
    return DigestOf(a, data.data(), data.size());
}

// Files that changed since the listing too: one that grew gives the keys of all it holds now.
TEST(FileDigest, EveryAlgorithmFromOneReadAtTheBlockEdges) {
    test::TempDir dir;
    const std::int64_t block = static_cast<std::int64_t>(FileCrc32BlockSize());
    struct Case {
        std::int64_t listed, actual;
    };
    for (const Case c :
         {Case{0, 0}, Case{1, 1}, Case{block - 1, block - 1}, Case{block, block}, Case{block + 1, block + 1},
          Case{0, 10}, Case{1024, 1030}, Case{block - 1, block + 5}, Case{2 * block + 3, 2 * block + 3}}) {
        const std::string data = test::RandomBytes(static_cast<std::size_t>(c.actual), 9);
        const std::string path = dir.Write("f.bin", data);
        const FileKeys keys = FileKeysAsListed(RealFs(), path, c.listed, Every());
        EXPECT_EQ(keys.Have, Every());
        for (const AlgorithmInfo& info : Algorithms) {
            const ContentKey expected = KeyOfBytes(info.Algorithm, data);
            EXPECT_EQ(keys.Of(info.Algorithm), expected)
                << info.ColumnTitle << ", " << c.listed << " listed, " << c.actual << " held";
            EXPECT_EQ(FileKeyAsListed(RealFs(), path, c.listed, info.Algorithm), expected) << info.ColumnTitle;
        }
    }
    for (const Case c : {Case{1030, 1024}, Case{block + 1, block}, Case{1, 0}, Case{2 * block, block + 7}}) {
        const std::string path = dir.Write("f.bin", test::RandomBytes(static_cast<std::size_t>(c.actual), 6));
        for (AlgorithmSet set : {AlgorithmSet(HashAlgorithm::Sha256), Every()}) {
            try {
                FileKeysAsListed(RealFs(), path, c.listed, set);
                ADD_FAILURE() << "no error for " << c.listed << " listed, " << c.actual << " held";
            } catch (const IoError& e) {
                EXPECT_STREQ(e.what(), "Read beyond end of file");
            }
        }
    }
}

TEST(FileDigest, SeveralAlgorithmsTakeNoMoreReadsThanOne) {
    test::TempDir dir;
    const std::int64_t size = 3 * static_cast<std::int64_t>(FileCrc32BlockSize()) + 17;
    const std::string path = dir.Write("f.bin", test::RandomBytes(static_cast<std::size_t>(size), 3));
    test::FaultyFileSystem fs;
    fs.FailAt(test::Fault::ReadBeyondEnd, 0);
    FileCrc32AsListed(fs, path, size);
    const int crcReads = fs.Count();
    fs.FailAt(test::Fault::ReadBeyondEnd, 0);
    FileKeysAsListed(fs, path, size, Every());
    EXPECT_EQ(fs.Count(), crcReads);
    fs.FailAt(test::Fault::NotFound, 0);
    FileKeysAsListed(fs, path, size, Every());
    EXPECT_EQ(fs.Count(), 1) << "the file is opened once";
}

TEST(FileDigest, MissingFileFailsWithTheRuntimeText) {
    test::TempDir dir;
    try {
        FileKeyAsListed(RealFs(), dir / "absent.bin", 5, HashAlgorithm::Md5);
        ADD_FAILURE() << "no error";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "File not found");
    }
}

// The coreutils tools are the digests' own checkers.
TEST(FileDigest, AgreesWithCoreutils) {
#ifdef _WIN32
    GTEST_SKIP() << "coreutils run on the POSIX build";
#else
    test::TempDir dir;
    for (std::size_t size : {std::size_t{0}, std::size_t{55}, std::size_t{200001}}) {
        const std::string path = dir.Write("f.bin", test::RandomBytes(size, static_cast<std::uint32_t>(size)));
        for (HashAlgorithm a :
             {HashAlgorithm::Md5, HashAlgorithm::Sha1, HashAlgorithm::Sha256, HashAlgorithm::Sha512}) {
            const std::string tool = std::string(InfoOf(a).Extension) + "sum";
            const test::ShellResult r = test::Shell(tool + " " + test::ShellQuote(path));
            ASSERT_EQ(r.status, 0) << tool;
            EXPECT_EQ(r.out.substr(0, r.out.find(' ')),
                      KeyText(FileKeyAsListed(RealFs(), path, static_cast<std::int64_t>(size), a)))
                << tool << " " << size;
        }
    }
#endif
}

} // namespace
} // namespace tv
