// Rebuilding from recovery slices when the file system fails at each step in turn: whatever fails, every
// file keeps either its damaged bytes (under its name or kept as NAME.1) or its rebuilt ones, and no
// temporary file is left. Names that lead out of the set's folder are never written.
#include "platform/Errors.h"
#include "platform/Hashing.h"
#include "readers/Par2Packets.h"
#include "repair/Par2Rebuild.h"
#include "repair/RepairPlan.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"
#include "writers/Par2Create.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace tv::test {
namespace {

struct Sample {
    std::map<std::string, std::string> Originals = {
        {"a.bin", RandomBytes(40000, 1)}, {"b.bin", RandomBytes(9999, 2)}, {"sub/c.bin", RandomBytes(20000, 3)}};
    std::string DamagedA;

    // The set, then a.bin with changed bytes and sub/c.bin deleted.
    void Make(const TempDir& dir) {
        for (const auto& [name, content] : Originals)
            dir.Write(name, content);
        Par2CreateOptions options;
        options.Recursive = true;
        options.Redundancy = 40;
        options.SliceSize = 1024;
        CreatePar2Set(RealFs(), dir.Path(), dir / "set.par2", options);
        DamagedA = Originals["a.bin"];
        for (std::size_t i = 3000; i < 3100; ++i)
            DamagedA[i] = static_cast<char>(~DamagedA[i]);
        dir.Write("a.bin", DamagedA);
        std::filesystem::remove(PathOf(dir / "sub/c.bin"));
    }
};

// The sample's files copied into the (existing, empty) folder of a run, entry by entry: MinGW's
// std::filesystem::copy refuses a folder copied onto one that exists.
void CopyInto(const TempDir& from, const TempDir& to) {
    const std::filesystem::path base = PathOf(from.Path());
    for (const auto& e : std::filesystem::recursive_directory_iterator(base)) {
        const std::filesystem::path target = PathOf(to.Path()) / std::filesystem::relative(e.path(), base);
        if (e.is_directory())
            std::filesystem::create_directories(target);
        else
            std::filesystem::copy_file(e.path(), target);
    }
}

// No temporary file anywhere below the folder.
bool NoTemporaries(const TempDir& dir) {
    for (const auto& e : std::filesystem::recursive_directory_iterator(PathOf(dir.Path())))
        if (Utf8Of(e.path().filename()).find("tallyvault") != std::string::npos) return false;
    return true;
}

TEST(Par2Rebuild, EveryFailingStepLeavesEachFileDamagedOrRebuiltNeverLost) {
    // The damaged set is made once and copied for each run.
    TempDir made;
    Sample s;
    s.Make(made);
    auto fresh = [&](const TempDir& dir) {
        CopyInto(made, dir);
    };
    for (Fault fault : {Fault::DiskFull, Fault::RenameRefused, Fault::AccessDenied, Fault::ReadBeyondEnd}) {
        // How many operations of this kind a whole run makes; each one fails in turn (a spread of them
        // where they are many, as reads are).
        int count = 0;
        {
            TempDir dir;
            fresh(dir);
            FaultyFileSystem fs;
            fs.FailAt(fault, 0);
            RebuildPar2Set(fs, dir / "set.par2", {});
            count = fs.Count();
            ASSERT_TRUE(dir.Read("a.bin") == s.Originals["a.bin"]);
        }
        ASSERT_GT(count, 0) << FaultName(fault);
        const int step = std::max(1, count / 40);
        for (int k = 1; k <= count; k += step) {
            TempDir dir;
            fresh(dir);
            FaultyFileSystem fs;
            fs.FailAt(fault, k);
            Par2RebuildResult result;
            bool thrown = false;
            try {
                result = RebuildPar2Set(fs, dir / "set.par2", {});
            } catch (const IoError& e) {
                // Failed while the set was read or checked, or its plan written: nothing may have been
                // changed, and the error names the cause.
                thrown = true;
                EXPECT_TRUE(dir.Read("a.bin") == s.DamagedA) << FaultName(fault) << " at " << k;
                EXPECT_FALSE(dir.Exists("sub/c.bin"));
                if (fault == Fault::DiskFull) {
                    EXPECT_EQ(e.Code(), std::error_code(ENOSPC, std::generic_category()));
                }
            }
            const std::string where = std::string(FaultName(fault)) + " at " + std::to_string(k) + ": " + fs.Failed();
            EXPECT_FALSE(fs.Failed().empty()) << where;
            // A full disk while a file is written leaves that file as it was, and its outcome says why.
            for (const Par2FileOutcome& f : result.Files) {
                if (fault == Fault::DiskFull && f.Result == Par2FileOutcome::Failed) {
                    EXPECT_NE(f.Reason.find(SystemReason(ENOSPC)),
                              std::string::npos)
                        << where << ": " << f.Reason;
                }
            }
            EXPECT_TRUE(thrown || !result.Files.empty()) << where;
            // A plan the run could not remove (or left for a change it could not take back) is finished
            // by the next repair before anything else.
            EntryFailures failures;
            RecoverPlan(RealFs(), dir / "set.par2", false, failures);
            EXPECT_TRUE(failures.Empty()) << where;
            const std::string a = dir.Read("a.bin");
            EXPECT_TRUE(a == s.DamagedA || a == s.Originals["a.bin"]) << where;
            if (a == s.Originals["a.bin"]) {
                ASSERT_TRUE(dir.Exists("a.bin.1")) << where;
                EXPECT_TRUE(dir.Read("a.bin.1") == s.DamagedA) << where;
            } else {
                EXPECT_FALSE(dir.Exists("a.bin.1")) << where;
            }
            if (dir.Exists("sub/c.bin")) {
                EXPECT_TRUE(dir.Read("sub/c.bin") == s.Originals["sub/c.bin"]) << where;
            }
            EXPECT_TRUE(dir.Read("b.bin") == s.Originals["b.bin"]) << where;
            EXPECT_TRUE(NoTemporaries(dir)) << where;
        }
    }
}

// A stop asked at each call of the progress in turn, while a set is made and while it rebuilds: a stopped
// creation leaves no file of the set and no temporary file; a stopped rebuild leaves each file damaged or
// rebuilt (the damaged one kept only beside a rebuilt one) and no temporary file.
TEST(Par2Stop, AStopAtAnyStepLeavesNoPartFileAndNoTemporary) {
    TempDir made;
    Sample s;
    s.Make(made);
    auto setFiles = [](const TempDir& dir) {
        int n = 0;
        for (const auto& e : std::filesystem::directory_iterator(PathOf(dir.Path())))
            n += Utf8Of(e.path().filename()).starts_with("set") ? 1 : 0;
        return n;
    };
    for (const bool create : {true, false}) {
        // The calls a whole run makes, with the callback set and saying go on.
        auto run = [&](const TempDir& dir, int stopAt, bool& stopped) {
            int calls = 0;
            auto progress = [&](std::uint64_t done, std::uint64_t total) {
                EXPECT_LE(done, total);
                return ++calls != stopAt;
            };
            if (create) {
                for (const auto& [name, content] : s.Originals)
                    dir.Write(name, content);
                Par2CreateOptions options;
                options.Recursive = true;
                options.Redundancy = 40;
                options.SliceSize = 1024;
                options.Progress = progress;
                stopped = CreatePar2Set(RealFs(), dir.Path(), dir / "set.par2", options).Stopped;
            } else {
                CopyInto(made, dir);
                Par2RebuildOptions options;
                options.Progress = progress;
                stopped = RebuildPar2Set(RealFs(), dir / "set.par2", options).Stopped;
            }
            return calls;
        };
        int count = 0;
        {
            TempDir dir;
            bool stopped = true;
            count = run(dir, 0, stopped);
            ASSERT_FALSE(stopped);
            ASSERT_GT(count, 3) << (create ? "create" : "rebuild");
        }
        for (int k = 1; k <= count; k += std::max(1, count / 25)) {
            TempDir dir;
            bool stopped = false;
            run(dir, k, stopped);
            const std::string where = std::string(create ? "create" : "rebuild") + " stopped at call " + std::to_string(k);
            EXPECT_TRUE(stopped) << where;
            EXPECT_TRUE(NoTemporaries(dir)) << where;
            EXPECT_TRUE(dir.Read("b.bin") == s.Originals["b.bin"]) << where;
            if (create) {
                EXPECT_EQ(setFiles(dir), 0) << where;
                continue;
            }
            const std::string a = dir.Read("a.bin");
            EXPECT_TRUE(a == s.DamagedA || a == s.Originals["a.bin"]) << where;
            EXPECT_EQ(dir.Exists("a.bin.1"), a == s.Originals["a.bin"]) << where;
            if (dir.Exists("sub/c.bin")) {
                EXPECT_TRUE(dir.Read("sub/c.bin") == s.Originals["sub/c.bin"]) << where;
            }
        }
    }
}

// A damaged file is kept under a name no file of the set has: with "a.bin" damaged and "a.bin.1" of the
// set missing, both are rebuilt and the damaged one is kept as "a.bin.2".
TEST(Par2Rebuild, TheDamagedFileIsKeptUnderANameTheSetDoesNotUse) {
    TempDir dir;
    const std::string a = RandomBytes(5000, 21), a1 = RandomBytes(3000, 22);
    dir.Write("a.bin", a);
    dir.Write("a.bin.1", a1);
    Par2CreateOptions options;
    options.Redundancy = 100;
    options.SliceSize = 512;
    CreatePar2Set(RealFs(), dir.Path(), dir / "set.par2", options);
    std::string damaged = a;
    damaged[10] = static_cast<char>(~damaged[10]);
    dir.Write("a.bin", damaged);
    std::filesystem::remove(PathOf(dir / "a.bin.1"));
    const Par2RebuildResult r = RebuildPar2Set(RealFs(), dir / "set.par2", {});
    for (const Par2FileOutcome& f : r.Files)
        EXPECT_EQ(f.Result, Par2FileOutcome::Rebuilt) << f.Name << " " << f.Reason;
    EXPECT_TRUE(dir.Read("a.bin") == a);
    EXPECT_TRUE(dir.Read("a.bin.1") == a1);
    EXPECT_TRUE(dir.Read("a.bin.2") == damaged);
}

// A set whose one file is named `name`, made with the packet makers as a hostile set would be.
void WriteSetNaming(const TempDir& dir, const std::string& name, const std::string& content) {
    const std::uint64_t slice = 64;
    std::string padded = content;
    padded.resize((content.size() + slice - 1) / slice * slice, '\0');
    par2::FileDescPacket desc;
    const ContentKey whole = DigestOf(HashAlgorithm::Md5, content.data(), content.size());
    std::memcpy(desc.Hash.data(), whole.Bytes.data(), 16);
    desc.Hash16k = desc.Hash;
    desc.Length = content.size();
    desc.Name = name;
    desc.FileId = par2::FileIdOf(desc.Hash16k, desc.Length, name);
    par2::IfscPacket ifsc;
    ifsc.FileId = desc.FileId;
    for (std::size_t at = 0; at < padded.size(); at += slice) {
        par2::SliceCheck check;
        const ContentKey k = DigestOf(HashAlgorithm::Md5, padded.data() + at, slice);
        std::memcpy(check.Hash.data(), k.Bytes.data(), 16);
        check.Crc = 0;
        ifsc.Slices.push_back(check);
    }
    par2::MainPacket main;
    main.SliceSize = slice;
    main.RecoveryFiles.push_back(desc.FileId);
    const par2::Md5Bytes id = par2::SetIdOf(main);
    std::string bytes;
    for (const auto& p : {par2::MakePacket(id, par2::MainType, par2::MainBody(main)),
                          par2::MakePacket(id, par2::FileDescType, par2::FileDescBody(desc)),
                          par2::MakePacket(id, par2::IfscType, par2::IfscBody(ifsc))})
        bytes.append(reinterpret_cast<const char*>(p.data()), p.size());
    // Recovery slices enough for the whole file; their data does not matter, as the name must stop it.
    for (std::uint32_t e = 0; e < padded.size() / slice; ++e) {
        std::vector<std::uint8_t> body(4 + slice);
        body[0] = static_cast<std::uint8_t>(e);
        const auto p = par2::MakePacket(id, par2::RecvSlicType, body);
        bytes.append(reinterpret_cast<const char*>(p.data()), p.size());
    }
    dir.Write("set.par2", bytes);
}

// A folder where a missing file of the set belongs stays as it is, with what it holds, and the rebuild
// says so in those words; the set's other files are rebuilt.
TEST(Par2Rebuild, AFolderInAFilesPlaceStaysAndIsNamedAsOne) {
    TempDir dir;
    Sample s;
    s.Make(dir);
    dir.Write("sub/c.bin/inside.txt", "kept");
    const Par2RebuildResult r = RebuildPar2Set(RealFs(), dir / "set.par2", {});
    std::map<std::string, Par2FileOutcome> by;
    for (const Par2FileOutcome& f : r.Files)
        by[f.Name] = f;
    EXPECT_EQ(by["sub/c.bin"].Result, Par2FileOutcome::Failed);
    EXPECT_NE(by["sub/c.bin"].Reason.find("Is a directory"), std::string::npos) << by["sub/c.bin"].Reason;
    EXPECT_EQ(dir.Read("sub/c.bin/inside.txt"), "kept");
    EXPECT_EQ(by["a.bin"].Result, Par2FileOutcome::Rebuilt);
    EXPECT_EQ(dir.Read("a.bin"), s.Originals["a.bin"]);
    EXPECT_TRUE(NoTemporaries(dir));
}

TEST(Par2Rebuild, NamesLeadingOutOfTheFolderAreRefusedAndNeverWritten) {
    for (const char* name : {"../escaped.bin", "/tmp/absolute.bin", "sub/../../x.bin", ""}) {
        TempDir set; // nothing but the set lies in it
        WriteSetNaming(set, name, RandomBytes(200, 7));
        const Par2RebuildResult r = RebuildPar2Set(RealFs(), set / "set.par2", {});
        ASSERT_EQ(r.Files.size(), 1u) << name;
        EXPECT_EQ(r.Files[0].Result, Par2FileOutcome::Refused) << name;
        EXPECT_FALSE(std::filesystem::exists(PathOf(set.Path() + "/../escaped.bin")));
        EXPECT_FALSE(std::filesystem::exists("/tmp/absolute.bin"));
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(PathOf(set.Path())),
                                std::filesystem::directory_iterator{}),
                  1)
            << name;
    }
}

