#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/PositionedRead.h"
#include "platform/ReplacingFile.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>
#include <vector>
#ifndef _WIN32
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace tv {
namespace {

using test::TempDir;

TEST(Paths, JoiningAndSplitting) {
    // The join uses the system's separator, and a list name's "\" becomes it.
#ifdef _WIN32
    const std::string sep = "\\", deeper = "sub\\deeper\\a.bin";
#else
    const std::string sep = "/", deeper = "sub/deeper/a.bin";
#endif
    EXPECT_EQ(JoinPath("/data/set", "a.bin"), "/data/set" + sep + "a.bin");
    EXPECT_EQ(JoinPath("/data/set/", "a.bin"), "/data/set/a.bin");
    EXPECT_EQ(JoinPath("/", "a.bin"), "/a.bin");
    EXPECT_EQ(JoinPath("/data", "sub\\deeper\\a.bin"), "/data" + sep + deeper);
    EXPECT_EQ(ExtractFileDir("/data/set/list.sfv"), "/data/set");
    EXPECT_EQ(ExtractFileDir("/list.sfv"), "/");
    EXPECT_EQ(ExtractFilePath("/data/list.sfv"), "/data/");
    EXPECT_EQ(ExtractFileName("/data/list.sfv"), "list.sfv");
    EXPECT_EQ(ExtractFileExt("/da.ta/list"), "");
    EXPECT_EQ(ExtractFileExt("/data/set.part1.sfv"), ".sfv");
}

TEST(Paths, ExtensionSubstringTest) {
    const char* joined = ".CRC.CSV.SFV";
    EXPECT_TRUE(ExtensionIn("a.sfv", joined));
    EXPECT_TRUE(ExtensionIn("a.Csv", joined));
    EXPECT_TRUE(ExtensionIn("a.c", joined)); // a piece of the joined text
    EXPECT_TRUE(ExtensionIn("a.s", joined));
    EXPECT_FALSE(ExtensionIn("a.txt", joined));
    EXPECT_FALSE(ExtensionIn("readme", joined)); // never an empty extension
}

TEST(Paths, NamesThatLeaveTheFolder) {
    for (const char* bad : {"..\\..\\x", "../x", "a/../../x", "/etc/passwd", "\\windows\\x", "C:\\x", "c:x", ".."})
        EXPECT_TRUE(NameEscapesFolder(bad)) << bad;
    for (const char* good : {"a.bin", "sub\\a.bin", "..a.bin", "a..b", "sub/.../x", ".hidden"})
        EXPECT_FALSE(NameEscapesFolder(good)) << good;
}

TEST(Paths, ListNamesInOneSpelling) {
    const struct {
        const char* Name;
        bool Literal, Cp932;
        const char* Tidy;
    } cases[] = {
        {"./a.bin", false, false, "a.bin"},
        {"././sub/./b.bin", false, false, "sub/b.bin"},
        {"sub//b.bin", false, false, "sub/b.bin"},
        {".\\sub\\\\b.bin", false, false, "sub\\b.bin"},
        {"/data//./a.bin", false, false, "/data/a.bin"},
        {"//server/share/a.bin", false, false, "//server/share/a.bin"},
        {"sub/", false, false, "sub/"},
        {"./", false, false, "./"},
        {".", false, false, "."},
        {"..a/.b/./c.", false, false, "..a/.b/c."},
        {"../x", false, false, "../x"}, // ".." is no spelling to drop: it leads elsewhere
        // An escaped name's backslashes are characters; a CP932 name's 0x5C second bytes too.
        {"a\\\\b/./c", true, false, "a\\\\b/c"},
        {"\x95\x5C\\\\x.bin", false, true, "\x95\x5C\\x.bin"},
        {"\x95\x5C\\\\x.bin", false, false, "\x95\\x.bin"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TidyListName(c.Name, c.Literal, c.Cp932), c.Tidy) << c.Name;
        std::string inPlace = c.Name;
        TidyListNameInPlace(inPlace, c.Literal, c.Cp932);
        EXPECT_EQ(inPlace, c.Tidy) << c.Name;
    }

    EXPECT_EQ(NameBeneath("/data/sub/a.bin", "/data/"), "sub/a.bin");
    EXPECT_EQ(NameBeneath("/data/a.bin", "/data"), "a.bin");
    EXPECT_EQ(NameBeneath("/a.bin", "/"), "a.bin");
    EXPECT_EQ(NameBeneath("/database/a.bin", "/data"), std::nullopt);
    EXPECT_EQ(NameBeneath("/data", "/data"), std::nullopt);
#ifdef _WIN32
    EXPECT_EQ(NameBeneath("C:/Data\\sub/a.bin", "c:\\data\\"), "sub/a.bin");
    for (const char* abs : {"C:\\a.bin", "c:/a.bin", "\\\\server\\share\\a.bin", "//server/share/a"})
        EXPECT_TRUE(IsAbsoluteName(abs)) << abs;
    for (const char* rel : {"a.bin", "sub\\a.bin", "C:a.bin", "\\a.bin"})
        EXPECT_FALSE(IsAbsoluteName(rel)) << rel;
    EXPECT_EQ(FileNameKey("Sub/a.BIN"), FileNameKey("sub\\A.bin"));
#else
    EXPECT_EQ(NameBeneath("/Data/a.bin", "/data"), std::nullopt);
    EXPECT_TRUE(IsAbsoluteName("/data/a.bin"));
    for (const char* rel : {"a.bin", "sub/a.bin", "C:/a.bin", "\\a.bin"})
        EXPECT_FALSE(IsAbsoluteName(rel)) << rel;
#endif
}

// A change that fails raises IoError naming the path it failed on, with the system's error kept: a
// taken name is refused, never replaced, and nothing is left half made.
TEST(RealFileSystem, FailedChangesRaiseTheirPathAndCause) {
    TempDir dir;
    RealFileSystem fs;
    const std::string a = dir.Write("a", "A"), b = dir.Write("b", "B"), gone = dir / "gone", e = dir / "e";
    using Cause = bool (*)(const std::error_code&);
    const Cause taken = IsNameTaken, absent = IsNotFound;
    const struct {
        const char* what;
        std::function<void()> change;
        std::string path;
        Cause cause;
    } cases[] = {
        {"rename onto a taken name", [&] { fs.RenameFile(a, b); }, b, taken},
        {"copy onto a taken name", [&] { fs.CopyFile(a, b); }, b, taken},
        {"rename of a missing file", [&] { fs.RenameFile(gone, e); }, gone, absent},
        {"copy of a missing file", [&] { fs.CopyFile(gone, e); }, gone, absent},
        {"delete of a missing file", [&] { fs.DeleteFile(gone); }, gone, absent},
        {"trash of a missing file", [&] { fs.MoveToTrash(gone); }, gone, absent},
        {"folder in a missing folder", [&] { fs.CreateFolder(dir / "gone/sub"); }, dir / "gone/sub", absent},
        {"folder that exists", [&] { fs.CreateFolder(dir.Path()); }, dir.Path(), taken},
    };
    for (const auto& c : cases) {
        try {
            c.change();
            ADD_FAILURE() << c.what << ": did not fail";
        } catch (const IoError& err) {
            EXPECT_EQ(err.Path(), c.path) << c.what;
            EXPECT_TRUE(c.cause(err.Code())) << c.what << ": " << err.Code().message();
            EXPECT_FALSE(err.Reason().empty()) << c.what;
        }
    }
    EXPECT_EQ(dir.Read("b"), "B");
    EXPECT_FALSE(dir.Exists("e"));
    fs.CopyFile(a, dir / "c");
    fs.RenameFile(a, dir / "d");
    EXPECT_EQ(dir.Read("c"), "A");
    EXPECT_EQ(dir.Read("d"), "A");
    EXPECT_FALSE(dir.Exists("a"));
}

// A real file reads at offsets on every system (the workers spread a big file's reads over threads):
// a read at an offset gives those bytes, short at the end and none past it, and leaves the plain reads
// where they were; reads at offsets from several threads at once each get their own bytes.
TEST(RealFileSystem, ReadsAtOffsetsLeaveThePlainReadsAlone) {
    TempDir dir;
    const std::size_t size = (3u << 20) + 123;
    const std::string bytes = test::RandomBytes(size, 41);
    const std::string path = dir.Write("big.bin", bytes);
    std::unique_ptr<InputFile> file = RealFs().OpenRead(path);
    auto* at = dynamic_cast<PositionedRead*>(file.get());
    ASSERT_NE(at, nullptr);
    std::string plain(1000, '\0');
    ASSERT_EQ(file->Read(plain.data(), 1000), 1000u);
    const struct {
        std::int64_t offset;
        std::size_t want, got;
    } cases[] = {
        {0, 10, 10},
        {static_cast<std::int64_t>(size) - 5, 10, 5},             // short at the end
        {static_cast<std::int64_t>(size), 10, 0},                 // at the end
        {static_cast<std::int64_t>(size) + 4096, 10, 0},          // past it
        {(std::int64_t{1} << 20) + 7, 1u << 20, 1u << 20},        // a block across block edges
        {std::int64_t{1} << 32, 10, 0},                           // an offset beyond 32 bits
    };
    for (const auto& c : cases) {
        std::string got(c.want, '\0');
        ASSERT_EQ(at->ReadAt(got.data(), c.want, c.offset), c.got) << c.offset;
        EXPECT_EQ(got.substr(0, c.got), bytes.substr(static_cast<std::size_t>(std::min<std::int64_t>(c.offset, size)), c.got))
            << c.offset;
    }
    // The plain reads go on after their first 1000 bytes, to the end.
    std::string rest;
    for (std::string block(64 << 10, '\0');;) {
        const std::size_t n = file->Read(block.data(), block.size());
        if (n == 0) break;
        rest.append(block, 0, n);
    }
    EXPECT_TRUE(plain + rest == bytes);
    // Several threads at once, each its own pieces.
    constexpr std::size_t piece = 64 << 10;
    std::vector<std::string> pieces(size / piece);
    std::vector<std::thread> threads;
    for (std::size_t t = 0; t < 4; ++t)
        threads.emplace_back([&, t] {
            for (std::size_t k = t; k < pieces.size(); k += 4) {
                pieces[k].resize(piece);
                pieces[k].resize(at->ReadAt(pieces[k].data(), piece, static_cast<std::int64_t>(k * piece)));
            }
        });
    for (std::thread& t : threads)
        t.join();
    for (std::size_t k = 0; k < pieces.size(); ++k)
        EXPECT_TRUE(pieces[k] == bytes.substr(k * piece, piece)) << k;
}

#ifndef _WIN32
// FIFOs and the freedesktop.org trash are POSIX things; the Windows suite tests its recycle bin.
TEST(RealFileSystem, ListingMarksFoldersAndHiddenFiles) {
    TempDir dir;
    dir.Write("plain.txt", "12345");
    dir.Write(".dot", "x");
    dir.MakeFolder("sub");
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    auto entries = RealFs().ListFolder(dir.Path());
    ASSERT_EQ(entries.size(), 4u);
    for (const FolderEntry& e : entries) {
        const bool expected = e.Name == "plain.txt" ? (!e.IsFolder && !e.IsHidden && e.Size == 5)
                              : e.Name == ".dot"    ? e.IsHidden
                              : e.Name == "sub"     ? e.IsFolder
                                                    : e.IsHidden; // the FIFO is no plain file: never read
        EXPECT_TRUE(expected) << e.Name;
    }
}

// A folder of many entries is listed by two threads: every entry is there once, as each alone is listed
// (its kind and size), a dangling link left out, and the listing still paces its caller.
TEST(RealFileSystem, ALargeFolderIsListedWhole) {
    TempDir dir;
    constexpr int files = 5000;
    for (int k = 0; k < files; ++k) {
        std::string name = std::to_string(k);
        name.insert(name.begin(), 'f');
        dir.Write(name, std::string(static_cast<std::size_t>(k % 97), 'x'));
    }
    dir.MakeFolder("sub");
    ASSERT_EQ(::symlink("f7", (dir / "link").c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
    ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
    RealFileSystem fs;
    int paced = 0;
    fs.WhileListing = [&] { ++paced; };
    const std::vector<FolderEntry> entries = fs.ListFolder(dir.Path());
    EXPECT_GT(paced, 0);
    ASSERT_EQ(entries.size(), static_cast<std::size_t>(files) + 3);
    std::set<std::string> seen;
    for (const FolderEntry& e : entries) {
        EXPECT_TRUE(seen.insert(e.Name).second) << e.Name;
        if (e.Name == "sub") {
            EXPECT_TRUE(e.IsFolder && !e.IsLink);
        } else if (e.Name == "link") {
            EXPECT_TRUE(e.IsLink && !e.IsFolder && e.Size == 7 % 97 && e.Object == 0);
        } else if (e.Name == "fifo") {
            EXPECT_TRUE(e.IsSpecial && e.IsHidden);
        } else {
            const int k = std::stoi(e.Name.substr(1));
            EXPECT_EQ(e.Size, k % 97) << e.Name;
            EXPECT_TRUE(!e.IsFolder && !e.IsLink && !e.IsHidden && e.Object != 0) << e.Name;
        }
    }
}

TEST(Trash, AFileOnAnotherVolumeGoesToThatVolumesTrash) {
    TempDir home;
    struct stat shm {
    }, tmp{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(home.Path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev ||
        ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/shm on a volume of its own";
    ::setenv("XDG_DATA_HOME", home.Path().c_str(), 1);
    const std::string path = "/dev/shm/tallyvault-trash-test.bin";
    {
        FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("x", f);
        std::fclose(f);
    }
    EXPECT_NO_THROW(RealFs().MoveToTrash(path));
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_FALSE(RealFs().FileExists(path));
    const std::string trash = "/dev/shm/.Trash-" + std::to_string(::getuid());
    const std::string info = test::ReadFile(trash + "/info/tallyvault-trash-test.bin.trashinfo");
    EXPECT_NE(info.find("Path=tallyvault-trash-test.bin\n"), std::string::npos) << info;
    EXPECT_TRUE(RealFs().FileExists(trash + "/files/tallyvault-trash-test.bin"));
    std::remove((trash + "/info/tallyvault-trash-test.bin.trashinfo").c_str());
    std::remove((trash + "/files/tallyvault-trash-test.bin").c_str());
}

TEST(Trash, ANameAlreadyInTheTrashGetsANumber) {
    TempDir dir;
    ::setenv("XDG_DATA_HOME", (dir / "data").c_str(), 1);
    dir.Write("set/a.bin", "first");
    EXPECT_NO_THROW(RealFs().MoveToTrash(dir / "set/a.bin"));
    dir.Write("set/a.bin", "second");
    EXPECT_NO_THROW(RealFs().MoveToTrash(dir / "set/a.bin"));
    ::unsetenv("XDG_DATA_HOME");
    EXPECT_EQ(dir.Read("data/Trash/files/a.bin"), "first");
    EXPECT_EQ(dir.Read("data/Trash/files/a.bin.2"), "second");
    EXPECT_TRUE(dir.Exists("data/Trash/info/a.bin.2.trashinfo"));
}
#endif

// A thousand leftovers of killed writes do not stop the next write; a temporary file still being
// written by someone else (held open) is left alone.
TEST(ReplacingFile, LeftoversOfKilledWritesGoButHeldOnesStay) {
    TempDir dir;
    for (int n = 1; n <= 1000; ++n)
        dir.Write(".tallyvault-" + std::to_string(n) + ".tmp", "torn");
    ASSERT_EQ(std::remove((dir / ".tallyvault-7.tmp").c_str()), 0);
    auto held = RealFs().CreateNew(dir / ".tallyvault-7.tmp");
    {
        ReplacingFile out(RealFs(), dir / "list.sfv");
        out.WriteLine("a.bin 12345678");
        out.Commit();
    }
    EXPECT_EQ(dir.Read("list.sfv"), "a.bin 12345678\r\n");
    int left = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        left += e.path().filename() != "list.sfv";
    EXPECT_EQ(left, 1) << "only the held file stays, and no new leftover";
    EXPECT_TRUE(dir.Exists(".tallyvault-7.tmp"));
}

// A lock refuses every other taker while held, also in the same process, and goes with its holder; a
// locked file may be deleted while held, and a temporary lock file goes with its lock.
TEST(FileLock, HeldLocksRefuseOthersUntilTheyGo) {
    TempDir dir;
    FileSystem& fs = RealFs();
    const std::string plan = dir / ".list.sfv.tallyvault-plan", side = dir / ".list.sfv.tallyvault-lock";
    auto out = fs.CreateNewLocked(plan);
    EXPECT_EQ(fs.TryLock(plan), nullptr);
    EXPECT_THROW(fs.CreateNewLocked(plan), IoError);
    fs.DeleteFile(plan);
    out.reset();
    try {
        fs.TryLock(plan);
        ADD_FAILURE() << "a lock on a file that is gone";
    } catch (const IoError& e) {
        EXPECT_TRUE(IsNotFound(e)) << e.what();
    }
    dir.Write("plain", "x");
    auto first = fs.TryLock(dir / "plain");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(fs.TryLock(dir / "plain"), nullptr);
    first.reset();
    EXPECT_NE(fs.TryLock(dir / "plain"), nullptr);
    EXPECT_EQ(dir.Read("plain"), "x");
    auto temporary = fs.TryLock(side, true);
    ASSERT_NE(temporary, nullptr);
    EXPECT_TRUE(dir.Exists(".list.sfv.tallyvault-lock"));
    EXPECT_EQ(fs.TryLock(side, true), nullptr);
    temporary.reset();
    EXPECT_FALSE(dir.Exists(".list.sfv.tallyvault-lock"));
}

#ifndef _WIN32
// A write of a list waits while another write of it holds the lock, and a lock left by a killed writer
// holds nothing: the next write takes it and removes its file.
TEST(ReplacingFile, WritesOfOneListTakeTurns) {
    for (const bool killed : {false, true}) {
        SCOPED_TRACE(killed ? "the holder is killed" : "the holder ends");
        TempDir dir;
        dir.Write("list.sfv", "old\r\n");
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        std::fflush(nullptr);
        const pid_t holder = ::fork();
        if (holder == 0) {
            auto lock = RealFs().TryLock(dir / ".list.sfv.tallyvault-lock", true);
            if (::write(ready[1], lock ? "1" : "0", 1) != 1) ::_exit(1);
            if (killed) ::raise(SIGKILL);
            ::usleep(300000);
            ::_exit(0);
        }
        char got = 0;
        ASSERT_EQ(::read(ready[0], &got, 1), 1);
        ASSERT_EQ(got, '1');
        if (killed) ::waitpid(holder, nullptr, 0);
        const auto start = std::chrono::steady_clock::now();
        {
            ReplacingFile out(RealFs(), dir / "list.sfv");
            out.WriteLine("new");
            out.Commit();
        }
        const auto waited = std::chrono::steady_clock::now() - start;
        if (!killed) {
            ::waitpid(holder, nullptr, 0);
            EXPECT_GE(waited, std::chrono::milliseconds(200)) << "the write did not wait for the holder";
        }
        EXPECT_EQ(dir.Read("list.sfv"), "new\r\n");
        EXPECT_FALSE(dir.Exists(".list.sfv.tallyvault-lock"));
        ::close(ready[0]);
        ::close(ready[1]);
    }
}
#endif

} // namespace
} // namespace tv
