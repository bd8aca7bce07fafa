// Random bytes as the settings file. The settings pass must bring the window onto the screen and
// every width into range whatever the file says; what the program writes back at the end must read
// in again to the same options; and an INI text written back and parsed again must not change.
#include "FuzzSupport.h"
#include "platform/IniFile.h"

#include <array>

namespace {

struct Options {
    std::vector<bool> Ticks;
    std::string FixedFolder;
    std::vector<int> Widths;
    int Left, Top, Width, Height;
    bool operator==(const Options&) const = default;
};

Options OptionsOf(const tv::TForm1& f) {
    Options o;
    for (const tv::TMenuItem* m : {&f.CopyComplement, &f.AutoMove, &f.DblNop, &f.DblInq, &f.DblDel, &f.TashUse,
                                   &f.FixFolder})
        o.Ticks.push_back(m->Checked());
    o.FixedFolder = f.FixedComplementFolder;
    for (const tv::TListColumn& c : f.CrcList.Columns) o.Widths.push_back(c.Width);
    o.Left = f.Bounds.Left;
    o.Top = f.Bounds.Top;
    o.Width = f.Bounds.Width;
    o.Height = f.Bounds.Height;
    return o;
}

void CheckOnScreen(const tv::TForm1& f, const tv::ScreenMetrics& s) {
    using tv::fuzz::Fail;
    const tv::TWindowBounds& b = f.Bounds;
    if (b.Left < 0 || b.Top < 0) Fail("the window starts off the screen");
    if (b.Width < b.MinWidth || b.Height < b.MinHeight) Fail("the window is smaller than its minimum");
    if (s.Width >= b.Width && b.Left + b.Width > s.Width) Fail("the window hangs over the right edge");
    if (s.Height >= b.Height && b.Top + b.Height > s.Height) Fail("the window hangs over the bottom edge");
    for (const tv::TListColumn& c : f.CrcList.Columns)
        if (c.Width < 0 || c.Width > 10000) Fail("a column width out of range");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tv::fuzz;
    if (size == 0) return 0;
    static constexpr std::array<tv::ScreenMetrics, 4> Screens = {
        tv::ScreenMetrics{1920, 1080, 96}, tv::ScreenMetrics{1280, 800, 120}, tv::ScreenMetrics{400, 200, 96},
        tv::ScreenMetrics{3840, 2160, 144}};
    const tv::ScreenMetrics screen = Screens[data[0] % Screens.size()];
    const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);

    // The INI text is stable once written.
    const std::string once = tv::IniFile::Parse(text).Text();
    if (tv::IniFile::Parse(once).Text() != once) Fail("an INI text changes when it is written back again");

    // A folder of its own that holds the settings file and nothing else, before and after.
    static const tv::test::TempDir dir;
    const std::string path = WriteFile(dir / "settings.ini", text);
    Options first;
    {
        tv::test::FakeUi ui;
        ui.Metrics = screen;
        tv::TForm1 form(ui, tv::RealFs());
        form.SettingsFile = path;
        form.ReadSettings();
        form.ShowSettingsSummary();
        CheckOnScreen(form, screen);
        first = OptionsOf(form);
        form.FormDestroy();
    }
    {
        tv::test::FakeUi ui;
        ui.Metrics = screen;
        tv::TForm1 form(ui, tv::RealFs());
        form.SettingsFile = path;
        form.ReadSettings();
        if (OptionsOf(form) != first) Fail("the settings written at the end read back differently");
    }
    if (NamesIn(dir.Path()) != std::vector<std::string>{"settings.ini"}) Fail("a file besides the settings file");
    return 0;
}