TEST(Par2CreateNaming, VolumesSplitAndAreNamedAsPar2cmdlineNamesThem) {
    struct Row {
        std::uint32_t Recovery;
        unsigned Volumes;
        std::vector<std::uint32_t> Sizes;
        std::vector<std::string> Names;
    };
    const Row rows[] = {
        {200, 0, {1, 2, 4, 8, 16, 32, 64, 73},
         {"s.vol000+01.par2", "s.vol001+02.par2", "s.vol003+04.par2", "s.vol007+08.par2", "s.vol015+16.par2",
          "s.vol031+32.par2", "s.vol063+64.par2", "s.vol127+73.par2"}},
        {10, 0, {1, 2, 4, 3}, {"s.vol00+1.par2", "s.vol01+2.par2", "s.vol03+4.par2", "s.vol07+3.par2"}},
        {9, 2, {5, 4}, {"s.vol0+5.par2", "s.vol5+4.par2"}},
        {200, 3, {67, 67, 66}, {"s.vol000+67.par2", "s.vol067+67.par2", "s.vol134+66.par2"}},
        {2, 5, {1, 1}, {"s.vol0+1.par2", "s.vol1+1.par2"}},
        {0, 0, {}, {}},
    };
    for (const Row& row : rows) {
        const std::vector<std::uint32_t> sizes = VolumeSizes(row.Recovery, row.Volumes);
        EXPECT_EQ(sizes, row.Sizes) << row.Recovery << " in " << row.Volumes;
        const std::uint32_t largest = sizes.empty() ? 0 : *std::max_element(sizes.begin(), sizes.end());
        std::uint32_t first = 0;
        for (std::size_t i = 0; i < sizes.size() && i < row.Names.size(); ++i) {
            EXPECT_EQ(VolumeName("s.par2", first, sizes[i], row.Recovery, largest), row.Names[i]);
            first += sizes[i];
        }
    }
}

