#include "core/Crc32.h"
#include "core/FileCrc32.h"
#include "platform/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tv {
namespace {

using test::RandomBytes;
using test::TempDir;

TEST(Crc32, CheckValueAndEmptyInput) {
    EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);
    EXPECT_EQ(Crc32("", 0), 0u);
    EXPECT_EQ(Crc32UpdateReference(0xFFFFFFFFu, "123456789", 9) ^ 0xFFFFFFFFu, 0xCBF43926u);
}

TEST(Crc32, StreamingInPiecesEqualsOneCall) {
    const std::string data = RandomBytes(10000, 7);
    const std::uint32_t whole = Crc32(data.data(), data.size());
    for (std::size_t cut : {0u, 1u, 63u, 4096u, 9999u, 10000u}) {
        std::uint32_t reg = Crc32Update(0xFFFFFFFFu, data.data(), cut);
        reg = Crc32Update(reg, data.data() + cut, data.size() - cut);
        EXPECT_EQ(reg ^ 0xFFFFFFFFu, whole) << "cut at " << cut;
    }
}

TEST(FileCrc32, ReadsTheFirstByteCountBytes) {
    TempDir dir;
    const std::string digits = dir.Write("digits.txt", "123456789");
    EXPECT_EQ(FileCrc32(RealFs(), digits, 9), 0xCBF43926u);
    EXPECT_EQ(FileCrc32(RealFs(), digits, 4), Crc32("1234", 4));
    EXPECT_EQ(FileCrc32(RealFs(), dir.Write("empty", ""), 0), 0u);

    // Larger than one read block, so the block loop is crossed.
    const std::string big = RandomBytes((3u << 20) + 123, 11);
    const std::string bigPath = dir.Write("big.bin", big);
    EXPECT_EQ(FileCrc32(RealFs(), bigPath, static_cast<std::int64_t>(big.size())), Crc32(big.data(), big.size()));
}

TEST(FileCrc32, FailuresCarryTheRuntimeTexts) {
    TempDir dir;
    const std::string digits = dir.Write("digits.txt", "123456789");
    struct Case {
        std::string path;
        std::int64_t count;
        const char* text;
    } cases[] = {
        {digits, 10, "Read beyond end of file"},
        {dir / "gone.txt", 1, "File not found"},
        {dir / "nofolder/x.txt", 1, "File not found"},
        {dir.MakeFolder("sub"), 0, "File access denied"},
    };
    for (const Case& c : cases) {
        try {
            FileCrc32(RealFs(), c.path, c.count);
            ADD_FAILURE() << c.path << " gave no error";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), c.text) << c.path;
        }
    }
}

TEST(FileCrc32, AFifoIsRefusedInsteadOfBlocking) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs in the file system";
#else
    TempDir dir;
    const std::string fifo = dir / "pipe";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(FileCrc32(RealFs(), fifo, 1), IoError);
#endif
}

} // namespace
} // namespace tv
