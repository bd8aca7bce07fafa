// PAR2 sets: the packet scan against damaged, shifted, cut and hostile files, the body parsers' limits,
// set file names, and the set loaded as a list (rows, the 16 KiB test, damage counts, refused names).
#include "readers/Par2Fixture.h"

#include "app/TallyvaultMain.h"
#include "readers/Par2List.h"
#include "readers/Par2Reader.h"
#include "readers/Texts.h"
#include "repair/RepairTexts.h"
#include "support/FakeUi.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"
#include "writers/Par2Create.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>

namespace tv::test {
namespace {

std::string LowerHexOf(const par2::Md5Bytes& m) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const std::uint8_t b : m)
        (out += digits[b >> 4]) += digits[b & 15];
    return out;
}

par2::SetPackets ScanText(const std::string& bytes) {
    par2::SetBuilder b;
    par2::MemorySource src(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
    b.Read(src);
    return b.Finish();
}

std::string Flip(std::string s, std::size_t at) {
    s[at] = static_cast<char>(s[at] ^ 0x40);
    return s;
}

// Where packet k of a made set starts in its bytes.
std::size_t Start(const Par2Made& m, std::size_t k) {
    std::size_t at = 0;
    for (std::size_t i = 0; i < k; ++i)
        at += m.Packets[i].size();
    return at;
}

TEST(Par2Scan, DamagedShiftedCutAndHostilePacketsLoseOnlyThemselves) {
    const std::vector<Par2FileSpec> files = {{"a.bin", RandomBytes(1000, 1)}, {"dir/b.bin", RandomBytes(77, 2)}};
    const Par2Made set = MakePar2(files, 256);
    const std::string once = set.Bytes();
    // The packets in the Main packet's order of files (sorted IDs) name the rows' order.
    const par2::SetPackets plain = ScanText(once);
    ASSERT_TRUE(plain.Main);
    ASSERT_EQ(plain.Files.size(), 2u);
    std::map<std::string, const par2::SetFile*> byName;
    for (const par2::SetFile& f : plain.Files)
        byName[f.Desc->Name] = &f;
    ASSERT_EQ(byName.size(), 2u);
    EXPECT_EQ(byName["a.bin"]->Desc->Length, 1000u);
    EXPECT_EQ(byName["a.bin"]->Slices.size(), 4u);
    EXPECT_TRUE(byName["dir/b.bin"]->HasSlices);
    EXPECT_EQ(plain.Creator, "Test maker 1.0");
    EXPECT_EQ(plain.InputSlices(), 5u);

    const std::size_t descA = Start(set, 1) + 70, descB = Start(set, 3) + 70;
    std::string hugeHeader(par2::Magic.begin(), par2::Magic.end());
    std::string len(8, '\0');
    len[7] = static_cast<char>(0x80); // 2^63
    hugeHeader += len + std::string(48, 'x');
    std::string oddLength = hugeHeader;
    oddLength[8] = 66, oddLength[15] = 0;

    struct Case {
        const char* Name;
        std::string Bytes;
        std::size_t Described, PassedOverAtLeast;
    };
    const Case cases[] = {
        {"two copies", once + once, 2, 0},
        {"first copy of a description damaged", Flip(once, descA) + once, 2, 1},
        {"every copy of a description damaged", Flip(once, descB) + Flip(once, descB), 1, 2},
        {"shifted by odd garbage", "xyz" + once.substr(0, Start(set, 2)) + "12345" + once.substr(Start(set, 2)), 2, 0},
        {"cut short inside a packet", once + once.substr(0, Start(set, 3) + 10), 2, 1},
        {"a length of 2^63 before the set", hugeHeader + once, 2, 1},
        {"a length that is no multiple of 4", oddLength + once, 2, 1},
        {"a header cut short at the end", once + hugeHeader.substr(0, 20), 2, 1},
        {"a length running past the end",
         once + hugeHeader.substr(0, 8) + std::string("\0\4\0\0\0\0\0\0", 8) + std::string(48, 'y') + "short", 2, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const par2::SetPackets got = ScanText(c.Bytes);
        ASSERT_TRUE(got.Main);
        EXPECT_EQ(got.Files.size() - got.Undescribed(), c.Described);
        EXPECT_GE(got.PassedOver, c.PassedOverAtLeast);
    }
}

TEST(Par2Scan, PacketsOfAnotherSetAndAMainWithoutItsIdAreLeftOut) {
    const Par2Made set = MakePar2({{"a.bin", "aaaa"}}, 64);
    const Par2Made other = MakePar2({{"z.bin", "zzzz"}, {"y.bin", "yy"}}, 64);
    // The other set's descriptions come after this one's Main packet: they name no row of this set.
    const par2::SetPackets got = ScanText(set.Bytes() + other.Bytes());
    ASSERT_TRUE(got.Main);
    ASSERT_EQ(got.Files.size(), 1u);
    EXPECT_EQ(got.Files[0].Desc->Name, "a.bin");

    // A Main packet whose body does not hash to its set ID (a forged or mixed header) is no Main packet.
    par2::MainPacket forged;
    forged.SliceSize = 64;
    const std::vector<std::uint8_t> wrong = par2::MakePacket(set.SetId, par2::MainType, par2::MainBody(forged));
    EXPECT_FALSE(ScanText(AsText(wrong)).Main);
}

TEST(Par2Scan, TheUnicodeNamePacketNamesTheFile) {
    const Par2Made set = MakePar2({{"a.bin", "aaaa"}}, 64);
    par2::UniNamePacket name;
    name.FileId = DescOf({"a.bin", "aaaa"}).FileId;
    name.Utf16Le = std::string("\xFC\0.\0b\0", 6); // "ü.b"
    const std::string uni = AsText(par2::MakePacket(set.SetId, par2::UniFileNameType, par2::UniNameBody(name)));
    const par2::SetPackets got = ScanText(uni + set.Bytes());
    ASSERT_EQ(got.Files.size(), 1u);
    EXPECT_EQ(got.Files[0].UnicodeName, std::optional<std::string>("\xC3\xBC.b"));
    EXPECT_EQ(got.Files[0].Desc->Name, "a.bin");
}

TEST(Par2Scan, BodyParsersRefuseCountsTheBodyDoesNotHold) {
    std::vector<std::uint8_t> main;
    par2::PutLe64(main, 64);
    par2::PutLe32(main, 2);
    main.resize(main.size() + 16, 1); // one ID where two are counted
    EXPECT_FALSE(par2::ParseMain(main));
    std::vector<std::uint8_t> zeroSlice(12 + 16, 0);
    EXPECT_FALSE(par2::ParseMain(zeroSlice));
    std::vector<std::uint8_t> oddSlice;
    par2::PutLe64(oddSlice, 6);
    par2::PutLe32(oddSlice, 0);
    EXPECT_FALSE(par2::ParseMain(oddSlice));
    EXPECT_FALSE(par2::ParseIfsc(std::vector<std::uint8_t>(16 + 19)));
    EXPECT_EQ(par2::ParseIfsc(std::vector<std::uint8_t>(16 + 40))->Slices.size(), 2u);
    EXPECT_FALSE(par2::ParseFileDesc(std::vector<std::uint8_t>(55)));
    EXPECT_FALSE(
        par2::ParseUniName(std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 'a'}));
}

TEST(Par2Names, SetFilesAndRefusedNames) {
    const std::pair<const char*, const char*> bases[] = {
        {"photos.par2", "photos"},        {"photos.vol03+04.par2", "photos"},
        {"photos.vol3-7.PAR2", "photos"}, {"a.b.vol1+1.par2", "a.b"},
        {"x.volume.par2", "x.volume"},    {"x.vol+1.par2", "x.vol+1"},
        {"photos.sfv", nullptr},          {".par2", ""},
    };
    for (const auto& [name, base] : bases) {
        SCOPED_TRACE(name);
        const std::optional<std::string> got = Par2BaseName(name);
        if (base)
            EXPECT_EQ(got, std::string(base));
        else
            EXPECT_FALSE(got);
    }
    const std::pair<const char*, bool> names[] = {
        {"a.bin", false},
        {"dir/sub/a.bin", false},
        {"日本語/ファイル.txt", false},
        {"/etc/passwd", true},
        {"//server/x", true},
        {"C:\\x", true},
        {"c:x", true},
        {"../x", true},
        {"a/../../x", true},
        {"a/..", true},
        {"", true},
        {"a//b", true},
    };
    for (const auto& [name, refused] : names)
        EXPECT_EQ(!Par2NameRefusal(name).empty(), refused) << name;

    TempDir dir;
    for (const char* n : {"s.par2", "s.vol0+1.par2", "S.VOL1+2.PAR2", "s.vol2-3.par2", "t.par2", "s.par2.bak", "s.txt"})
        dir.Write(n, "x");
    std::vector<std::string> got;
    for (const std::string& p : Par2SetFiles(RealFs(), dir / "s.par2"))
        got.push_back(p.substr(dir.Path().size() + 1));
    // On a file system that ignores letter case, S.VOL1+2.PAR2 is of the set too; here the base name is
    // compared as the file system compares names.
    EXPECT_EQ(got.front(), "s.par2");
    EXPECT_NE(std::find(got.begin(), got.end(), "s.vol0+1.par2"), got.end());
    EXPECT_NE(std::find(got.begin(), got.end(), "s.vol2-3.par2"), got.end());
    EXPECT_EQ(std::find(got.begin(), got.end(), "t.par2"), got.end());
    EXPECT_EQ(std::find(got.begin(), got.end(), "s.par2.bak"), got.end());
}

// Counts the bytes read from each file, whichever thread reads it.
class CountingFs : public FaultyFileSystem {
public:
    std::map<std::string, std::int64_t> BytesRead;
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        struct Counted : InputFile {
            std::unique_ptr<InputFile> In;
            std::int64_t& N;
            std::mutex& Lock;
            Counted(std::unique_ptr<InputFile> in, std::int64_t& n, std::mutex& lock) : In(std::move(in)), N(n), Lock(lock) {}
            std::size_t Read(void* b, std::size_t s) override {
                const std::size_t got = In->Read(b, s);
                const std::lock_guard<std::mutex> held(Lock);
                N += static_cast<std::int64_t>(got);
                return got;
            }
            std::int64_t Length() override { return In->Length(); }
        };
        std::unique_ptr<InputFile> in = FaultyFileSystem::OpenRead(path);
        const std::lock_guard<std::mutex> held(lock_);
        return std::make_unique<Counted>(std::move(in), BytesRead[path], lock_);
    }

private:
    std::mutex lock_;
};

