// Which trash a file of another volume goes to, and which trash folders are refused. Each case runs in
// a child process with a private mount of a fresh tmpfs, so the volume's top is a folder of our own.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tv {
namespace {

using test::TempDir;

constexpr int Skipped = 77;

struct TrashCase {
    const char* what;
    std::function<void(const std::string& vol)> prepare;
    const char* trash; // where the file must land, relative to the volume; "" when it must be refused
};

void TrashInVolume(const TrashCase& c, const std::string& home, const std::string& vol) {
    RealFileSystem fs;
    const std::string uid = std::to_string(::getuid());
    ASSERT_EQ(::mkdir((vol + "/set").c_str(), 0755), 0);
    {
        FILE* f = std::fopen((vol + "/set/a b.bin").c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("content", f);
        std::fclose(f);
    }
    c.prepare(vol);
    std::string trash = c.trash;
    if (const auto at = trash.find("$uid"); at != std::string::npos) trash.replace(at, 4, uid);
    bool moved = false;
    std::string error;
    try {
        fs.MoveToTrash(vol + "/set/a b.bin");
        moved = true;
    } catch (const IoError& e) {
        error = std::string(e.what()) + " " + e.Reason();
    }
    struct stat st {};
    const bool left = ::lstat((vol + "/set/a b.bin").c_str(), &st) == 0;
    if (trash.empty()) {
        EXPECT_FALSE(moved);
        EXPECT_FALSE(error.empty()) << "a refusal says why";
        EXPECT_TRUE(left);
        return;
    }
    EXPECT_TRUE(moved) << error;
    EXPECT_FALSE(left);
    EXPECT_EQ(test::ReadFile(vol + "/" + trash + "/files/a b.bin"), "content");
    const std::string info = test::ReadFile(vol + "/" + trash + "/info/a b.bin.trashinfo");
    EXPECT_EQ(info.rfind("[Trash Info]\nPath=set/a%20b.bin\nDeletionDate=", 0), 0u) << info;
    EXPECT_NE(::access((home + "/Trash/files/a b.bin").c_str(), F_OK), 0) << "not the home trash";
}

TEST(TrashVolumes, TheVolumesOwnTrashIsChosenAndUnsafeOnesAreRefused) {
    const std::string uid = std::to_string(::getuid());
    auto mk = [](const std::string& p, mode_t m) {
        ASSERT_EQ(::mkdir(p.c_str(), m), 0);
        ASSERT_EQ(::chmod(p.c_str(), m), 0); // past the umask
    };
    auto link = [](const std::string& to, const std::string& at) { ASSERT_EQ(::symlink(to.c_str(), at.c_str()), 0); };
    const TrashCase cases[] = {
        {"no shared trash", [](const std::string&) {}, ".Trash-$uid"},
        {"a sticky shared trash", [&](const std::string& v) { mk(v + "/.Trash", 01777); }, ".Trash/$uid"},
        {"a shared trash without the sticky bit", [&](const std::string& v) { mk(v + "/.Trash", 0777); },
         ".Trash-$uid"},
        {"a shared trash that is a link",
         [&](const std::string& v) {
             mk(v + "/shared", 01777);
             link("shared", v + "/.Trash");
         },
         ".Trash-$uid"},
        {"a shared trash whose folder for us is someone else's",
         [&](const std::string& v) {
             mk(v + "/.Trash", 01777);
             mk(v + "/.Trash/" + uid, 0700);
             ASSERT_EQ(::chown((v + "/.Trash/" + uid).c_str(), 4242, 4242), 0);
         },
         ".Trash-$uid"},
        {"our trash is a link",
         [&](const std::string& v) {
             mk(v + "/elsewhere", 0700);
             link("elsewhere", v + "/.Trash-" + uid);
         },
         ""},
        {"our trash is someone else's",
         [&](const std::string& v) {
             mk(v + "/.Trash-" + uid, 0700);
             ASSERT_EQ(::chown((v + "/.Trash-" + uid).c_str(), 4242, 4242), 0);
         },
         ""},
        {"our trash's files folder is a link",
         [&](const std::string& v) {
             mk(v + "/.Trash-" + uid, 0700);
             mk(v + "/elsewhere", 0700);
             link("../elsewhere", v + "/.Trash-" + uid + "/files");
         },
         ""},
    };
    for (const TrashCase& c : cases) {
        SCOPED_TRACE(c.what);
        TempDir home, mountPoint;
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // Only this process sees the new volume; the root needs the rights to mount one.
            if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                ::mount("tallyvault-trash", mountPoint.Path().c_str(), "tmpfs", 0, "mode=755") != 0)
                ::_exit(Skipped);
            test::SetEnv("XDG_DATA_HOME", home.Path());
            TrashInVolume(c, home.Path(), mountPoint.Path());
            ::_exit(::testing::Test::HasFailure() ? 1 : 0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFEXITED(status));
        if (WEXITSTATUS(status) == Skipped) GTEST_SKIP() << "needs the right to mount a tmpfs";
        EXPECT_EQ(WEXITSTATUS(status), 0) << "see the failures printed above";
    }
}

// A link is trashed as the link, on the volume of the link: what it points to stays where it is.
TEST(TrashVolumes, ALinkGoesToTheTrashOfItsOwnVolume) {
    TempDir home, dir;
    struct stat shm {
    }, tmp{};
    if (::stat("/dev/shm", &shm) != 0 || ::stat(dir.Path().c_str(), &tmp) != 0 || shm.st_dev == tmp.st_dev ||
        ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "needs /dev/shm on a volume of its own";
    const std::string target = "/dev/shm/tallyvault-trash-link-target-" + std::to_string(::getpid());
    {
        FILE* f = std::fopen(target.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fclose(f);
    }
    ASSERT_EQ(::symlink(target.c_str(), (dir / "link.bin").c_str()), 0);
    test::SetEnv("XDG_DATA_HOME", home.Path());
    EXPECT_NO_THROW(RealFileSystem().MoveToTrash(dir / "link.bin"));
    test::UnsetEnv("XDG_DATA_HOME");
    struct stat st {};
    EXPECT_EQ(::lstat((home / "Trash/files/link.bin").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(::stat(target.c_str(), &st), 0) << "the file the link pointed to stays";
    std::remove(target.c_str());
}

} // namespace
} // namespace tv
