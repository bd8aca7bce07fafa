#include "readers/TextLineReader.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

std::vector<std::string> Lines(const std::string& content) {
    test::TempDir dir;
    TextLineReader r(RealFs(), dir.Write("f.txt", content));
    std::vector<std::string> out;
    while (!r.Eof()) out.push_back(r.ReadLine());
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
        {"a\rb\r\n", V{"ab"}},          // a lone CR is dropped
        {"a\n\nb", V{"a", "", "b"}},
        {"a\n\x1A" "b\n", V{"a"}},      // Ctrl-Z where a line starts ends the file
        {"a\x1A" "b\n", V{"a\x1A" "b"}}, // inside a line it is text
        {"\r\n", V{""}},
    };
    for (const Case& c : cases) EXPECT_EQ(Lines(c.content), c.lines) << testing::PrintToString(c.content);
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

} // namespace
} // namespace tv