struct Par2Form {
    FakeUi ui;
    CountingFs fs;
    TForm1 form{ui, fs};
    TempDir dir;
    Par2Form() { form.SteadyClock = EveryStepClock(); }
    void Load(const std::string& name) {
        form.ListPath = dir / name;
        form.RunCommand([&] { form.OpenListFile(); }, true);
    }
    std::string Mark(const std::string& name) const {
        for (const TListItem& row : form.CrcList.Items())
            if (row.Caption() == name) return MarkOfIcon(row.ImageIndex);
        return "(no row)";
    }
};

TEST(Par2List, RenamedFileFoundByItsFirst16KiBAndDamageCountedPerSlice) {
    const std::int64_t size = 100 * 1024;
    const std::string a = RandomBytes(size, 11), b = RandomBytes(size, 12), c = RandomBytes(5000, 13);
    std::string bDamaged = b;
    bDamaged[3 * 4096 + 5] ^= 1; // slice 3 of 25
    bDamaged[20 * 4096] ^= 1;    // slice 20
    const Par2Made set = MakePar2({{"a.bin", a}, {"b.bin", b}, {"sub/c.bin", c}, {"info.txt", "note", false}}, 4096);
    Par2Form h;
    h.dir.Write("set.par2", set.Bytes());
    // A volume with three good recovery slices (one repeated), one of the wrong size and one damaged.
    std::string volume = AsText(RecoveryPacket(set.SetId, 0, 4096)) + AsText(RecoveryPacket(set.SetId, 1, 4096)) +
                         AsText(RecoveryPacket(set.SetId, 1, 4096)) + AsText(RecoveryPacket(set.SetId, 2, 4096)) +
                         AsText(RecoveryPacket(set.SetId, 3, 2048)) +
                         Flip(AsText(RecoveryPacket(set.SetId, 4, 4096)), 900);
    h.dir.Write("set.vol0+5.par2", volume);
    h.dir.Write("renamed.bin", a);
    h.dir.Write("b.bin", bDamaged);
    // Decoys of a's size: one with another beginning, one that begins as a does but differs later.
    h.dir.Write("decoy1.bin", RandomBytes(size, 14));
    std::string late = a;
    late[50000] ^= 1;
    h.dir.Write("decoy2.bin", late);
    h.Load("set.par2");

    ASSERT_TRUE(h.form.Par2Set);
    EXPECT_EQ(h.Mark("a.bin"), "！");
    EXPECT_EQ(h.Mark("b.bin"), "×");
    EXPECT_EQ(h.Mark("sub/c.bin"), "－");
    EXPECT_EQ(h.Mark("info.txt"), "－");
    // The decoy with another beginning is read no further than its first 16 KiB.
    EXPECT_LE(h.fs.BytesRead[h.dir / "decoy1.bin"], 16 * 1024);
    EXPECT_LE(h.fs.BytesRead[h.dir / "renamed.bin"], 16 * 1024 + size);
    EXPECT_GE(h.fs.BytesRead[h.dir / "renamed.bin"], size);

    const Par2SetState& s = *h.form.Par2Set;
    EXPECT_EQ(s.Blocks, 25u + 25u + 2u); // the non-recovery file has no slices
    EXPECT_EQ(s.Damaged, 2u + 2u);       // b's two slices and c's two
    EXPECT_EQ(s.RecoveryBlocks, 3u);
    EXPECT_EQ(s.Wanting(), 1u);
    EXPECT_EQ(Par2DamageLines(s), "blocks damaged 4 of 52; recovery blocks 3\nrepair needs 1 more recovery blocks\n");
    EXPECT_NE(h.form.Status.Caption().find(Par2DamageSentence(s)), std::string::npos);

    // Cut short mid-slice and mid-file: the slices it no longer reaches are damaged, those before are not.
    h.dir.Write("b.bin", b.substr(0, 10 * 4096 + 100));
    h.dir.Write("sub/c.bin", c);
    h.Load("set.par2");
    EXPECT_EQ(h.Mark("b.bin"), "×");
    EXPECT_EQ(h.form.Par2Set->Damaged, 15u);
    EXPECT_EQ(Par2DamageLines(*h.form.Par2Set).substr(0, 41), "blocks damaged 15 of 52; recovery blocks ");
}

