// Links, swaps and names the system refuses: a repair or duplicate deletion never loses the only copy
// and never changes anything outside the list's folder.
#include "repair/RepairHarness.h"

#include <gtest/gtest.h>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tv::test {
namespace {

TEST(Confinement, LinkedNameIsNeverTheKeptCopyOfItsOwnTarget) {
    RepairHarness h;
    h.Put("z.bin", "only copy");
    ASSERT_EQ(::symlink("z.bin", (h.base + "/data.bin").c_str()), 0);
    h.form.ClickDuplicateOption(h.form.DblDel);
    h.LoadEntries({{"data.bin", "only copy"}}, false);
    EXPECT_EQ(h.dir.Read("set/z.bin"), "only copy");
}

TEST(Confinement, HardLinkIsOneCopy) {
    RepairHarness h;
    h.Put("z.bin", "only copy");
    ASSERT_EQ(::link((h.base + "/z.bin").c_str(), (h.base + "/data.bin").c_str()), 0);
    h.form.ClickDuplicateOption(h.form.DblDel);
    h.LoadEntries({{"data.bin", "only copy"}}, false);
    EXPECT_EQ(h.dir.Read("set/z.bin"), "only copy");
    EXPECT_EQ(h.dir.Read("set/data.bin"), "only copy");
}

struct Hostile {
    const char* Title;
    // Prepares the set after the find and before the rename; returns the path that must stay untouched.
    void (*Arrange)(RepairHarness& h);
    const char* Name; // the entry's name
};

const Hostile hostileCases[] = {
    // A sub-folder of the set swapped for a link to a folder outside: nothing is written there.
    {"SubFolderSwappedForLink",
     [](RepairHarness& h) {
         h.dir.MakeFolder("outside");
         ASSERT_EQ(::symlink((h.dir.Path() + "/outside").c_str(), (h.base + "/sub").c_str()), 0);
     },
     "sub/a.bin"},
    // The found file replaced by a link to an outside file: its content is not brought in.
    {"SourceSwappedForLink",
     [](RepairHarness& h) {
         h.Write("outside/secret", "outside content");
         const std::string src = h.dir.Path() + "/elsewhere/a";
         ASSERT_EQ(::unlink(src.c_str()), 0);
         ASSERT_EQ(::symlink((h.dir.Path() + "/outside/secret").c_str(), src.c_str()), 0);
     },
     "a.bin"},
    // The found file replaced by a second name of the list file: the list is never brought in as content.
    {"SourceSwappedForHardLinkToList",
     [](RepairHarness& h) {
         const std::string src = h.dir.Path() + "/elsewhere/a";
         ASSERT_EQ(::unlink(src.c_str()), 0);
         ASSERT_EQ(::link(h.Put("list.sfv", "content a").c_str(), src.c_str()), 0);
     },
     "a.bin"},
    // A 255-byte name whose parking name would be too long: named in the error, the file stays.
    {"ParkingNameTooLong", [](RepairHarness& h) { h.Put(std::string(251, 'n') + ".bin", "old"); }, nullptr},
};

class HostileRename : public ::testing::TestWithParam<Hostile> {};

TEST_P(HostileRename, FailsThatEntryOnlyAndTouchesNothingOutside) {
    const Hostile& c = GetParam();
    RepairHarness h;
    const std::string name = c.Name ? c.Name : std::string(251, 'n') + ".bin";
    const std::string src = h.Write("elsewhere/a", "content a");
    h.Write("elsewhere/b", "content b");
    h.LoadEntries({{name, "content a"}, {"b.bin", "content b"}}, true);
    ASSERT_TRUE(h.Drop({src, h.dir.Path() + "/elsewhere/b"}));
    c.Arrange(h);

    ASSERT_TRUE(h.Rename());
    ASSERT_EQ(h.ui.Errors.size(), 1u);
    EXPECT_NE(h.ui.Errors[0].find(" ("), std::string::npos) << h.ui.Errors[0]; // the system's reason
    EXPECT_EQ(h.dir.Read("set/b.bin"), "content b");                           // the next entry went on
    EXPECT_FALSE(h.dir.Exists("outside/a.bin"));
    EXPECT_FALSE(h.dir.Exists("set/a.bin") && h.dir.Read("set/a.bin") == "outside content");
    EXPECT_FALSE(h.dir.Exists("set/a.bin") && h.dir.Read("set/a.bin") == h.dir.Read("set/list.sfv"));
    if (!c.Name) {
        EXPECT_EQ(h.dir.Read("set/" + name), "old");
    }
    EXPECT_TRUE(h.RowsAgree());
}

INSTANTIATE_TEST_SUITE_P(Faults, HostileRename, ::testing::ValuesIn(hostileCases),
                         [](const auto& p) { return std::string(p.param.Title); });

// A move refused for want of a right names the folder that refused it: the source's folder when only it
// is read-only, never that folder when the target's is. Run as an ordinary user, whom the modes bind.
TEST(Confinement, RefusedMoveNamesTheFolderThatRefused) {
    struct Case {
        bool SourceReadOnly, TargetReadOnly, NamesSource;
    };
    const Case cases[] = {{true, false, true}, {false, true, false}};
    for (const Case& c : cases) {
        TempDir dir;
        const std::string src = dir.Path() + "/src", dst = dir.Path() + "/dst";
        dir.Write("src/f.bin", "moved");
        std::filesystem::create_directory(dst);
        if (::geteuid() == 0) {
            for (const std::string& p : {dir.Path(), src, src + "/f.bin", dst}) {
                ASSERT_EQ(::chown(p.c_str(), 65534, 65534), 0);
            }
        }
        ::chmod(src.c_str(), c.SourceReadOnly ? 0555 : 0755);
        ::chmod(dst.c_str(), c.TargetReadOnly ? 0555 : 0755);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
            RealFileSystem fs;
            try {
                fs.MoveBeneath(src, "f.bin", FileIdentity{}, dst, "g.bin");
            } catch (const IoError& e) {
                ::_exit((e.Path() == src) == c.NamesSource ? 0 : 1);
            }
            ::_exit(2);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ::chmod(src.c_str(), 0755);
        ::chmod(dst.c_str(), 0755);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), 0) << "source read-only " << c.SourceReadOnly;
    }
}

TEST(Confinement, ListFileIsNeverParked) {
    RepairHarness h;
    const std::string src = h.Write("elsewhere/a", "content a");
    h.LoadEntries({{"list.sfv", "content a"}}, true);
    const std::string before = h.dir.Read("set/list.sfv");
    ASSERT_TRUE(h.Drop({src}));
    ASSERT_TRUE(h.Rename());
    EXPECT_EQ(h.dir.Read("set/list.sfv"), before);
    EXPECT_EQ(h.dir.Read("elsewhere/a"), "content a");
    EXPECT_EQ(h.ui.Errors.size(), 1u);
}

} // namespace
} // namespace tv::test
