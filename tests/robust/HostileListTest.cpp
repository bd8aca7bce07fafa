// Lists made to hurt: names that lead out of the list's folder, device names, control and NUL bytes,
// huge runs of one CRC, lines of megabytes, a list that is a folder or a pipe. Nothing may crash or
// hang, nothing may be written outside the list's folder, and the window stays consistent.
#include "FaultWorld.h"
#include "core/EntryNames.h"

#include "core/Crc32.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "repair/RepairTexts.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <new>

namespace tv::test {
namespace {

std::string Hex8(std::uint32_t v) {
    char b[9];
    std::snprintf(b, sizeof b, "%08X", v);
    return b;
}
std::string CrcText(const std::string& content) {
    return Hex8(Crc32(content.data(), content.size()));
}

// Every file of the temporary folder outside the list's folder.
std::map<std::string, std::string> OutsideTheSet(const FaultWorld& w) {
    std::map<std::string, std::string> out;
    for (const auto& [path, content] : FilesUnder(w.dir.Path()))
        if (path.rfind("set/", 0) != 0) out[path] = content;
    return out;
}

void ExpectConsistent(const FaultWorld& w) {
    EXPECT_FALSE(w.ui.Busy) << "the hourglass stayed on";
    EXPECT_FALSE(w.form.CommandRunning());
    ASSERT_EQ(w.form.CrcList.Count(), w.form.EntryCount);
    for (std::int32_t i = 0; i < w.form.EntryCount; ++i)
        EXPECT_EQ(w.form.CrcList.Item(i).Caption(), ShownName(w.form.EntryTable[i])) << "row " << i;
}

std::string MarkOf(const FaultWorld& w, const std::string& name) {
    for (std::int32_t i = 0; i < w.form.EntryCount && i < w.form.CrcList.Count(); ++i)
        if (w.form.EntryTable[i].FileName == name) return MarkOfIcon(w.form.CrcList.Item(i).ImageIndex);
    return "(no row)";
}

// The peak memory of the process so far, in bytes.
std::int64_t PeakMemory() {
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<std::int64_t>(u.ru_maxrss) * 1024;
}

#if defined(__SANITIZE_ADDRESS__)
constexpr bool MemoryIsMeasurable = false; // the sanitizer keeps freed memory in quarantine
#else
constexpr bool MemoryIsMeasurable = true;
#endif

TEST(HostileLists, NamesLeadingOutOfTheFolderAreNeverWrittenTo) {
    FaultWorld w;
    const std::string abs = w.dir / "outside/z";
    const std::vector<std::pair<std::string, std::string>> entries = {
        {"..\\outside\\x", "content x\n"},
        {"../outside/y", "content y\n"},
        {abs, "content z\n"},
        {"C:\\outside\\w", "content w\n"},
        {"\\\\server\\share\\v", "content v\n"},
        {"sub\\..\\..\\outside\\u", "content u\n"},
        {"sub/../../../../../../tmp/evil", "content t\n"}};
    std::string list;
    int n = 0;
    for (const auto& [name, content] : entries) {
        list += name + " " + CrcText(content) + "\r\n";
        // Each content lies in the list's folder under a harmless name, and in the search tree.
        w.dir.Write("set/found" + std::to_string(n) + ".bin", content);
        w.dir.Write("elsewhere/copy" + std::to_string(n++) + ".bin", content);
    }
    w.dir.Write("outside/x", "old x\n");
    w.dir.Write("outside/z", "old z\n");
    w.dir.Write("set/list.sfv", list);
    const auto before = OutsideTheSet(w);

    w.form.CopyComplement.SetChecked(true);
    w.Load("list.sfv");
    ExpectConsistent(w);
    EXPECT_TRUE(w.ui.Errors.empty());
    w.Tick(2);
    w.Click([&] { w.form.FileChangeCmdClick(); });
    ExpectConsistent(w);
    w.SearchFrom(w.elsewhere);
    w.Tick(2);
    w.Click([&] { w.form.FileChangeCmdClick(); });
    ExpectConsistent(w);

    EXPECT_EQ(OutsideTheSet(w), before);
    ASSERT_FALSE(w.ui.Messages.empty());
    EXPECT_EQ(w.ui.Messages.back().rfind(texts::OutsideNamesHead, 0), 0u) << w.ui.Messages.back();
    for (int i = 0; i < n; ++i)
        EXPECT_TRUE(w.dir.Exists("set/found" + std::to_string(i) + ".bin")) << i;
    struct stat st {};
    EXPECT_NE(::stat("/tmp/evil", &st), 0);
}

TEST(HostileLists, DevicesPipesAndFoldersNamedAsEntriesAreNeverRead) {
    FaultWorld w;
    ASSERT_EQ(::mkfifo((w.dir / "set/pipe.bin").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((w.dir / "elsewhere/pipe2.bin").c_str(), 0600), 0);
    w.dir.MakeFolder("set/folder.bin");
    w.dir.Write("set/real.bin", "real\n");
    // A CSV list, so that the short device names are entries too (it gives sizes, so the verification
    // looks files up by size first).
    std::string list;
    for (const char* name : {"NUL", "CON", "AUX", "COM1", "LPT1", "..\\..\\..\\..\\..\\..\\..\\dev\\zero", "/dev/zero",
                             "../../../../../../../dev/urandom", "pipe.bin", "folder.bin", "real.bin"})
        list += std::string(name) + ",5," + CrcText(std::string(name) == "real.bin" ? "real\n" : name) + "\r\n";
    w.dir.Write("set/list.csv", list);
    const auto before = OutsideTheSet(w);

    w.Load("list.csv");
    ExpectConsistent(w);
    EXPECT_TRUE(w.ui.Errors.empty()) << w.ui.Errors.front();
    EXPECT_EQ(MarkOf(w, "real.bin"), "○");
    EXPECT_EQ(w.form.EntryCount, 11);

    // Dropped devices, pipes and folders are refused or passed over; the search does not read pipes.
    const std::vector<std::string> dropped = {"/dev/zero", w.dir / "set/pipe.bin", w.dir / "set/folder.bin",
                                              w.dir / "elsewhere/pipe2.bin"};
    w.Click([&] { w.form.FilesDropped(dropped); });
    ExpectConsistent(w);
    w.Tick(2);
    w.SearchFrom(w.elsewhere);
    ExpectConsistent(w);
    w.Tick(2);
    w.Click([&] { w.form.FileChangeCmdClick(); });
    ExpectConsistent(w);
    EXPECT_EQ(OutsideTheSet(w), before);
}

TEST(HostileLists, AListThatIsAFolderOrAPipeEndsWithAnErrorWithoutWaiting) {
    FaultWorld w;
    w.dir.MakeFolder("set/folder.sfv");
    ASSERT_EQ(::mkfifo((w.dir / "set/pipe.sfv").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((w.dir / "set/pipe.csv").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((w.dir / "set/pipe.txt").c_str(), 0600), 0);
    for (const char* name : {"folder.sfv", "pipe.sfv", "pipe.csv", "pipe.txt"}) {
        SCOPED_TRACE(name);
        const std::size_t errors = w.ui.Errors.size();
        w.Load(name);
        ExpectConsistent(w);
        EXPECT_EQ(w.ui.Errors.size(), errors + 1);
        // The same file given on the command line, dropped, or re-read from the status bar.
        w.Click([&] { w.form.OpenCommandLineList(w.dir / ("set/" + std::string(name))); }, true);
        ExpectConsistent(w);
        const std::vector<std::string> dropped = {w.dir / ("set/" + std::string(name))};
        w.Click([&] { w.form.FilesDropped(dropped); });
        ExpectConsistent(w);
        w.Click([&] { w.form.StatusClick(); }, true);
        ExpectConsistent(w);
    }
}

TEST(HostileLists, NulBytesInNamesNeverReachTheFileSystemCutShort) {
    FaultWorld w;
    // "alpha.txt" exists; the entry "alpha.txt<NUL>tail" is another name and must not be taken for it.
    w.dir.Write("set/alpha.txt", "alpha\n");
    w.dir.Write("set/other.bin", "beta\n");
    const std::string alpha = std::string("alpha.txt\0tail", 14), beta = std::string("beta.txt\0tail", 13);
    w.dir.Write("set/list.sfv", alpha + " " + CrcText("something else\n") + "\r\n" + beta + " " + CrcText("beta\n") +
                                    "\r\nalpha.txt " + CrcText("alpha\n") + "\r\n");
    w.Load("list.sfv");
    ExpectConsistent(w);
    EXPECT_EQ(MarkOf(w, alpha), "－");
    EXPECT_EQ(MarkOf(w, "alpha.txt"), "○");
    EXPECT_EQ(MarkOf(w, beta), "！");

    // The rename does not put other.bin under the cut-short name "beta.txt".
    w.Tick(0);
    w.Click([&] { w.form.FileChangeCmdClick(); });
    ExpectConsistent(w);
    EXPECT_TRUE(w.dir.Exists("set/other.bin"));
    EXPECT_FALSE(w.dir.Exists("set/beta.txt"));
    EXPECT_TRUE(w.ui.Errors.empty());
    ASSERT_FALSE(w.ui.Messages.empty());
    EXPECT_EQ(w.ui.Messages.back().rfind(texts::OutsideNamesHead, 0), 0u);

    // The file system itself refuses such a path instead of cutting it.
    FileSystem& real = RealFs();
    EXPECT_FALSE(real.FileExists(w.dir / alpha));
    EXPECT_THROW(real.OpenRead(w.dir / alpha), IoError);
    EXPECT_THROW(real.Create(w.dir / beta), IoError);
    EXPECT_THROW(real.RenameFile(w.dir / "set/other.bin", w.dir / ("set/" + beta)), IoError);
    EXPECT_THROW(real.DeleteFile(w.dir / ("set/" + alpha)), IoError);
    EXPECT_TRUE(w.dir.Exists("set/alpha.txt"));
}

TEST(HostileLists, ControlBytesInNamesStayBytesFromListToDisk) {
    FaultWorld w;
    const std::vector<std::string> names = {"a\x01"
                                            "b.txt",
                                            "esc\x1b[31mred.txt",
                                            "tab\there.txt",
                                            "bell\x07.bin",
                                            "del\x7f.bin",
                                            "high\xff\xfe.bin"};
    std::string list;
    for (const std::string& n : names) {
        w.dir.Write("set/" + n, "content of " + n);
        list += n + " " + CrcText("content of " + n) + "\r\n";
    }
    w.dir.Write("set/list.sfv", list);
    w.Load("list.sfv");
    ExpectConsistent(w);
    for (const std::string& n : names)
        EXPECT_EQ(MarkOf(w, n), "○") << n;
}

TEST(HostileLists, AHundredThousandEntriesOfOneCrcAllFindTheOneFile) {
    FaultWorld w;
    w.dir.Write("set/keep.bin", "kept content\n");
    const std::string crc = CrcText("kept content\n");
    std::string plain, sizes = "; Generated by QuickSFV v2.36\r\n;\r\n", sizeLines, csv;
    for (int i = 0; i < 100000; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "file%06d.bin", i);
        plain += std::string(name) + " " + crc + "\r\n";
        sizes += ";           13  00:00.00 2026-12-08 " + std::string(name) + "\r\n";
        sizeLines += std::string(name) + " " + crc + "\r\n";
        csv += std::string(name) + ",13," + crc + "\r\n";
    }
    w.dir.Write("set/plain.sfv", plain);
    w.dir.Write("set/sizes.sfv", sizes + sizeLines);
    w.dir.Write("set/list.csv", csv);
    for (const char* list : {"plain.sfv", "sizes.sfv", "list.csv"}) {
        SCOPED_TRACE(list);
        w.Load(list);
        ExpectConsistent(w);
        EXPECT_TRUE(w.ui.Errors.empty());
        // Every entry keeps its row and finds the one file under its other name.
        EXPECT_EQ(w.form.EntryCount, 100000);
        ASSERT_EQ(w.form.CrcList.Count(), 100000);
        EXPECT_EQ(MarkOf(w, w.form.EntryTable[0].FileName), "！");
        EXPECT_EQ(MarkOf(w, w.form.EntryTable[99999].FileName), "！");
        EXPECT_EQ(w.form.SameFileCount, 100000);
    }
}

TEST(HostileLists, LinesOfTenMegabytesAreReadWithBoundedMemory) {
    FaultWorld w;
    const std::string longName(10 << 20, 'n');
    const std::string garbage(10 << 20, 'g');
    w.dir.Write("set/small.bin", "small\n");
    const std::string entry = "small.bin " + CrcText("small\n") + "\r\n";
    // A ten-megabyte entry name, a ten-megabyte line of no use, a ten-megabyte first line.
    w.dir.Write("set/longname.sfv", longName + " 12345678\r\n" + entry);
    w.dir.Write("set/garbage.sfv", garbage + "\r\n" + entry);
    w.dir.Write("set/first.sfv", "; " + garbage + "QuickSFV\r\n;\r\n" + entry);
    w.dir.Write("set/long.csv",
                longName + ",5," + CrcText("x") + "\r\n" + "small.bin,6," + CrcText("small\n") + "\r\n");
    w.dir.Write("set/long.crc", std::string(64, '-') + "\r\n" + garbage + "\r\n" + std::string(64, '-') + "\r\n");
    const std::int64_t before = PeakMemory();
    for (const char* list : {"longname.sfv", "garbage.sfv", "first.sfv", "long.csv", "long.crc"}) {
        SCOPED_TRACE(list);
        w.Load(list);
        ExpectConsistent(w);
        if (std::string(list) == "long.csv") {
            EXPECT_EQ(MarkOf(w, "small.bin"), "○"); // read past the long line
        }
        w.Click([&] { w.form.StatusClick(); }, true);
        ExpectConsistent(w);
    }
    // Each list holds about 10 MiB; a few copies of a line at a time are expected, not more.
    if (MemoryIsMeasurable) {
        EXPECT_LT(PeakMemory() - before, std::int64_t{8} * (10 << 20) + (32 << 20));
    }
}

// A list too large for the memory left: the load ends with the error box, not the program.
class OutOfMemoryOnLists : public FaultyFileSystem {
public:
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        if (ExtractFileExt(path) == ".sfv") throw std::bad_alloc();
        return FaultyFileSystem::OpenRead(path);
    }
};

TEST(HostileLists, RunningOutOfMemoryEndsTheLoadWithTheErrorBox) {
    FakeUi ui;
    OutOfMemoryOnLists fs;
    TForm1 form(ui, fs);
    TempDir dir;
    form.ListPath = dir.Write("list.sfv", "a.bin 12345678\r\n");
    EXPECT_TRUE(form.RunCommand([&] { form.OpenListFile(); }, true));
    ASSERT_EQ(ui.Errors.size(), 1u);
    EXPECT_EQ(ui.Errors[0], "Out of memory");
    EXPECT_FALSE(ui.Busy);
    EXPECT_EQ(form.CrcList.Count(), form.EntryCount);
    EXPECT_TRUE(form.RunCommand([] {}));
}

// A list of one line of a gigabyte: read to its end, memory within a small multiple of its size. It
// writes a gigabyte to the temporary folder and takes a while, so it runs only when asked for:
//   test_robust --gtest_also_run_disabled_tests --gtest_filter='*Gigabyte*'
TEST(HostileLists, DISABLED_AGigabyteListOfOneLine) {
    FaultWorld w;
    constexpr std::int64_t Size = std::int64_t{1} << 30;
    {
        std::ofstream out(w.dir / "set/huge.sfv", std::ios::binary);
        const std::string block(1 << 20, 'h');
        for (std::int64_t done = 0; done < Size; done += static_cast<std::int64_t>(block.size()))
            out << block;
        out << " 12345678";
        ASSERT_TRUE(out.good());
    }
    const std::int64_t before = PeakMemory();
    w.Load("huge.sfv");
    ExpectConsistent(w);
    EXPECT_TRUE(w.ui.Errors.empty());
    EXPECT_EQ(w.form.EntryCount, 1);
    const std::int64_t grown = PeakMemory() - before;
    std::printf("peak memory grew by %lld MiB for a list of %lld MiB\n", static_cast<long long>(grown >> 20),
                static_cast<long long>(Size >> 20));
    if (MemoryIsMeasurable) {
        EXPECT_LT(grown, 6 * Size);
    }
}

} // namespace
} // namespace tv::test