TEST(Par2List, AVolumeOfManyPacketsIsReadOnce) {
    // More than one read chunk of packets, one of them damaged: each packet's header is found in what
    // the scan read last, never by reading the volume from its start again.
    const Par2Made set = MakePar2({{"a.bin", RandomBytes(4096, 21)}}, 4096);
    Par2Form h;
    h.dir.Write("set.par2", set.Bytes());
    std::string volume;
    for (std::uint32_t k = 0; k < 300; ++k) {
        const std::string packet = AsText(RecoveryPacket(set.SetId, k, 4096));
        volume += k == 150 ? Flip(packet, 100) : packet;
    }
    h.dir.Write("set.vol0+300.par2", volume);
    h.dir.Write("a.bin", RandomBytes(4096, 21));
    h.Load("set.par2");
    ASSERT_TRUE(h.form.Par2Set);
    EXPECT_EQ(h.form.Par2Set->RecoveryBlocks, 299u);
    EXPECT_EQ(h.fs.BytesRead[h.dir / "set.vol0+300.par2"], static_cast<std::int64_t>(volume.size()));
}

TEST(Par2List, DamageOfSeveralFilesIsCountedAlikeWithAnyThreads) {
    // Four damaged files (read together where there are workers), one missing and one intact.
    const std::int64_t size = 10 * 4096;
    std::vector<Par2FileSpec> specs;
    for (const char* name : {"f0.bin", "f1.bin", "f2.bin", "f3.bin", "f4.bin", "f5.bin"})
        specs.push_back({name, RandomBytes(size, static_cast<std::uint32_t>(30 + specs.size()))});
    const Par2Made set = MakePar2(specs, 4096);
    Par2Form h;
    h.dir.Write("set.par2", set.Bytes());
    for (int k = 0; k < 4; ++k) {
        std::string damaged = specs[static_cast<std::size_t>(k)].Content;
        for (int slice = 0; slice <= k; ++slice)
            damaged[static_cast<std::size_t>(slice * 2 * 4096 + 7)] ^= 1;
        h.dir.Write(specs[static_cast<std::size_t>(k)].Name, damaged);
    }
    h.dir.Write("f5.bin", specs[5].Content);
    h.Load("set.par2");
    ASSERT_TRUE(h.form.Par2Set);
    EXPECT_EQ(h.form.Par2Set->Damaged, 1u + 2u + 3u + 4u + 10u);
    EXPECT_EQ(h.form.Par2Set->Blocks, 60u);
    EXPECT_EQ(h.Mark("f3.bin"), "×");
    EXPECT_EQ(h.Mark("f4.bin"), "－");
    EXPECT_EQ(h.Mark("f5.bin"), "○");
}