TEST(Par2CreateNaming, SliceSizeIsTheSmallestMultipleOf4WithinTheCount) {
    // par2cmdline's choice for 3,000,000 + 1,234,567 bytes and 2000 blocks.
    EXPECT_EQ(ChooseSliceSize({3000000, 1234567}, 2000), 2120u);
    EXPECT_EQ(ChooseSliceSize({1}, 2000), 4u);
    // More files than the count: one slice each at least.
    EXPECT_EQ(ChooseSliceSize({100, 100, 100}, 2), 100u);
    EXPECT_EQ(ChooseSliceSize({std::uint64_t{1} << 40}, 2000), 549755816u);
}


// The set's files are checked several at once on the workers: with one thread or eight, each file has the
// same outcome and the same texts, in the set's order, and the progress is told on the caller's thread
// only, never going back. Files changed, cut short, grown, emptied, replaced and missing, with recovery
// data enough for all of them and too little.
TEST(Par2Rebuild, OneThreadAndEightCheckAndRebuildAlike) {
    const std::map<std::string, std::string> originals = {
        {"intact.bin", RandomBytes(30000, 11)}, {"changed.bin", RandomBytes(25000, 12)},
        {"short.bin", RandomBytes(20000, 13)},  {"long.bin", RandomBytes(9000, 14)},
        {"gone.bin", RandomBytes(7000, 15)},    {"sub/emptied.bin", RandomBytes(5000, 16)},
        {"replaced.bin", RandomBytes(12000, 17)}};
    for (const unsigned redundancy : {120u, 10u}) {
        TempDir made;
        for (const auto& [name, content] : originals)
            made.Write(name, content);
        Par2CreateOptions create;
        create.Recursive = true;
        create.Redundancy = redundancy;
        create.SliceSize = 1000;
        CreatePar2Set(RealFs(), made.Path(), made / "set.par2", create);
        std::string changed = originals.at("changed.bin");
        for (std::size_t i : {5u, 4000u, 24999u})
            changed[i] = static_cast<char>(~changed[i]);
        made.Write("changed.bin", changed);
        made.Write("short.bin", originals.at("short.bin").substr(0, 14500));
        made.Write("long.bin", originals.at("long.bin") + "tail");
        made.Write("sub/emptied.bin", "");
        made.Write("replaced.bin", RandomBytes(12000, 99));
        std::filesystem::remove(PathOf(made / "gone.bin"));

        std::vector<std::string> outcomes[2];
        std::map<std::string, std::string> after[2];
        for (const unsigned workers : {1u, 8u}) {
            TempDir dir;
            CopyInto(made, dir);
            Par2RebuildOptions options;
            options.Workers = workers;
            options.Disk = DiskChoice::Ssd;
            const std::thread::id caller = std::this_thread::get_id();
            std::uint64_t last = 0;
            options.Progress = [&](std::uint64_t done, std::uint64_t total) {
                EXPECT_EQ(std::this_thread::get_id(), caller);
                EXPECT_GE(done, last);
                EXPECT_LE(done, total);
                last = done;
                return true;
            };
            const Par2RebuildResult r = RebuildPar2Set(RealFs(), dir / "set.par2", options);
            std::vector<std::string>& o = outcomes[workers == 1 ? 0 : 1];
            o.push_back(std::to_string(r.InputSlices) + " " + std::to_string(r.LostSlices) + " " +
                        std::to_string(r.RecoverySlices) + " " + std::to_string(r.MoreNeeded));
            for (const Par2FileOutcome& f : r.Files)
                o.push_back(f.Name + " " + std::to_string(static_cast<int>(f.Result)) + " " +
                            f.KeptAs.substr(std::min(f.KeptAs.size(), dir.Path().size())) + " " + f.Reason);
            for (const auto& e : std::filesystem::recursive_directory_iterator(PathOf(dir.Path()))) {
                if (!e.is_regular_file()) continue;
                std::string name = Utf8Of(std::filesystem::relative(e.path(), PathOf(dir.Path())));
                std::replace(name.begin(), name.end(), '\\', '/');
                after[workers == 1 ? 0 : 1][name] = dir.Read(name);
            }
        }
        EXPECT_EQ(outcomes[0], outcomes[1]) << redundancy << " %";
        EXPECT_TRUE(after[0] == after[1]) << redundancy << " %";
        if (redundancy == 120) {
            for (const auto& [name, content] : originals)
                EXPECT_TRUE(after[1][name] == content) << name;
            EXPECT_TRUE(after[1]["changed.bin.1"] == changed);
        } else {
            EXPECT_NE(outcomes[1][0].substr(outcomes[1][0].rfind(' ')), " 0"); // more recovery data needed
            EXPECT_TRUE(after[1]["changed.bin"] == changed);
        }
    }
}

} // namespace
} // namespace tv::test
