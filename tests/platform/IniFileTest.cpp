#include "platform/IniFile.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"
#include "writers/WriterHarness.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <vector>

namespace tv {
namespace {

TEST(IniFile, ReadsSectionsAndKeysWithoutRegardToCase) {
    const IniFile ini = IniFile::Parse("; a comment\r\n[Window Position]\r\nWhdth = 640\r\n"
                                       "[TALLYVAULT]\nRedundant File Detect <Tash Use>=1\rList CRC Width=\n");
    EXPECT_EQ(ini.Read("window position", "WHDTH"), "640");
    EXPECT_EQ(ini.Read("Tallyvault", "redundant file detect <tash use>"), "1");
    EXPECT_EQ(ini.Read("Tallyvault", "List CRC Width"), "");
    EXPECT_FALSE(ini.Read("Tallyvault", "Whdth"));
    EXPECT_FALSE(ini.Read("Title", "Top"));
    EXPECT_EQ(ini.ReadString("Title", "Top", "d"), "d");
}

TEST(IniFile, RewriteKeepsUnknownLinesAndUpdatesInPlace) {
    IniFile ini =
        IniFile::Parse("; kept comment\n[Other]\nmine=x y\n\n[tallyvault]\nauto complement=0\nextra=keep\n\n");
    ini.Write("Tallyvault", "Auto Complement", "1");
    ini.Write("Tallyvault", "Complement Copy", "0");
    ini.Write("Title", "Program Version", "V");
    EXPECT_EQ(ini.Text(), "; kept comment\n[Other]\nmine=x y\n\n[tallyvault]\nauto complement=1\nextra=keep\n"
                          "Complement Copy=0\n\n[Title]\nProgram Version=V\n");
    // Written text reads back the same.
    const IniFile again = IniFile::Parse(ini.Text());
    EXPECT_EQ(again.Read("TITLE", "program version"), "V");
    EXPECT_EQ(again.Read("Other", "mine"), "x y");
}

TEST(IniFile, OddLinesAreKeptAndNeverTakenForKeys) {
    // A line without "=", a line starting with "=", a header without a closing bracket, a
    // repeated section: none may crash, and the first section that holds a key gives its value.
    IniFile ini = IniFile::Parse("junk\n=value\n[Broken\n[A]\nk=1\n[a]\nk=2\nj=3\n");
    EXPECT_EQ(ini.Read("A", "k"), "1");
    EXPECT_EQ(ini.Read("A", "j"), "3");
    EXPECT_FALSE(ini.Read("A", ""));
    ini.Write("A", "k", "9");
    EXPECT_EQ(ini.Text(), "junk\n=value\n[Broken\n[A]\nk=9\n[a]\nk=2\nj=3\n");
}

TEST(IniFile, FilesLoadAndSaveThroughTheFileSystem) {
    test::TempDir dir;
    FileSystem& fs = RealFs();
    // Absent file: empty, and a save creates it.
    IniFile ini = LoadIniFile(fs, dir / "x.ini");
    EXPECT_EQ(ini.Text(), "");
    ini.Write("S", "K", "V");
    ASSERT_TRUE(SaveIniFile(fs, dir / "x.ini", ini));
    EXPECT_EQ(dir.Read("x.ini"), "[S]\nK=V\n");
    EXPECT_EQ(LoadIniFile(fs, dir / "x.ini").Read("s", "k"), "V");
    // A folder that does not exist cannot take the file: reported by the result, nothing thrown.
    EXPECT_FALSE(SaveIniFile(fs, dir / "missing/x.ini", ini));
    // A file that is really a folder reads as empty.
    dir.MakeFolder("d.ini");
    EXPECT_EQ(LoadIniFile(fs, dir / "d.ini").Text(), "");
}

std::vector<std::string> FilesIn(const test::TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

TEST(IniFile, ASaveThatFailsKeepsTheOldSettingsWhole) {
    test::TempDir dir;
    dir.Write("x.ini", "[Main]\nCopy=1\n");
    IniFile ini = LoadIniFile(RealFs(), dir / "x.ini");
    ini.Write("Main", "FixName", std::string(5000, 'z'));
    for (int fault = 0; fault < 3; ++fault) {
        test::FailingFs fs;
        if (fault == 0) fs.WriteError = "Disk full";
        fs.FailSync = fault == 1;
        fs.FailReplace = fault == 2;
        fs.WriteBudget = 100;
        EXPECT_FALSE(SaveIniFile(fs, dir / "x.ini", ini)) << fault;
        EXPECT_EQ(dir.Read("x.ini"), "[Main]\nCopy=1\n") << fault;
        EXPECT_EQ(FilesIn(dir), std::vector<std::string>{"x.ini"}) << fault;
    }
    // A leftover of a save cut short does not stand in the way of the next one.
    dir.Write(".tallyvault-1.tmp", "torn");
    ASSERT_TRUE(SaveIniFile(RealFs(), dir / "x.ini", ini));
    EXPECT_EQ(LoadIniFile(RealFs(), dir / "x.ini").Read("Main", "FixName"), std::string(5000, 'z'));
    EXPECT_EQ(FilesIn(dir), (std::vector<std::string>{"x.ini"})); // nobody held it: removed
}

TEST(IniFile, AHugeFileIsReadOnlyUpToItsBound) {
    test::TempDir dir;
    std::string big = "[S]\nK=1\n";
    big += std::string(3u << 20, 'x');
    dir.Write("big.ini", big);
    const IniFile ini = LoadIniFile(RealFs(), dir / "big.ini");
    EXPECT_EQ(ini.Read("S", "K"), "1");
    EXPECT_LE(ini.Text().size(), (1u << 20) + 16);
}

} // namespace
} // namespace tv