TEST(Par2List, UnreadableSetsSayWhy) {
    const Par2Made set = MakePar2({{"a.bin", "aaaa"}, {"b.bin", "bb"}}, 64);
    {
        // No Main packet: irregular, the creator shown.
        Par2Form h;
        h.dir.Write("x.par2", AsText(set.Packets.back()));
        h.Load("x.par2");
        EXPECT_EQ(h.form.Status.Caption(), std::string(texts::IrregularPar2Status) + "x.par2");
        ASSERT_EQ(h.ui.Messages.size(), 1u);
        EXPECT_NE(h.ui.Messages[0].find("Test maker 1.0"), std::string::npos);
        EXPECT_EQ(h.form.CrcList.Count(), 0);
    }
    {
        // One description lost everywhere: its file is no row, and the status says so.
        Par2Form h;
        std::string bytes;
        for (std::size_t k = 0; k < set.Packets.size(); ++k)
            if (k != 3) bytes += AsText(set.Packets[k]);
        h.dir.Write("x.par2", bytes);
        h.dir.Write("a.bin", "aaaa");
        h.dir.Write("b.bin", "bb");
        h.Load("x.par2");
        ASSERT_TRUE(h.form.Par2Set);
        EXPECT_EQ(h.form.Par2Set->Undescribed, 1u);
        EXPECT_EQ(h.form.CrcList.Count(), 1);
        EXPECT_NE(h.form.Status.Caption().find(Par2UndescribedNote(1)), std::string::npos);
    }
}

