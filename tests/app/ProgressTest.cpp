// The pacing of long loops by the form's steady clock, and the hourglass of a load that fails.
#include "app/TallyvaultMain.h"
#include "platform/Errors.h"
#include "support/FakeUi.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tv::test {
namespace {

TEST(ReportProgress, LetsEventsThroughOncePerIntervalAndAlwaysAtTheEnd) {
    struct Step {
        std::int64_t Now;
        bool Last;
        bool Pumps;
    };
    const std::int64_t t = TForm1::ProgressIntervalMs;
    // The first call always goes through; then only once the interval has passed since the last one
    // that did, counted from when its event handling ended; a last call always.
    const std::vector<Step> steps = {
        {1000, false, true},
        {1000, false, false},
        {1000 + t - 1, false, false},
        {1000 + t, false, true},
        {1000 + t + 1, true, true},
        {1000 + t + 2, true, true},
        {1000 + 2 * t + 1, false, false},
        {1000 + 2 * t + 2, false, true},
    };
    FakeUi ui;
    TForm1 form(ui, RealFs());
    std::int64_t now = 0;
    form.SteadyClock = [&] { return now; };
    int captions = 0;
    for (std::size_t i = 0; i < steps.size(); ++i) {
        now = steps[i].Now;
        const int before = ui.ProcessMessagesCount;
        form.ReportProgress([&] { ++captions; }, steps[i].Last);
        EXPECT_EQ(ui.ProcessMessagesCount - before, steps[i].Pumps ? 1 : 0) << "step " << i;
        // The captions are formatted only when the window gets to show them.
        EXPECT_EQ(captions, ui.ProcessMessagesCount) << "step " << i;
    }
}

TEST(ReportProgress, ALoadThatFailsLeavesTheNormalPointer) {
    // Read directly, not through the command runner: the loaders' own hourglass must go too.
    for (const char* name : {"list.sfv", "list.csv", "list.txt"}) {
        FakeUi ui;
        FaultyFileSystem fs;
        TForm1 form(ui, fs);
        TempDir dir;
        form.ListPath = dir.Write(name, "a.bin 12345678\r\n");
        fs.FailAt(Fault::AccessDenied, 1);
        EXPECT_THROW(form.OpenListFile(), IoError) << name;
        EXPECT_FALSE(ui.Busy) << name;
    }
}

} // namespace
} // namespace tv::test
