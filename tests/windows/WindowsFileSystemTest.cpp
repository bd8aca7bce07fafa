// The Windows file system layer on its own ground: names the system keeps for devices or itself, paths
// past the old 260-character limit, read-only files, the recycle bin, letter case as NTFS compares it.
#include "core/FileCrc32.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/win32/Shell.h"
#include "platform/win32/WideText.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

using test::TempDir;

void WriteText(FileSystem& fs, const std::string& path, const std::string& text) {
    auto out = fs.Create(path);
    out->Write(text.data(), text.size());
    out->Close();
}

TEST(WindowsFileSystem, ReservedNamesAreNeverOpenedNorMadeTargets) {
    TempDir dir;
    RealFileSystem fs;
    const std::string source = dir.Write("source.bin", "keep");
    for (const char* name : {"CON", "nul", "NUL.txt", "COM1", "lpt9.log", "CON ", "a:b", "a:stream", "a*b", "a?b",
                             "a\"b", "a<b", "a>b", "a|b", "dot.", "space "}) {
        const std::string path = dir / name;
        EXPECT_FALSE(win32::ValidWindowsPath(path)) << name;
        EXPECT_FALSE(fs.FileExists(path)) << name;
        EXPECT_THROW(fs.OpenRead(path), IoError) << name;
        EXPECT_THROW(fs.CreateNew(path), IoError) << name;
        EXPECT_THROW(fs.Create(path), IoError) << name;
        EXPECT_THROW(fs.RenameFile(source, path), IoError) << name;
        EXPECT_THROW(fs.CopyFile(source, path), IoError) << name;
        EXPECT_THROW(fs.ReplaceFile(source, path), IoError) << name;
    }
    // A device name inside a longer name, or as a folder, is handled the same way.
    EXPECT_TRUE(win32::ValidWindowsPath(dir / "CONSOLE.txt"));
    EXPECT_TRUE(win32::ValidWindowsPath(dir / "COM10"));
    EXPECT_FALSE(win32::ValidWindowsPath(dir / "nul/x.bin"));
    EXPECT_EQ(dir.Read("source.bin"), "keep");
    EXPECT_EQ(fs.ListFolder(dir.Path()).size(), 1u); // nothing else was made
}

TEST(WindowsFileSystem, PathsLongerThan260CharactersWork) {
    TempDir dir;
    RealFileSystem fs;
    std::string folder = dir.Path();
    while (folder.size() < 300) {
        folder = JoinPath(folder, std::string(40, 'f') + "日本");
        ASSERT_NO_THROW(fs.CreateFolder(folder)) << folder;
    }
    const std::string file = JoinPath(folder, "data.bin"), moved = JoinPath(folder, "moved.bin");
    ASSERT_GT(file.size(), 260u);
    WriteText(fs, file, "123456789");
    EXPECT_TRUE(fs.FileExists(file));
    EXPECT_EQ(fs.FileLength(file), 9);
    EXPECT_EQ(FileCrc32(fs, file, 9), 0xCBF43926u);
    EXPECT_NO_THROW(fs.RenameFile(file, moved));
    EXPECT_NO_THROW(fs.CopyFile(moved, file));
    const auto entries = fs.ListFolder(folder);
    EXPECT_EQ(entries.size(), 2u);
    EXPECT_TRUE(fs.SameObject(moved, JoinPath(folder, "MOVED.BIN")));
    try {
        fs.MoveToTrash(file);
    } catch (const IoError&) {
        fs.DeleteFile(file); // the shell may refuse paths this long
    }
    EXPECT_NO_THROW(fs.DeleteFile(moved));
    EXPECT_FALSE(fs.FileExists(moved));
}

TEST(WindowsFileSystem, AReadOnlyFileIsNeitherReplacedNorDeleted) {
    TempDir dir;
    RealFileSystem fs;
    const std::string target = dir.Write("list.sfv", "old"), fresh = dir.Write("new.tmp", "new");
    ASSERT_TRUE(::SetFileAttributesW(win32::SystemPath(target).c_str(), FILE_ATTRIBUTE_READONLY));
    try {
        fs.ReplaceFile(fresh, target);
        ADD_FAILURE() << "a read-only file was replaced";
    } catch (const IoError& e) {
        EXPECT_STREQ(e.what(), "File access denied");
    }
    EXPECT_THROW(fs.Create(target), IoError);
    EXPECT_THROW(fs.DeleteFile(target), IoError);
    EXPECT_THROW(fs.RenameFile(fresh, target), IoError);
    EXPECT_EQ(dir.Read("list.sfv"), "old");
    EXPECT_EQ(dir.Read("new.tmp"), "new");
    ::SetFileAttributesW(win32::SystemPath(target).c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(WindowsFileSystem, NamesAreUtf8InsideAndCompareAsNtfsDoes) {
    TempDir dir;
    RealFileSystem fs;
    const std::string name = "Ärger 名前.bin";
    WriteText(fs, dir / name, "x");
    const auto entries = fs.ListFolder(dir.Path());
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].Name, name);
    EXPECT_TRUE(dir.Exists(name)); // the same name through std::filesystem's wide path
    // Both separators; letter case beyond ASCII; a rename that only changes the case.
    EXPECT_TRUE(fs.FileExists(dir.Path() + "\\ärger 名前.BIN"));
    EXPECT_TRUE(fs.SameObject(dir / name, dir.Path() + "\\äRGER 名前.bin"));
    EXPECT_FALSE(fs.SameObject(dir / name, dir / "other.bin"));
    // A rename that only changes the case is allowed; whether the new case shows is up to the file system.
    EXPECT_NO_THROW(fs.RenameFile(dir / name, dir / "ÄRGER 名前.BIN"));
    EXPECT_EQ(fs.ListFolder(dir.Path()).size(), 1u);
    // Text that is no UTF-8 names no file.
    EXPECT_FALSE(fs.FileExists(dir / "\x82\xa0.bin"));
}

TEST(WindowsFileSystem, TheRecycleBinTakesAFile) {
    TempDir dir;
    RealFileSystem fs;
    const std::string path = dir.Write("to-bin.bin", "x");
    EXPECT_NO_THROW(fs.MoveToTrash(path));
    EXPECT_FALSE(fs.FileExists(path));
    EXPECT_THROW(fs.MoveToTrash(path), IoError); // gone: nothing to move
    EXPECT_THROW(fs.MoveToTrash(dir / "CON"), IoError);
}

TEST(WindowsShell, LongFormsAndTheTextEditor) {
    TempDir dir;
    dir.Write("Long Folder Name/list.sfv", "");
    const std::string full = ExpandLongPath(dir / "Long Folder Name/../Long Folder Name/list.sfv");
    EXPECT_TRUE(SameText(full, dir.Path() + "\\Long Folder Name\\list.sfv")) << full;
    EXPECT_TRUE(RealFs().FileExists(full));
    const std::string editor = win32::TextEditorPath();
    EXPECT_TRUE(SameText(ExtractFileName(editor), "notepad.exe")) << editor;
    EXPECT_TRUE(RealFs().FileExists(editor)) << editor;
    EXPECT_TRUE(SameText(ExtractFileExt(win32::ProgramFilePath()), ".exe"));
}

} // namespace
} // namespace tv
