// The read path of a folder scan: files the listing vouched for are read ahead (small ones whole, in
// batches), yet a file changed since the listing is judged exactly as an unhinted read judges it; reads
// leave access times alone, and files of another owner are still read.
#include "core/Crc32.h"
#include "core/FileCrc32.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tv {
namespace {

std::uint32_t CrcOf(const std::string& s) {
    return Crc32Update(0xFFFFFFFFu, s.data(), s.size()) ^ 0xFFFFFFFFu;
}

// The CRC as the scan reads it, or nullopt when the read fails.
std::optional<std::uint32_t> ReadAsListed(FileSystem& fs, const std::string& path, std::int64_t listed) {
    try {
        return FileCrc32AsListed(fs, path, listed);
    } catch (const IoError&) {
        return std::nullopt;
    }
}

TEST(ReadPath, FilesChangedSinceTheListingAreJudgedAsWithoutHints) {
    struct Case {
        const char* name;
        std::string listed, now; // content at the listing and at the read
        bool readable;           // false: the read fails (shrunk, or no longer a file)
    };
    const std::string k = test::RandomBytes(1024, 7), big = test::RandomBytes(300 << 10, 8);
    const std::vector<Case> cases = {
        {"same.bin", k, k, true},
        {"empty.bin", "", "", true},
        {"grown.bin", k, k + "x", true},
        {"grown-from-empty.bin", "", "xyz", true},
        {"shrunk.bin", k, k.substr(1), false},
        {"emptied.bin", k, "", false},
        {"gone.bin", k, "", false},
        {"folder.bin", k, "", false},
        {"large.bin", big, big, true}, // beyond the batched size: read as before
        {"large-grown.bin", big, big + "y", true},
    };
    for (bool hinted : {true, false}) {
        SCOPED_TRACE(hinted ? "hinted" : "plain");
        test::TempDir dir;
        for (const Case& c : cases)
            dir.Write(c.name, c.listed);
        for (const Case& c : cases) {
            const std::string name = c.name;
            if (name == "gone.bin" || name == "folder.bin") std::filesystem::remove(dir / name);
            if (name == "folder.bin") dir.MakeFolder(name);
            else if (name != "gone.bin") dir.Write(name, c.now);
        }
        RealFileSystem fs;
        if (hinted)
            for (const Case& c : cases)
                fs.WillRead(dir / c.name, static_cast<std::int64_t>(c.listed.size()));
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name);
            const auto got = ReadAsListed(fs, dir / c.name, static_cast<std::int64_t>(c.listed.size()));
            ASSERT_EQ(got.has_value(), c.readable);
            if (c.readable) {
                EXPECT_EQ(*got, CrcOf(c.now));
            }
        }
    }
}

TEST(ReadPath, ReadsLeaveTheAccessTimeAlone) {
    test::TempDir dir;
    const std::string content = test::RandomBytes(2000, 9);
    for (bool hinted : {true, false}) {
        const std::string path = dir.Write(hinted ? "hinted.bin" : "plain.bin", content);
        // An access time older than the change: a relatime file system would write the new one.
        const timespec times[2] = {{978307200, 0}, {0, UTIME_NOW}};
        ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
        RealFileSystem fs;
        if (hinted) fs.WillRead(path, static_cast<std::int64_t>(content.size()));
        EXPECT_EQ(ReadAsListed(fs, path, static_cast<std::int64_t>(content.size())), CrcOf(content));
        struct stat st {};
        ASSERT_EQ(::stat(path.c_str(), &st), 0);
        EXPECT_EQ(st.st_atim.tv_sec, 978307200) << (hinted ? "hinted" : "plain");
    }
}

TEST(ReadPath, FilesOfAnotherOwnerAreReadToo) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to read as another user";
    test::TempDir dir;
    std::filesystem::permissions(dir.Path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_exec |
                                                 std::filesystem::perms::others_exec);
    std::vector<std::string> paths;
    std::vector<std::string> contents;
    for (int i = 0; i < 12; ++i) {
        contents.push_back(test::RandomBytes(100 + static_cast<std::size_t>(i), static_cast<std::uint32_t>(i)));
        std::string name = "f";
        name.append(std::to_string(i)).append(".bin");
        paths.push_back(dir.Write(name, contents.back()));
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // The files are root's: O_NOATIME is refused to anyone else, and the reads must go on without it.
        if (::setuid(65534) != 0) ::_exit(2);
        RealFileSystem fs;
        int failed = 0;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (i >= paths.size() / 2) fs.WillRead(paths[i], static_cast<std::int64_t>(contents[i].size()));
        }
        for (std::size_t i = 0; i < paths.size(); ++i)
            if (ReadAsListed(fs, paths[i], static_cast<std::int64_t>(contents[i].size())) != CrcOf(contents[i]))
                ++failed;
        ::_exit(failed == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

} // namespace
} // namespace tv
