// The progress model's arithmetic under a scripted clock, its texts, and a verification that moves it
// inside a big file.
#include "app/Progress.h"
#include "app/TallyvaultMain.h"
#include "core/Crc32.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace tv::test {
namespace {

// One step of a script: Plan files/bytes, Explore, Folder seen with n files, Begin a file of n
// bytes, Read n bytes, End the file, Step done, sample at time n (Clock).
struct Op {
    char Kind;
    std::int64_t A = 0, B = 0;
};

void Play(ProgressModel& m, const std::vector<Op>& ops) {
    for (const Op& op : ops) {
        switch (op.Kind) {
        case 'P':
            m.Plan(op.A, op.B);
            break;
        case 'X':
            m.Explore();
            break;
        case 'F':
            m.FolderSeen(op.A);
            break;
        case 'B':
            m.FileBegun(op.A);
            break;
        case 'R':
            m.BytesRead(op.A);
            break;
        case 'E':
            m.FileEnded();
            break;
        case 'S':
            m.StepDone();
            break;
        case 'C':
            m.Sample(op.A);
            break;
        default:
            FAIL() << op.Kind;
        }
    }
}

TEST(ProgressModel, FiguresFollowTheScript) {
    struct Case {
        const char* Name;
        std::vector<Op> Ops;
        std::int64_t FilesDone, FilesTotal, BytesDone, BytesTotal;
        double Rate; // bytes a second, -1 unknown
        std::int64_t Left;
        double Share;
    };
    const std::vector<Case> cases = {
        {"steady rate: time left from what remains",
         {{'P', 2, 4000}, {'B', 3000}, {'C', 0}, {'R', 1000}, {'C', 500}, {'R', 1000}, {'C', 1000}},
         0,
         2,
         2000,
         4000,
         2000,
         1,
         0.5},
        {"a rate needs half a second of samples",
         {{'P', 1, 4000}, {'B', 4000}, {'C', 0}, {'R', 1000}, {'C', 400}},
         0,
         1,
         1000,
         4000,
         -1,
         -1,
         0.25},
        {"only the last three seconds count; a stall shows no time left",
         {{'P', 1, 9000}, {'B', 9000}, {'C', 0}, {'R', 6000}, {'C', 2000}, {'C', 4000}, {'C', 5000}, {'C', 8000}},
         0,
         1,
         6000,
         9000,
         0,
         -1,
         6000.0 / 9000},
        {"the rate slows as the window slides past a burst",
         {{'P', 1, 10000}, {'B', 10000}, {'C', 0}, {'R', 3000}, {'C', 1000}, {'C', 2000}, {'R', 1000}, {'C', 4000}},
         0,
         1,
         4000,
         10000,
         1000.0 / 3,
         18,
         0.4},
        {"a file that grew raises the total by what it had more",
         {{'P', 2, 200}, {'B', 100}, {'R', 150}, {'E'}, {'C', 0}},
         1,
         2,
         150,
         250,
         -1,
         -1,
         0.6},
        {"while it is read past its size the share stops at the whole",
         {{'P', 1, 100}, {'B', 100}, {'R', 150}, {'C', 0}},
         0,
         1,
         150,
         150,
         -1,
         -1,
         1},
        {"a file that vanished leaves the total",
         {{'P', 2, 300}, {'B', 100}, {'E'}, {'C', 0}},
         1,
         2,
         0,
         200,
         -1,
         -1,
         0},
        {"a file that shrank lowers it", {{'P', 1, 100}, {'B', 100}, {'R', 60}, {'E'}}, 1, 1, 60, 60, -1, -1, 1},
        {"a file no one planned joins the work as read",
         {{'P', 1, 100}, {'B', 100}, {'R', 100}, {'E'}, {'B', -1}, {'R', 50}, {'E'}},
         2,
         2,
         150,
         150,
         -1,
         -1,
         1},
        {"steps without bytes: time left by files",
         {{'P', 4, 0}, {'C', 0}, {'S'}, {'S'}, {'C', 1000}},
         2,
         4,
         0,
         0,
         0,
         1,
         0.5},
        {"a search: totals unknown, no share, no time",
         {{'X'}, {'F', 3}, {'F', 2}, {'C', 0}, {'B', 500}, {'R', 500}, {'E'}, {'C', 1000}},
         1,
         -1,
         500,
         -1,
         500,
         -1,
         -1},
        {"planned work after a search is counted afresh",
         {{'X'}, {'F', 3}, {'B', 500}, {'R', 500}, {'E'}, {'P', 2, 0}, {'S'}},
         1,
         2,
         0,
         0,
         -1,
         -1,
         0.5},
    };
    for (const Case& c : cases) {
        ProgressModel m;
        Play(m, c.Ops);
        const ProgressFigures f = m.Figures();
        EXPECT_EQ(f.FilesDone, c.FilesDone) << c.Name;
        EXPECT_EQ(f.FilesTotal, c.FilesTotal) << c.Name;
        EXPECT_EQ(f.BytesDone, c.BytesDone) << c.Name;
        EXPECT_EQ(f.BytesTotal, c.BytesTotal) << c.Name;
        EXPECT_NEAR(f.BytesPerSecond, c.Rate, 0.01) << c.Name;
        EXPECT_EQ(f.SecondsLeft, c.Left) << c.Name;
        EXPECT_NEAR(f.Share(), c.Share, 1e-9) << c.Name;
    }
}

TEST(ProgressModel, ShowsAnnouncedWorkHalfASecondIntoTheCommand) {
    ProgressModel m;
    m.Sample(0);
    m.Sample(1000);
    EXPECT_FALSE(m.Shown()) << "no work announced";
    m.Reset();
    // The command starts (a load), then announces work: the half second counts from its start.
    m.Sample(2000);
    m.Plan(1, 10);
    m.Sample(2000 + ProgressModel::ShowAfterMs - 1);
    EXPECT_FALSE(m.Shown());
    m.Sample(2000 + ProgressModel::ShowAfterMs);
    EXPECT_TRUE(m.Shown());
    m.Reset();
    EXPECT_FALSE(m.Active());
    EXPECT_FALSE(m.Shown());
}

TEST(ProgressModel, Texts) {
    const std::int64_t KiB = 1024, MiB = KiB * KiB, GiB = MiB * KiB;
    const std::vector<std::pair<std::int64_t, const char*>> sizes = {
        {0, "0 B"},
        {1023, "1023 B"},
        {1024, "1.0 KB"},
        {KiB * 99 + 973, "100 KB"},
        {180 * MiB, "180 MB"},
        {GiB * 12 / 10, "1.2 GB"},
        {4 * GiB, "4.0 GB"},
        {-5, "0 B"},
    };
    for (const auto& [bytes, text] : sizes)
        EXPECT_EQ(FormatBytes(bytes), text) << bytes;
    const std::vector<std::pair<std::int64_t, const char*>> times = {
        {0, "0:00"}, {16, "0:16"}, {725, "12:05"}, {3723, "1:02:03"}, {-1, "0:00"}};
    for (const auto& [seconds, text] : times)
        EXPECT_EQ(FormatDuration(seconds), text) << seconds;

    ProgressFigures f;
    f.FilesDone = 3;
    f.FilesTotal = 10;
    f.BytesDone = GiB * 12 / 10 + 1; // 30% of 4 GiB, rounded up
    f.BytesTotal = 4 * GiB;
    f.BytesPerSecond = 180.0 * MiB;
    f.SecondsLeft = 16;
    EXPECT_EQ(StatusFigures(f), "1.2 GB / 4.0 GB  180 MB/s  残り 0:16");
    EXPECT_EQ(TerminalFigures(f), "3/10 files  1.2 GB / 4.0 GB  30%  180 MB/s  0:16 left");
    ProgressFigures search;
    search.FilesTotal = search.BytesTotal = -1;
    search.FoldersSeen = 12;
    search.FilesSeen = 340;
    EXPECT_EQ(StatusFigures(search), "フォルダ 12  ファイル 340");
    EXPECT_EQ(TerminalFigures(search), "12 folders  340 files");
}

TEST(ProgressModel, AVerificationMovesItInsideABigFileAndEndsWithNone) {
    TempDir dir;
    // Three blocks of the CRC loop and a small file: the big one is seen part-way through.
    const std::string big(std::size_t{3} << 20, 'x'), small = "small";
    dir.Write("big.bin", big);
    dir.Write("small.bin", small);
    char list[128];
    std::snprintf(list, sizeof list, "big.bin %08X\r\nsmall.bin %08X\r\n", Crc32(big.data(), big.size()),
                  Crc32(small.data(), small.size()));
    FakeUi ui;
    TForm1 form(ui, RealFs());
    form.SteadyClock = EveryStepClock();
    form.ListPath = dir.Write("list.sfv", list);
    std::vector<ProgressFigures> seen;
    ui.OnProcessMessages = [&] { seen.push_back(form.Progress.Figures()); };
    ASSERT_TRUE(form.RunCommand([&] { form.OpenListFile(); }));
    ASSERT_TRUE(ui.Errors.empty());
    EXPECT_EQ(form.GoodCount, 2);
    const std::int64_t total = static_cast<std::int64_t>(big.size() + small.size());
    bool inside = false;
    for (const ProgressFigures& f : seen) {
        if (f.FilesTotal != 2) continue;
        EXPECT_EQ(f.BytesTotal, total);
        inside = inside || (f.FilesDone == 0 && f.BytesDone > 0 && f.BytesDone < static_cast<std::int64_t>(big.size()));
    }
    EXPECT_TRUE(inside) << "the window never saw the big file part-read";
    EXPECT_FALSE(form.Progress.Active());
}

} // namespace
} // namespace tv::test
