// The changes confined beneath a folder on the Windows file system: a link on the way never leads
// outside, a file changed since it was identified is neither deleted nor brought in, a taken name is
// never replaced, and every refusal names its file and the system's reason.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/win32/WideText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <functional>

namespace tv {
namespace {

using test::TempDir;

void Put(FileSystem& fs, const std::string& path, const std::string& text) {
    if (fs.FileExists(path)) fs.DeleteFile(path);
    auto out = fs.Create(path);
    out->Write(text.data(), text.size());
    out->Close();
}

std::string Content(FileSystem& fs, const std::string& path) {
    auto in = fs.OpenRead(path);
    std::string text(static_cast<std::size_t>(in->Length()), '\0');
    text.resize(in->Read(text.data(), text.size()));
    return text;
}

struct Change {
    const char* What;
    std::function<void()> Run;
};

// Each change must be refused with its file and the system's reason named.
void ExpectRefused(const Change& c) {
    try {
        c.Run();
        ADD_FAILURE() << c.What << ": done";
    } catch (const IoError& e) {
        EXPECT_FALSE(e.Path().empty()) << c.What;
        EXPECT_FALSE(e.Reason().empty()) << c.What << ": " << e.what();
    }
}

TEST(WindowsConfinement, ALinkBelowTheRootIsNeverFollowed) {
#ifdef TV_LINK_FIXTURE
    const std::string root = TV_LINK_FIXTURE;
#else
    const std::string root;
#endif
    RealFileSystem fs;
    const std::string set = JoinPath(root, "set"), outside = JoinPath(root, "outside"),
                      source = JoinPath(root, "source");
    const DWORD a = ::GetFileAttributesW(win32::SystemPath(JoinPath(set, "sub")).c_str());
    if (root.empty() || a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        GTEST_SKIP() << "no links were made before the run (they are made by the build on a POSIX machine)";
    // Fresh files each run; whatever a faulty run left outside goes.
    for (const char* name : {"new", "a.bin", "x.bin"})
        if (fs.FileExists(JoinPath(outside, name))) fs.DeleteFile(JoinPath(outside, name));
    if (fs.FolderExists(JoinPath(outside, "new")))
        ::RemoveDirectoryW(win32::SystemPath(JoinPath(outside, "new")).c_str());
    for (const char* name : {"got.bin", "y.bin"})
        if (fs.FileExists(JoinPath(set, name))) fs.DeleteFile(JoinPath(set, name));
    Put(fs, JoinPath(outside, "secret.bin"), "outside content");
    Put(fs, JoinPath(outside, "kept.bin"), "kept");
    Put(fs, JoinPath(set, "x.bin"), "x");
    Put(fs, JoinPath(source, "a.bin"), "content a");

    const Change changes[] = {
        {"a folder made through a folder link", [&] { fs.CreateFolderBeneath(set, "sub/new"); }},
        {"a copy into a folder link",
         [&] { fs.TransferBeneath(source, "a.bin", fs.Identify(JoinPath(source, "a.bin")), set, "sub/a.bin", true); }},
        {"a move into a folder link",
         [&] { fs.TransferBeneath(source, "a.bin", fs.Identify(JoinPath(source, "a.bin")), set, "sub/a.bin", false); }},
        {"a rename into a folder link", [&] { fs.RenameBeneath(set, "x.bin", "sub/x.bin"); }},
        {"a rename out of a folder link", [&] { fs.RenameBeneath(set, "sub/kept.bin", "y.bin"); }},
        {"a delete through a folder link",
         [&] { fs.DeleteBeneath(set, "sub/kept.bin", fs.Identify(JoinPath(outside, "kept.bin"))); }},
        {"a delete of a file link", [&] { fs.DeleteBeneath(set, "data.bin", fs.Identify(JoinPath(set, "data.bin"))); }},
        {"a file link as the source of a move",
         [&] { fs.TransferBeneath(set, "data.bin", fs.Identify(JoinPath(set, "data.bin")), set, "got.bin", false); }},
        {"a file link as the source of a copy",
         [&] { fs.TransferBeneath(set, "data.bin", fs.Identify(JoinPath(set, "data.bin")), set, "got.bin", true); }},
    };
    for (const Change& c : changes)
        ExpectRefused(c);
    // Nor is a file link a second copy of what it points to (a link on Windows, the same object under Wine).
    const FileIdentity link = fs.Identify(JoinPath(set, "data.bin"));
    EXPECT_TRUE(link.IsLink || link.SameObject(fs.Identify(JoinPath(outside, "secret.bin"))));
    EXPECT_EQ(Content(fs, JoinPath(outside, "secret.bin")), "outside content");
    EXPECT_EQ(Content(fs, JoinPath(outside, "kept.bin")), "kept");
    EXPECT_EQ(fs.ListFolder(outside).size(), 2u); // nothing made there
    EXPECT_EQ(Content(fs, JoinPath(set, "x.bin")), "x");
    EXPECT_EQ(Content(fs, JoinPath(source, "a.bin")), "content a");
    EXPECT_FALSE(fs.FileExists(JoinPath(set, "got.bin")));
    EXPECT_FALSE(fs.FileExists(JoinPath(set, "y.bin")));
}

TEST(WindowsConfinement, AFileChangedSinceItWasIdentifiedIsNeitherDeletedNorBroughtIn) {
    enum class Op { Delete, Move, Copy };
    enum class Swap { AnotherFileInItsName, ItsContentGrown, None };
    const struct {
        Op What;
        Swap How;
    } cases[] = {
        {Op::Delete, Swap::AnotherFileInItsName}, {Op::Delete, Swap::ItsContentGrown}, {Op::Delete, Swap::None},
        {Op::Move, Swap::AnotherFileInItsName},   {Op::Move, Swap::ItsContentGrown},   {Op::Move, Swap::None},
        {Op::Copy, Swap::AnotherFileInItsName},   {Op::Copy, Swap::ItsContentGrown},   {Op::Copy, Swap::None},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.What) * 10 + static_cast<int>(c.How));
        TempDir dir;
        RealFileSystem fs;
        const std::string set = dir.MakeFolder("set"), from = dir.MakeFolder("from");
        fs.CreateFolder(JoinPath(set, "sub"));
        const std::string file = dir.Write("from/dup.bin", "compared");
        dir.Write("from/other.bin", "another file");
        const FileIdentity seen = fs.Identify(file);
        ASSERT_TRUE(seen.IsFile);
        if (c.How == Swap::AnotherFileInItsName) {
            fs.RenameFile(file, dir / "from/old.bin");
            fs.RenameFile(dir / "from/other.bin", file);
        } else if (c.How == Swap::ItsContentGrown) {
            Put(fs, file, "compared, and more");
        }
        auto run = [&] {
            if (c.What == Op::Delete)
                fs.DeleteBeneath(from, "dup.bin", seen);
            else
                fs.TransferBeneath(from, "dup.bin", seen, set, "sub/dup.bin", c.What == Op::Copy);
        };
        if (c.How == Swap::None) {
            // The unchanged file: the same change goes through (below a sub-folder for a transfer).
            ASSERT_NO_THROW(run());
            EXPECT_EQ(fs.FileExists(file), c.What == Op::Copy);
            if (c.What != Op::Delete) {
                EXPECT_EQ(dir.Read("set/sub/dup.bin"), "compared");
            }
            continue;
        }
        try {
            run();
            ADD_FAILURE() << "a changed file was changed again";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), "File not found");
            EXPECT_EQ(e.Path(), JoinPath(from, "dup.bin"));
        }
        // Every file kept with its content; nothing brought in.
        EXPECT_EQ(dir.Read("from/dup.bin"), c.How == Swap::ItsContentGrown ? "compared, and more" : "another file");
        if (c.How == Swap::AnotherFileInItsName) {
            EXPECT_EQ(dir.Read("from/old.bin"), "compared");
        }
        EXPECT_TRUE(fs.ListFolder(JoinPath(set, "sub")).empty());
    }
}

