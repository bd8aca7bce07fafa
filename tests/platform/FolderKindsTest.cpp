// A folder listed for names and kinds only tells every entry as the listing with sizes tells it: from
// the listing's type field, or, where the file system leaves that out, from a look at the entry itself.
#include "platform/FileSystem.h"
#include "platform/FolderKinds.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <map>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace tv {
namespace {

using test::TempDir;

std::string Flags(const FolderEntry& e) {
    return std::string(e.IsFolder ? "folder " : "") + (e.IsLink ? "link " : "") + (e.IsHidden ? "hidden " : "") +
           (e.IsSpecial ? "special " : "") + "|";
}

TEST(FolderKinds, EachEntryIsToldAsTheListingWithSizesTellsIt) {
    TempDir dir;
    dir.Write("set/plain.bin", "p");
    dir.Write("set/.dot.bin", "d");
    dir.MakeFolder("set/sub");
    dir.MakeFolder("set/.hidden");
    std::filesystem::create_symlink("plain.bin", dir / "set/file-link");
    std::filesystem::create_directory_symlink("sub", dir / "set/folder-link");
    std::filesystem::create_symlink("nothing", dir / "set/dangling");
    ASSERT_EQ(::mkfifo((dir / "set/pipe").c_str(), 0600), 0);
    const std::string set = dir / "set";

    RealFileSystem fs;
    std::map<std::string, std::string> sized, kinds, unknown, listed;
    for (const FolderEntry& e : fs.ListFolder(set))
        sized[e.Name] = Flags(e);
    for (const FolderEntry& e : fs.ListFolderKinds(set)) {
        kinds[e.Name] = Flags(e);
        EXPECT_EQ(e.Size, 0) << e.Name;
    }
    // Every entry once more with its type left out, as some file systems list them, and as listed.
    const int folder = ::open(set.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    DIR* d = ::opendir(set.c_str());
    ASSERT_NE(d, nullptr);
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        FolderEntry told;
        if (KindFromListing(folder, e->d_name, DT_UNKNOWN, told)) unknown[name] = Flags(told);
        FolderEntry typed;
        if (KindFromListing(folder, e->d_name, e->d_type, typed)) listed[name] = Flags(typed);
    }
    ::closedir(d);

    const std::map<std::string, std::string> expected = {
        {"plain.bin", "|"},           {".dot.bin", "hidden |"},           {"sub", "folder |"},
        {".hidden", "folder hidden |"}, {"file-link", "link |"},           {"folder-link", "folder link |"},
        {"pipe", "hidden special |"}, // the dangling link is left out, as the listing with sizes leaves it out
    };
    EXPECT_EQ(sized, expected);
    EXPECT_EQ(kinds, expected);
    EXPECT_EQ(unknown, expected);
    EXPECT_EQ(listed, expected);

    // A name gone since the listing: with its type told it is still named, without it left out.
    FolderEntry gone;
    EXPECT_TRUE(KindFromListing(folder, "gone.bin", DT_REG, gone));
    EXPECT_FALSE(gone.IsFolder || gone.IsLink || gone.IsHidden || gone.IsSpecial);
    EXPECT_FALSE(KindFromListing(folder, "gone.bin", DT_UNKNOWN, gone));
    ::close(folder);
}

} // namespace
} // namespace tv
