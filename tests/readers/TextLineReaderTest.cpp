#include "readers/TextLineReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

std::vector<std::string> Lines(const std::string& content) {
    test::TempDir dir;
    TextLineReader r(RealFs(), dir.Write("f.txt", content));
    std::vector<std::string> out;
    while (!r.Eof())
        out.push_back(r.ReadLine());
    return out;
}

TEST(TextLineReader, LineEndsAndControlCharacters) {
    using V = std::vector<std::string>;
    struct Case {
        std::string content;
        V lines;
    } cases[] = {
        {"", V{}},
        {"a\nb\n", V{"a", "b"}},
        {"a\r\nb", V{"a", "b"}},
        {"a\rb\r\n", V{"ab"}}, // a lone CR is dropped
        {"a\n\nb", V{"a", "", "b"}},
        {"a\n\x1A"
         "b\n",
         V{"a"}}, // Ctrl-Z where a line starts ends the file
        {"a\x1A"
         "b\n",
         V{"a\x1A"
           "b"}}, // inside a line it is text
        {"\r\n", V{""}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Lines(c.content), c.lines) << testing::PrintToString(c.content);
}

TEST(TextLineReader, ReadingPastTheEndGivesEmptyLines) {
    test::TempDir dir;
    TextLineReader r(RealFs(), dir.Write("f.txt", "x"));
    EXPECT_EQ(r.ReadLine(), "x");
    EXPECT_TRUE(r.Eof());
    EXPECT_EQ(r.ReadLine(), "");
}

TEST(TextLineReader, LongLinesCrossReadBlocks) {
    const std::string longLine(300000, 'q');
    EXPECT_EQ(Lines(longLine + "\r\nend"), (std::vector<std::string>{longLine, "end"}));
}

// A line past a mebibyte keeps its first and last half mebibyte, whatever its length and ending.
TEST(TextLineReader, OverlongLinesKeepBothEndsOnly) {
    const std::size_t half = 512 * 1024;
    const std::string head(half, 'h'), tail = std::string(half - 9, 't') + " 12345678";
    for (std::size_t middle : {std::size_t{1}, std::size_t{3} << 20, std::size_t{7} << 20}) {
        const std::string line = head + std::string(middle, 'm') + tail;
        EXPECT_EQ(Lines(line + "\r\nend"), (std::vector<std::string>{head + tail, "end"})) << middle;
        EXPECT_EQ(Lines(line), (std::vector<std::string>{head + tail})) << middle;
    }
}

} // namespace
} // namespace tv