TEST(WindowsConfinement, ATakenOrReservedNameIsRefusedAndNothingIsReplaced) {
    TempDir dir;
    RealFileSystem fs;
    const std::string set = dir.MakeFolder("set");
    dir.Write("set/a.bin", "a");
    dir.Write("set/b.bin", "b");
    dir.MakeFolder("set/folder");
    const FileIdentity a = fs.Identify(dir / "set/a.bin");
    const Change changes[] = {
        {"a rename onto a file", [&] { fs.RenameBeneath(set, "a.bin", "b.bin"); }},
        {"a rename onto a folder", [&] { fs.RenameBeneath(set, "a.bin", "folder"); }},
        {"a move onto a file", [&] { fs.TransferBeneath(set, "a.bin", a, set, "b.bin", false); }},
        {"a copy onto a file", [&] { fs.TransferBeneath(set, "a.bin", a, set, "b.bin", true); }},
        {"a folder where a file is", [&] { fs.CreateFolderBeneath(set, "b.bin"); }},
        {"a rename to a device name", [&] { fs.RenameBeneath(set, "a.bin", "CON"); }},
        {"a copy to a device name", [&] { fs.TransferBeneath(set, "a.bin", a, set, "nul.txt", true); }},
        {"a folder with a device name", [&] { fs.CreateFolderBeneath(set, "COM1"); }},
        {"a path up out of the root", [&] { fs.RenameBeneath(set, "a.bin", "../a.bin"); }},
        {"a missing file", [&] { fs.DeleteBeneath(set, "gone.bin", a); }},
    };
    for (const Change& c : changes)
        ExpectRefused(c);
    try {
        fs.RenameBeneath(set, "a.bin", "b.bin");
    } catch (const IoError& e) {
        EXPECT_TRUE(IsNameTaken(e)) << e.Reason();
    }
    EXPECT_EQ(dir.Read("set/a.bin"), "a");
    EXPECT_EQ(dir.Read("set/b.bin"), "b");
    EXPECT_EQ(fs.ListFolder(set).size(), 3u);
    EXPECT_FALSE(dir.Exists("a.bin"));
    // An existing real folder is fine to "make"; one below it is made.
    EXPECT_NO_THROW(fs.CreateFolderBeneath(set, "folder"));
    EXPECT_NO_THROW(fs.CreateFolderBeneath(set, "folder/inner"));
    EXPECT_TRUE(fs.FolderExists(dir / "set/folder/inner"));
}

} // namespace
} // namespace tv