TEST(Par2List, RefusedNamesAreShownButNeverRenamedInto) {
    const std::string content = RandomBytes(3000, 21);
    const Par2Made set =
        MakePar2({{"../evil.bin", content}, {"/tmp/abs.bin", content + "x"}, {"ok.bin", "fine"}}, 1024);
    Par2Form h;
    const std::string inner = h.dir.MakeFolder("set");
    h.dir.Write("set/x.par2", set.Bytes());
    h.dir.Write("set/found.bin", content);
    h.dir.Write("set/ok.bin", "fine");
    h.Load("set/x.par2");
    ASSERT_TRUE(h.form.Par2Set);
    EXPECT_EQ(h.form.Par2Set->Refused, 2u);
    EXPECT_EQ(h.Mark("../evil.bin"), "！");
    EXPECT_EQ(h.Mark("/tmp/abs.bin"), "－");
    EXPECT_NE(h.form.Status.Caption().find(Par2RefusedNote(2)), std::string::npos);
    h.form.AllOnClick();
    h.form.RunCommand([&] { h.form.FileChangeCmdClick(); }, true);
    EXPECT_FALSE(h.dir.Exists("evil.bin"));
    EXPECT_TRUE(h.dir.Exists("set/found.bin"));
}

// 改 on a PAR2 set: the renamed file goes back to its name, then the damaged and the missing files are
// rebuilt from the recovery slices (the damaged one kept as NAME.1) and every row is ○; with too few
// recovery slices nothing is written and the message says how many more are needed.
TEST(Par2List, FixRenamesThenRebuildsFromTheRecoverySlices) {
    const std::map<std::string, std::string> files = {
        {"a.bin", RandomBytes(30000, 31)}, {"b.bin", RandomBytes(50000, 32)}, {"sub/c.bin", RandomBytes(9000, 33)}};
    struct Case {
        unsigned Redundancy;
        bool Rebuilt;
    };
    for (const Case& k : {Case{30, true}, Case{3, false}}) {
        Par2Form h;
        for (const auto& [name, content] : files)
            h.dir.Write(name, content);
        Par2CreateOptions options;
        options.Recursive = true;
        options.Redundancy = k.Redundancy;
        options.SliceSize = 1024;
        CreatePar2Set(RealFs(), h.dir.Path(), h.dir / "set.par2", options);
        std::filesystem::rename(PathOf(h.dir / "a.bin"), PathOf(h.dir / "renamed.bin"));
        std::string damaged = files.at("b.bin");
        for (std::size_t i = 10000; i < 12000; ++i)
            damaged[i] = static_cast<char>(~damaged[i]);
        h.dir.Write("b.bin", damaged);
        std::filesystem::remove(PathOf(h.dir / "sub/c.bin"));
        h.Load("set.par2");
        ASSERT_TRUE(h.form.Par2Set);
        EXPECT_EQ(h.Mark("a.bin"), "！");
        EXPECT_EQ(h.Mark("b.bin"), "×");
        EXPECT_EQ(h.Mark("sub/c.bin"), "－");
        h.form.AllOnClick();
        h.ui.Messages.clear();
        h.form.RunCommand([&] { h.form.RenameButtonClick(); }, true);
        const std::string where = "redundancy " + std::to_string(k.Redundancy);
        EXPECT_TRUE(h.dir.Read("a.bin") == files.at("a.bin")) << where;
        EXPECT_TRUE(h.ui.Errors.empty()) << where;
        ASSERT_FALSE(h.ui.Messages.empty()) << where;
        if (k.Rebuilt) {
            EXPECT_TRUE(h.dir.Read("b.bin") == files.at("b.bin"));
            EXPECT_TRUE(h.dir.Read("b.bin.1") == damaged);
            EXPECT_TRUE(h.dir.Read("sub/c.bin") == files.at("sub/c.bin"));
            for (const char* name : {"a.bin", "b.bin", "sub/c.bin"})
                EXPECT_EQ(h.Mark(name), "○") << name;
            EXPECT_EQ(h.form.Par2Set->Damaged, 0u);
            EXPECT_EQ(h.ui.Messages.back(), texts::RebuiltHead + std::string("2") + texts::RebuiltTail);
        } else {
            EXPECT_TRUE(h.dir.Read("b.bin") == damaged);
            EXPECT_FALSE(h.dir.Exists("b.bin.1"));
            EXPECT_FALSE(h.dir.Exists("sub/c.bin"));
            const std::string more = std::to_string(h.form.Par2Set->Wanting());
            EXPECT_NE(more, "0");
            EXPECT_EQ(h.ui.Messages.back(), texts::RebuildTooFewHead + more + texts::RebuildTooFewTail);
        }
    }
}

