// Line splitting when lines are long, cross the reader's blocks, and carry CRs in odd places.
#include "readers/TextLineReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tv {
namespace {

std::vector<std::string> ReadAll(const std::string& path) {
    TextLineReader reader(RealFs(), path);
    std::vector<std::string> lines;
    while (!reader.Eof()) lines.push_back(reader.ReadLine());
    return lines;
}

TEST(TextLineReaderRuns, CrsAreDroppedWhereverTheyStand) {
    test::TempDir dir;
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"ab\rc\r\nd\n\r\n", {"abc", "d", ""}},
        {"\r\r\rx\r", {"x"}},
        {"a\r\r\nb", {"a", "b"}},
        {"\rx\ry\rz", {"xyz"}},
    };
    for (const auto& c : cases) EXPECT_EQ(ReadAll(dir.Write("t.txt", c.text)), c.lines) << c.text;
}

TEST(TextLineReaderRuns, LongLinesAcrossBlocksKeepEveryByteButTheCrs) {
    test::TempDir dir;
    // Lines of up to 300 KiB with CRs scattered in them, so runs, CRs and line ends fall on every side
    // of the reader's 64 KiB blocks.
    std::string text;
    std::vector<std::string> expected;
    const std::string noise = test::RandomBytes(600000, 9);
    std::size_t pos = 0;
    for (std::size_t len : {70000u, 1u, 65535u, 65536u, 300000u, 0u, 131072u}) {
        std::string raw;
        std::string clean;
        for (std::size_t i = 0; i < len; ++i) {
            char c = noise[(pos + i) % noise.size()];
            if (c == '\n' || c == 0x1A) c = 'n';
            raw += c;
            if (c != '\r') clean += c;
        }
        pos += len;
        text += raw + "\r\n";
        expected.push_back(clean);
    }
    EXPECT_EQ(ReadAll(dir.Write("long.txt", text)), expected);
}

} // namespace
} // namespace tv
