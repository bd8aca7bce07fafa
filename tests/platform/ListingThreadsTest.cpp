// A large folder listed with helper threads gives the very listing the caller's thread alone gives, and
// a listing stopped part-way by its pace leaves no thread behind.
#include "platform/FileSystem.h"
#include "platform/ListingThreads.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <sys/stat.h>

// Folders are listed on several threads on POSIX systems only.
#ifndef _WIN32
namespace tv {
namespace {

using test::TempDir;

// Every field a listing fills, in one line.
std::string Described(const FolderEntry& e) {
    return e.Name + " " + std::to_string(e.Size) + (e.IsFolder ? " folder" : "") + (e.IsLink ? " link" : "") +
           (e.IsHidden ? " hidden" : "") + (e.IsSpecial ? " special" : "") + " " + std::to_string(e.Volume) + ":" +
           std::to_string(e.Object) + " " + std::to_string(e.Modified) + " " + std::to_string(e.Changed);
}

std::vector<std::string> Listed(RealFileSystem& fs, const std::string& folder, unsigned threads) {
    const ListingThreads scope(threads);
    std::vector<std::string> out;
    for (const FolderEntry& e : fs.ListFolder(folder))
        out.push_back(Described(e));
    return out;
}

TEST(ListingThreads, ALargeFolderIsListedAsByOneThreadAndStopsWhole) {
    TempDir dir;
    // Sizes vary so that a record described at the wrong place shows; the odd entries are spread over
    // the folder's listing among the plain files.
    for (int i = 0; i < 9000; ++i)
        dir.Write("set/f" + std::to_string(i) + ".bin", std::string(static_cast<std::size_t>(i % 37), 'x'));
    dir.Write("set/.dot.bin", "d");
    dir.MakeFolder("set/sub");
    std::filesystem::create_symlink("f1.bin", dir / "set/file-link");
    std::filesystem::create_symlink("nothing", dir / "set/dangling");
    ASSERT_EQ(::mkfifo((dir / "set/pipe").c_str(), 0600), 0);
    RealFileSystem fs;
    const std::vector<std::string> one = Listed(fs, dir / "set", 1);
    ASSERT_EQ(one.size(), 9000u + 4u); // the dangling link is left out
    for (unsigned threads : {2u, 3u, 4u, 16u})
        EXPECT_EQ(Listed(fs, dir / "set", threads), one) << threads << " threads";
    // Each scope gives back what was set before it.
    {
        const ListingThreads outer(4);
        { const ListingThreads inner(1); EXPECT_EQ(ListingThreads::Now(), 1u); }
        EXPECT_EQ(ListingThreads::Now(), 4u);
    }
    EXPECT_EQ(ListingThreads::Now(), 1u);

    // A stop by the pace: while the names are read, while the first entries are timed, and while the
    // helpers look at theirs (9,000 names pace 35 times; the caller's own part follows the first 512).
    for (int stopAt : {1, 37, 40, 44}) {
        int calls = 0;
        fs.WhileListing = [&] {
            if (++calls == stopAt) throw std::runtime_error("stopped");
        };
        const ListingThreads scope(4);
        EXPECT_THROW(fs.ListFolder(dir / "set"), std::runtime_error) << stopAt;
    }
}

} // namespace
} // namespace tv
#endif
