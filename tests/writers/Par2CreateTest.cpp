// What create of a recovery set refuses, with its reason, and which files of the folder it protects.
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"
#include "writers/Par2Create.h"
#include "platform/Paths.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace tv::test {
namespace {

TEST(Par2Create, RefusesWhatCannotMakeASetAndSaysWhy) {
    TempDir dir;
    dir.Write("data/a.bin", RandomBytes(200000, 1));
    dir.MakeFolder("empty");
    struct Row {
        const char* Folder;
        const char* Index;
        std::uint64_t SliceSize;
        const char* Reason;
    };
    const Row rows[] = {
        {"data", "data/set.par2", 6, "multiple of 4"},
        {"data", "data/set.par2", 4, "at most 32768"},
        {"data", "empty/set.par2", 0, "relative to its own folder"},
        {"empty", "empty/set.par2", 0, "no files"},
        {"data", "data/set.sfv", 0, "must end in .par2"},
    };
    for (const Row& row : rows) {
        Par2CreateOptions options;
        options.SliceSize = row.SliceSize;
        try {
            CreatePar2Set(RealFs(), dir / row.Folder, dir / row.Index, options);
            ADD_FAILURE() << row.Index << " was written";
        } catch (const Par2CreateError& e) {
            EXPECT_NE(std::string(e.what()).find(row.Reason), std::string::npos) << e.what();
        }
        EXPECT_FALSE(dir.Exists(row.Index)) << row.Index;
    }
}

TEST(Par2Create, ProtectsPlainFilesAndLeavesOutItsOwnSetAndEmptyFiles) {
    TempDir dir;
    dir.Write("a.bin", RandomBytes(5000, 1));
    dir.Write("sub/b.bin", RandomBytes(3000, 2));
    dir.Write("empty.txt", "");
    Par2CreateOptions options;
    options.SliceSize = 1000;
    options.Redundancy = 20;
    const Par2CreateResult flat = CreatePar2Set(RealFs(), dir.Path(), dir / "set.par2", options);
    EXPECT_EQ(flat.InputSlices, 5u); // a.bin alone
    EXPECT_EQ(flat.RecoverySlices, 1u);
    EXPECT_EQ(flat.LeftOut, std::vector<std::string>{"empty.txt"});
    ASSERT_EQ(flat.Written.size(), 2u);
    EXPECT_EQ(flat.Written[1], dir / "set.vol0+1.par2");

    // Made again over the same folder, with its sub-folder: the set's own files are not protected.
    options.Recursive = true;
    const Par2CreateResult tree = CreatePar2Set(RealFs(), dir.Path(), dir / "set.par2", options);
    EXPECT_EQ(tree.InputSlices, 8u); // a.bin and sub/b.bin
    EXPECT_EQ(tree.RecoverySlices, 2u);
    ASSERT_EQ(tree.Written.size(), 3u);
    EXPECT_EQ(tree.Written[2], dir / "set.vol1+1.par2");
}

// The recovery data is computed in pieces on the workers, batch after batch, while the next batch is read:
// one thread or eight, the set's files are the same bytes. Slices of an odd size and a last slice cut
// short cross the batches and the pieces at uneven places.
TEST(Par2Create, OneThreadAndEightWriteTheSameSet) {
    TempDir dir;
    const std::size_t sizes[] = {300001, 4, 260000, 52123};
    for (const char* folder : {"one", "eight"})
        for (std::size_t i = 0; i < std::size(sizes); ++i)
            dir.Write(std::string(folder) + "/f" + std::to_string(i) + ".bin",
                      RandomBytes(sizes[i], static_cast<std::uint32_t>(40 + i)));
    std::vector<std::string> written[2];
    for (unsigned workers : {1u, 8u}) {
        const std::string folder = workers == 1 ? "one" : "eight";
        Par2CreateOptions options;
        options.SliceSize = 16384 + 1000;
        options.Redundancy = 40;
        options.Workers = workers;
        const Par2CreateResult made = CreatePar2Set(RealFs(), dir / folder, dir / (folder + "/set.par2"), options);
        EXPECT_EQ(made.InputSlices, 37u); // two batches of input slices
        EXPECT_EQ(made.RecoverySlices, 15u);
        for (const std::string& path : made.Written)
            written[workers == 1 ? 0 : 1].push_back(path.substr(path.find_last_of("/\\") + 1));
    }
    ASSERT_EQ(written[0], written[1]);
    for (const std::string& name : written[0])
        EXPECT_TRUE(dir.Read("one/" + name) == dir.Read("eight/" + name)) << name;
}

// A POSIX name holding "\\" would be read back as a path of folders: such a file is left out and named, and
// the rest is protected; the window's ticked files name it only to be refused.
TEST(Par2Create, ANameTheSetsReadersWouldReadAsAnotherIsLeftOut) {
    if (PathDelim == '\\') GTEST_SKIP() << "Windows names hold no \"\\\"";
    TempDir dir;
    dir.Write("a.bin", RandomBytes(5000, 1));
    dir.Write("sub/c\\d.bin", RandomBytes(100, 3));
    Par2CreateOptions options;
    options.Recursive = true;
    const Par2CreateResult made = CreatePar2Set(RealFs(), dir.Path(), dir / "set.par2", options);
    EXPECT_EQ(made.Unnamable, std::vector<std::string>{"sub/c\\d.bin"});
    EXPECT_FALSE(made.Written.empty());
    options.Files = {"a.bin", "sub/c\\d.bin"};
    EXPECT_THROW(CreatePar2Set(RealFs(), dir.Path(), dir / "other.par2", options), Par2CreateError);
    EXPECT_FALSE(dir.Exists("other.par2"));
}

// The file system failing at each of its steps in turn while a set is made, over an older index of the
// same name: a run that fails leaves no file of its set under a set's name (the older index stays as it
// was) and no temporary file; a run that does not fail wrote the whole set.
TEST(Par2Create, AFailureOnTheWayLeavesNoPartOfASetThatLooksWhole) {
    auto names = [](const TempDir& dir) {
        std::vector<std::string> out;
        for (const auto& e : std::filesystem::directory_iterator(PathOf(dir.Path())))
            out.push_back(Utf8Of(e.path().filename()));
        std::sort(out.begin(), out.end());
        return out;
    };
    auto fresh = [](const TempDir& dir) {
        dir.Write("a.bin", RandomBytes(70000, 5));
        dir.Write("b.bin", RandomBytes(1000, 6));
        dir.Write("set.par2", "an older index");
    };
    // Three volumes, held open until all are written; and more than are held open at once, each named
    // as it is written (a spread of the failures).
    for (const unsigned volumes : {3u, 70u}) {
        Par2CreateOptions options;
        options.Redundancy = volumes == 3 ? 50 : 100;
        options.SliceSize = volumes == 3 ? 4096 : 1024;
        options.Volumes = volumes;
        std::vector<std::string> whole;
        {
            TempDir dir;
            fresh(dir);
            CreatePar2Set(RealFs(), dir.Path(), dir / "set.par2", options);
            whole = names(dir);
            ASSERT_EQ(whole.size(), 3 + volumes); // the data, the index and the volumes
        }
        int failures = 0;
        for (Fault fault : {Fault::DiskFull, Fault::RenameRefused, Fault::AccessDenied}) {
            int count = 0;
            {
                TempDir dir;
                fresh(dir);
                FaultyFileSystem fs;
                fs.FailAt(fault, 0);
                CreatePar2Set(fs, dir.Path(), dir / "set.par2", options);
                count = fs.Count();
            }
            ASSERT_GT(count, 3) << FaultName(fault);
            for (int k = 1; k <= count; k += volumes == 3 ? 1 : std::max(1, count / 30)) {
                TempDir dir;
                fresh(dir);
                FaultyFileSystem fs;
                fs.FailAt(fault, k);
                bool failed = false;
                try {
                    CreatePar2Set(fs, dir.Path(), dir / "set.par2", options);
                } catch (const IoError& e) {
                    failed = true;
                    if (fault == Fault::DiskFull) {
                        EXPECT_EQ(e.Code(), std::error_code(ENOSPC, std::generic_category()));
                    }
                }
                const std::string where = std::to_string(volumes) + " volumes, " + FaultName(fault) + " at " +
                                          std::to_string(k) + ": " + fs.Failed();
                if (failed) {
                    ++failures;
                    EXPECT_EQ(names(dir), (std::vector<std::string>{"a.bin", "b.bin", "set.par2"})) << where;
                    EXPECT_EQ(dir.Read("set.par2"), "an older index") << where;
                } else {
                    EXPECT_EQ(names(dir), whole) << where;
                    EXPECT_NE(dir.Read("set.par2"), "an older index") << where;
                }
            }
        }
        EXPECT_GT(failures, 10);
    }
}

} // namespace
} // namespace tv::test
