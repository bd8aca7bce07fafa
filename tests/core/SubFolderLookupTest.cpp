// Names with a folder in them answered from each folder's one listing must come out as asking the file
// system would, with the size it gives; a folder that is not there answers for all its names at once.
#include "core/SubFolderLookup.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tv {
namespace {

// The real file system, counting listings and existence tests, and refusing to list chosen folders.
class CountingFs : public RealFileSystem {
public:
    std::set<std::string> Refused;
    std::map<std::string, int> Listed;
    std::map<std::string, int> Looked;
    int Asked = 0;
    bool FolderExists(const std::string& p) override {
        ++Looked[p];
        return RealFileSystem::FolderExists(p);
    }
    bool FileExists(const std::string& p) override {
        ++Asked;
        return RealFileSystem::FileExists(p);
    }
    std::vector<FolderEntry> ListFolder(const std::string& p) override {
        ++Listed[p];
        if (Refused.count(p)) throw IoErrorFromErrno(EACCES, p);
        return RealFileSystem::ListFolder(p);
    }
};

TEST(SubFolderLookup, AnswersAsTheFileSystemDoesListingEachFolderOnce) {
    test::TempDir dir;
    dir.Write("sub/a.bin", "abc");
    dir.Write("sub/.hidden", "h");
    dir.Write("sub/deeper/b.bin", "bb");
    dir.Write("locked/c.bin", "c");
    dir.Write("plain.bin", "p");
    dir.MakeFolder("sub/folder.bin");
    std::vector<std::string> names = {"sub/a.bin",        "sub/A.BIN",     "sub/.hidden",   "sub/deeper/b.bin",
                                      "sub/deeper",       "sub/folder.bin", "gone/x.bin",   "gone/y.bin",
                                      "gone/deeper/z.bin", "plain.bin/x",   "sub/.",         "sub/..",
                                      "sub/",             "sub//a.bin",    "sub/../plain.bin", "locked/c.bin",
                                      "locked/none.bin",  std::string("sub/a\0b", 7)};
    const int oneByOne = 6; // "sub/.", "sub/..", "sub/", the NUL name, both of the locked folder
#ifndef _WIN32
    namespace fs = std::filesystem;
    fs::create_directory_symlink(test::PathOf(dir / "sub"), test::PathOf(dir / "linked"));
    fs::create_symlink("a.bin", test::PathOf(dir / "sub/link.bin"));
    fs::create_symlink("nowhere", test::PathOf(dir / "sub/dangling"));
    ASSERT_EQ(::mkfifo((dir / "sub/pipe").c_str(), 0600), 0);
    names.insert(names.end(), {"linked/a.bin", "linked/deeper/b.bin", "sub/link.bin", "sub/dangling", "sub/pipe"});
#endif
    const std::string top = dir.Path() + "/";
    CountingFs counting;
    counting.Refused.insert(top + "locked");
    SubFolderLookup lookup(counting, top);
    for (std::size_t i = 0; i < names.size(); ++i)
        lookup.Ask(static_cast<std::int32_t>(i), names[i]);
    TakenListings kept;
    const std::vector<SubFolderLookup::Found> found =
        lookup.Answer([&](std::int32_t i) { return names[static_cast<std::size_t>(i)]; }, {}, &kept);

    std::vector<bool> present(names.size());
    for (const SubFolderLookup::Found& f : found) {
        const std::string& name = names[static_cast<std::size_t>(f.Id)];
        present[static_cast<std::size_t>(f.Id)] = true;
        if (!f.Listed) continue;
        const FileIdentity id = RealFs().Identify(top + name, true);
        EXPECT_EQ(f.IsFile, id.IsFile) << name;
        if (f.IsFile) {
            EXPECT_EQ(f.Size, id.Size) << name;
        }
    }
    for (std::size_t i = 0; i < names.size(); ++i)
        EXPECT_EQ(present[i], RealFs().FileExists(top + names[i])) << "'" << names[i] << "'";
    for (const auto& [path, times] : counting.Listed)
        EXPECT_EQ(times, 1) << path;
    // A folder that is not there answers for its names when first met: it is looked at once, never listed.
    EXPECT_EQ(counting.Looked[top + "gone"], 1);
    EXPECT_EQ(counting.Looked[top + "gone/deeper"], 1);
    EXPECT_EQ(counting.Listed.count(top + "gone"), 0u);
    EXPECT_EQ(counting.Listed.count(top + "plain.bin"), 0u);
    // Where names compare without regard to case a miss is asked again; elsewhere only what no listing answers.
    if (!SameFileName("a", "A")) {
        EXPECT_EQ(counting.Asked, oneByOne);
    }
    // The listings taken are kept for a walk of the tree, the refused and absent folders' not.
    EXPECT_EQ(kept.ByFolder.count(FolderKey("sub")), 1u);
    EXPECT_EQ(kept.ByFolder.count(FolderKey("locked")), 0u);
    EXPECT_EQ(kept.ByFolder.count(FolderKey("gone")), 0u);
}

} // namespace
} // namespace tv
