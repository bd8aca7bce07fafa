// The verification after a rename pass takes a file the pass moved to its row's name as found without
// reading it again only while the file is unchanged since it was read.
#include "repair/RepairHarness.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

namespace tv::test {
namespace {

enum class After { Nothing, Rewritten, RewrittenTimeSetBack, Replaced };

struct MovedCase {
    const char* Title;
    After Change;     // what happens to the misnamed file once it has been verified
    const char* Mark; // the row afterwards
    bool Refused;     // the move is refused with a named error
};

void PrintTo(const MovedCase& c, std::ostream* os) {
    *os << c.Title;
}

class MovedFiles : public ::testing::TestWithParam<MovedCase> {};

TEST_P(MovedFiles, AreReadAgainUnlessUnchangedSinceTheirVerification) {
    const MovedCase& c = GetParam();
    RepairHarness h;
#ifdef _WIN32
    if (c.Change == After::Nothing)
        GTEST_SKIP() << "Windows keeps the plain move, which records no write time: a moved file is read again there";
    if (c.Change == After::Replaced)
        GTEST_SKIP() << "a Windows listing gives no file identity: the planning looks at the file itself there";
#endif
    const std::string wrong = h.Put("wrong.dat", "content of a");
    h.Put("b_wrong.dat", "content of b");
    h.LoadEntries({{"a.bin", "content of a"}, {"b.bin", "content of b"}}, true);
    // Files made before the verification count as unchanged since a while before it.
    h.form.VerifiedAt = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count() +
                        TForm1::UnchangedMargin;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    if (c.Change == After::Replaced) {
        // Another file, with the same bytes, in the verified one's place.
        h.Put("new.tmp", "content of a");
        std::filesystem::rename(PathOf(h.base + "/new.tmp"), PathOf(wrong));
    } else if (c.Change != After::Nothing) {
        const auto written = std::filesystem::last_write_time(PathOf(wrong));
        std::ofstream(PathOf(wrong), std::ios::binary | std::ios::trunc) << "CONTENT of a";
        if (c.Change == After::RewrittenTimeSetBack) std::filesystem::last_write_time(PathOf(wrong), written);
    } else {
        // Not read again: a read of the moved file would fail.
        h.fs.Unreadable = {h.base + "/a.bin"};
    }
    h.Tick(0);
    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(h.Mark("a.bin"), c.Mark);
    EXPECT_EQ(h.Mark("b.bin"), "○");
    EXPECT_EQ(h.ui.Errors.empty(), !c.Refused);
    if (c.Refused) {
        EXPECT_EQ(h.dir.Read("set/wrong.dat"), "content of a");
        EXPECT_NE(h.ui.Errors.front().find("replaced or changed meanwhile"), std::string::npos) << h.ui.Errors.front();
    }
    EXPECT_TRUE(h.RowsAgree());
}

const MovedCase movedCases[] = {
    {"unchanged", After::Nothing, "○", false},
    {"rewritten after the verification", After::Rewritten, "×", false},
    {"rewritten, its write time set back", After::RewrittenTimeSetBack, "×", false},
    // The file the verification read is gone: the move is refused rather than move a file nobody read.
    {"replaced after the verification", After::Replaced, "！", true},
};
INSTANTIATE_TEST_SUITE_P(Changes, MovedFiles, ::testing::ValuesIn(movedCases));

} // namespace
} // namespace tv::test
