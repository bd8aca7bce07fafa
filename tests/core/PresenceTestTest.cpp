// The presence of an entry's own file, taken from the folder listing, must answer exactly as asking the
// file system would, for every kind of name and folder entry.
#include "core/Matching.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace tv {
namespace {

TEST(PresenceFromListing, AnswersAsTheFileSystemDoes) {
    test::TempDir dir;
    dir.Write("plain.bin", "x");
    dir.Write(".hidden", "x");
    dir.Write("Mixed.Case", "x");
    dir.Write("with space .bin", "x");
    dir.Write("sub/inner.bin", "x");
    dir.MakeFolder("folder.bin");
    std::filesystem::create_symlink(dir / "plain.bin", dir / "link-to-file");
    std::filesystem::create_symlink(dir / "folder.bin", dir / "link-to-folder");
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");

    const std::string folder = dir.Path() + "/";
    const auto listing = RealFs().ListFolder(folder);
    const PresenceTest presence(RealFs(), folder, listing);
    const std::string names[] = {"plain.bin", ".hidden", "Mixed.Case", "mixed.case", "MIXED.CASE", "with space .bin", "with space", "sub",
          "sub/inner.bin", "sub\\inner.bin", "sub\\missing.bin", "folder.bin", "link-to-file", "link-to-folder",
          "dangling", "missing.bin", "", ".", "..", "../" + ExtractFileName(dir.Path()) + "/plain.bin"};
    for (const std::string& name : names) {
        EXPECT_EQ(presence.Exists(name), RealFs().FileExists(JoinPath(folder, name))) << "'" << name << "'";
    }
    // A few that must come out one way whatever the file system says.
    EXPECT_TRUE(presence.Exists(".hidden"));
    EXPECT_TRUE(presence.Exists("sub\\inner.bin"));
    EXPECT_FALSE(presence.Exists("folder.bin"));
    EXPECT_FALSE(presence.Exists("mixed.case"));
}

} // namespace
} // namespace tv