TEST(Par2List, RequestListOfTheMissingRowsIsAnMd5List) {
    const Par2Made set = MakePar2({{"here.bin", "here"}, {"sub/gone.bin", "gone"}}, 64);
    Par2Form h;
    h.dir.Write("s.par2", set.Bytes());
    h.dir.Write("here.bin", "here");
    h.Load("s.par2");
    ASSERT_EQ(h.Mark("sub/gone.bin"), "－");
    const std::string request = h.dir / "s_Request.md5";
    // Only the missing row ticked, as "－をﾁｪｯｸ" leaves it.
    h.form.AllOffClick();
    for (std::int32_t i = 0; i < h.form.CrcList.Count(); ++i)
        h.form.CrcList.EditItem(i).Checked = h.form.CrcList.Item(i).ImageIndex == 3;
    h.ui.DialogAnswers.push_back(request);
    h.form.RunCommand([&] { h.form.MakeRequestCmdClick(); }, true);
    ASSERT_EQ(h.ui.Dialogs.size(), 1u);
    EXPECT_EQ(h.ui.Dialogs[0].Proposed, request);
    EXPECT_EQ(h.dir.Read("s_Request.md5"), LowerHexOf(Md5Bytes("gone")) + "  sub/gone.bin\n");
}

} // namespace
} // namespace tv::test
