#include "core/Crc32.h"
#include "core/Matching.h"
#include "core/Ordering.h"
#include "core/PacedSort.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>

namespace tv {
namespace {

using test::TempDir;

TCrcTable Rec(std::string name, std::int32_t size, std::uint32_t crc) {
    TCrcTable e;
    e.FileName = std::move(name);
    e.FileSize = size;
    e.Crc = crc;
    return e;
}

TEntryTable Table(std::vector<TCrcTable> records) {
    TEntryTable t;
    t.Records.assign(std::make_move_iterator(records.begin()), std::make_move_iterator(records.end()));
    return t;
}

// The quicksort written out step by step, recursing on both sides in order, as the reference for
// where equal keys end up.
template <class Key>
void LiteralQuickSort(std::vector<TCrcTable>& a, int lo, int hi, const std::function<Key(const TCrcTable&)>& key,
                      const std::function<bool(const Key&, const Key&)>& less) {
    if (hi < lo) return;
    const Key pivot = key(a[static_cast<std::size_t>((lo + hi) / 2)]);
    int i = lo, j = hi;
    do {
        while (less(key(a[static_cast<std::size_t>(i)]), pivot)) ++i;
        while (less(pivot, key(a[static_cast<std::size_t>(j)]))) --j;
        if (i <= j) {
            std::swap(a[static_cast<std::size_t>(i)], a[static_cast<std::size_t>(j)]);
            ++i;
            --j;
        }
    } while (i <= j);
    if (lo < j) LiteralQuickSort(a, lo, j, key, less);
    if (i < hi) LiteralQuickSort(a, i, hi, key, less);
}

TEST(Ordering, KeysCompareAsTheirTypes) {
    TEntryTable crc = Table({Rec("a", 0, 0x80000000u), Rec("b", 0, 0x7FFFFFFFu), Rec("c", 0, 0xFFFFFFFFu)});
    SortEntriesByCrc(crc, 0, 2);
    EXPECT_EQ(crc[0].Crc, 0x7FFFFFFFu);
    EXPECT_EQ(crc[1].Crc, 0x80000000u);
    EXPECT_EQ(crc[2].Crc, 0xFFFFFFFFu);

    TEntryTable size = Table({Rec("a", 0, 0), Rec("b", -1, 0), Rec("c", 2147483647, 0)});
    SortEntriesBySize(size, 0, 2);
    EXPECT_EQ(size[0].FileSize, -1);
    EXPECT_EQ(size[1].FileSize, 0);

    TEntryTable names = Table({Rec("A_", 0, 0), Rec("abc", 0, 0), Rec("AZ", 0, 0), Rec("ab", 0, 0)});
    SortEntriesByName(names, 0, 3);
    EXPECT_EQ(names[0].FileName, "ab");
    EXPECT_EQ(names[1].FileName, "abc");
    EXPECT_EQ(names[2].FileName, "AZ");
    EXPECT_EQ(names[3].FileName, "A_");
}

TEST(Ordering, NameComparison) {
    EXPECT_EQ(CompareNames("abc", "ABC"), 0);
    EXPECT_EQ(CompareNames("Abc", "aBC"), 0);
    EXPECT_LT(CompareNames("ab", "abc"), 0);
    EXPECT_GT(CompareNames("A_", "AZ"), 0);
    // Bytes above 127 compare unsigned, after the ASCII letters.
    EXPECT_GT(CompareNames("\xE3\x81\x82", "Z"), 0);
}

TEST(Ordering, RangesOutsideOrOfOneAreLeftAlone) {
    TEntryTable t = Table({Rec("b", 2, 2), Rec("a", 1, 1)});
    SortEntriesByCrc(t, 1, 0);
    SortEntriesByCrc(t, 0, 0);
    EXPECT_EQ(t[0].FileName, "b");
}

// Equal keys end where the exact quicksort puts them; the de-duplication keeps the first of each
// run, so this order is what decides which listed name survives.
TEST(Ordering, EqualKeysEndWhereTheExactSortPutsThem) {
    std::mt19937 rng(1234);
    for (int round = 0; round < 300; ++round) {
        const int n = 1 + static_cast<int>(rng() % 200);
        std::vector<TCrcTable> recs;
        for (int i = 0; i < n; ++i) {
            std::string name = std::string(1, static_cast<char>("aAbB_"[rng() % 5])) + std::to_string(rng() % 4);
            recs.push_back(Rec(name + "#" + std::to_string(i), static_cast<std::int32_t>(rng() % 6) - 2,
                               static_cast<std::uint32_t>((rng() % 2) ? 0x80000000u + rng() % 5 : rng() % 5)));
        }
        std::vector<TCrcTable> expectCrc = recs, expectSize = recs, expectName = recs;
        LiteralQuickSort<std::uint32_t>(
            expectCrc, 0, n - 1, [](const TCrcTable& e) { return e.Crc; },
            [](const std::uint32_t& a, const std::uint32_t& b) { return a < b; });
        LiteralQuickSort<std::int32_t>(
            expectSize, 0, n - 1, [](const TCrcTable& e) { return e.FileSize; },
            [](const std::int32_t& a, const std::int32_t& b) { return a < b; });
        // Names compare on their part before "#", so equal names are common.
        auto stem = [](const TCrcTable& e) { return e.FileName.str().substr(0, e.FileName.view().find('#')); };
        LiteralQuickSort<std::string>(expectName, 0, n - 1, stem,
                                      [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });

        TEntryTable byCrc = Table(recs), bySize = Table(recs);
        SortEntriesByCrc(byCrc, 0, n - 1);
        SortEntriesBySize(bySize, 0, n - 1);
        for (int i = 0; i < n; ++i) {
            ASSERT_EQ(byCrc[i].FileName, expectCrc[static_cast<std::size_t>(i)].FileName) << "round " << round;
            ASSERT_EQ(bySize[i].FileName, expectSize[static_cast<std::size_t>(i)].FileName) << "round " << round;
        }
        // The name sort is checked on names without the tag: tags are part of the real key.
        std::vector<TCrcTable> stems = recs;
        for (auto& r : stems) r.SameFile = r.FileName, r.FileName = stem(r);
        std::vector<TCrcTable> expectStems = stems;
        LiteralQuickSort<std::string>(
            expectStems, 0, n - 1, [](const TCrcTable& e) { return e.FileName.str(); },
            [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
        TEntryTable byName = Table(stems);
        SortEntriesByName(byName, 0, n - 1);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(byName[i].SameFile, expectStems[static_cast<std::size_t>(i)].SameFile) << "round " << round;
    }
}

// Long names that share their first eight bytes, differ in case, end inside or just past them, or
// hold bytes above 0x7F: the sorted table is the literal quicksort's, equal names included, and a part
// of a table sorts alone, its records moved and nothing else touched.
TEST(Ordering, LongNamesAndPartsSortAsTheLiteralQuicksort) {
    const std::vector<std::string> stems = {"abcdefgh",  "ABCDEFGH",  "abcdefg",   "abcdefgh_", "abcdefghA",
                                            "abcdefgha", "abcdefgh\\x", "Abcdefgi",  "abcdefg_",  "\xE3\x81\x82" "bcdefgh",
                                            "f0000001.bin", "F0000001.BIN", "f0000010.bin", "f00000010.bin", "a"};
    std::mt19937 rng(4242);
    for (int round = 0; round < 200; ++round) {
        const int n = 2 + static_cast<int>(rng() % 300);
        std::vector<TCrcTable> recs;
        for (int i = 0; i < n; ++i) {
            TCrcTable e = Rec(stems[rng() % stems.size()], i, 0);
            e.SameFile = std::to_string(i); // tells equal names apart
            recs.push_back(std::move(e));
        }
        const int lo = static_cast<int>(rng() % 3), hi = n - 1 - static_cast<int>(rng() % 2);
        std::vector<TCrcTable> expect = recs;
        if (lo <= hi)
            LiteralQuickSort<std::string>(
                expect, lo, hi, [](const TCrcTable& e) { return e.FileName.str(); },
                [](const std::string& a, const std::string& b) { return CompareNames(a, b) < 0; });
        TEntryTable t = Table(recs);
        SortEntriesByName(t, lo, hi);
        for (int i = 0; i < n; ++i)
            ASSERT_EQ(t[i].SameFile, expect[static_cast<std::size_t>(i)].SameFile) << "round " << round << " at " << i;
    }
}

// Where the heads of two names differ they order them as CompareNames does; a folder's plain files come
// out of PlainFilesOf in NameBefore's order whatever order the listing gave.
TEST(Ordering, NameHeadsAgreeWithTheNameOrder) {
    const std::vector<std::string> names = {"",          "a",         "A",          "ab",        "abcdefg",
                                            "abcdefgh",  "ABCDEFGH",  "abcdefgh_",  "abcdefghA", "abcdefgha",
                                            "abcdefg_",  "Abcdefgi",  "abcdefg\x7F", "abcdefg\x80", "\xE3\x81\x82",
                                            "f0000001.bin", "f00000010.bin", "[x]", "_a", "`a", "{a"};
    for (const std::string& a : names)
        for (const std::string& b : names)
            if (NameHead(a) != NameHead(b)) {
                EXPECT_EQ(NameHead(a) < NameHead(b), CompareNames(a, b) < 0) << a << " / " << b;
            }

    std::vector<FolderEntry> listing;
    for (const std::string& n : names)
        if (!n.empty()) listing.push_back(FolderEntry{n, static_cast<std::int64_t>(n.size())});
    std::vector<std::string> expect;
    for (const FolderEntry& e : listing) expect.push_back(e.Name);
    std::sort(expect.begin(), expect.end(), [](const std::string& a, const std::string& b) { return NameBefore(a, b); });
    std::mt19937 rng(7);
    for (int round = 0; round < 20; ++round) {
        std::shuffle(listing.begin(), listing.end(), rng);
        const std::vector<FolderEntry> sorted = PlainFilesOf(listing, [] {});
        ASSERT_EQ(sorted.size(), expect.size());
        for (std::size_t k = 0; k < sorted.size(); ++k) {
            ASSERT_EQ(sorted[k].Name, expect[k]) << k;
            EXPECT_EQ(sorted[k].Size, static_cast<std::int64_t>(expect[k].size())) << k; // each entry whole
        }
    }
}

// Pausing for the window changes nothing: the paced sorts give the unpaced order, equal keys included.
TEST(Ordering, PacedSortsGiveTheSameOrder) {
    std::mt19937 rng(99);
    for (int n : {0, 1, 255, 4096, 4097, 3 * 4096 + 5}) {
        std::vector<int> plain(static_cast<std::size_t>(n));
        for (int& v : plain) v = static_cast<int>(rng() % 1000);
        std::vector<int> paced = plain;
        int pauses = 0;
        std::sort(plain.begin(), plain.end());
        PacedSort(paced.begin(), paced.end(), std::less<>(), [&] { ++pauses; });
        EXPECT_EQ(paced, plain) << n;
        EXPECT_EQ(pauses > 0, n > 4096) << n;

        std::vector<TCrcTable> recs;
        for (int i = 0; i < n; ++i) {
            // Appended piece by piece: a literal + string chain trips a false -Wrestrict of GCC 12 at -O3.
            std::string name = "n";
            name += std::to_string(rng() % 50);
            name += '#';
            name += std::to_string(i);
            recs.push_back(Rec(name, static_cast<std::int32_t>(rng() % 7), static_cast<std::uint32_t>(rng() % 9)));
        }
        for (auto sort : {SortEntriesByCrc, SortEntriesBySize, SortEntriesByName}) {
            TEntryTable a = Table(recs), b = Table(recs);
            sort(a, 0, n - 1, {});
            sort(b, 0, n - 1, [&] { ++pauses; });
            for (int i = 0; i < n; ++i)
                ASSERT_EQ(a[i].FileName, b[i].FileName) << n;
        }
    }
}

TEST(Ordering, ManyEqualKeysSortWithoutDeepRecursion) {
    TEntryTable t;
    for (int i = 0; i < 200000; ++i) t.Records.push_back(Rec("x", 5, 7));
    SortEntriesByCrc(t, 0, 199999);
    SortEntriesBySize(t, 0, 199999);
    SortEntriesByName(t, 0, 199999);
    EXPECT_EQ(t[199999].Crc, 7u);
}

class Lookup : public ::testing::Test {
protected:
    TempDir dir;
    TEntryTable t;
    std::string base;

    void SetUp() override {
        base = dir.Path();
        // Entries sorted by size: 3 ("abc"), 5 ("hello", "world"), 9.
        t = Table({Rec("three.txt", 3, Crc("abc")), Rec("hello.txt", 5, Crc("hello")), Rec("world.txt", 5, Crc("world")),
                   Rec("nine.txt", 9, Crc("123456789"))});
    }
    static std::uint32_t Crc(const std::string& s) { return tv::Crc32(s.data(), s.size()); }
};

TEST_F(Lookup, FindsTheEntryWithTheFilesContent) {
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 4, base, dir.Write("elsewhere/w.bin", "world")), std::vector<std::int32_t>{2});
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 4, base, dir.Write("elsewhere/h.bin", "hello")), std::vector<std::int32_t>{1});
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 4, base, dir.Write("elsewhere/x.bin", "xxxxx")), std::vector<std::int32_t>{});
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 4, base, dir / "missing.bin"), std::vector<std::int32_t>{});
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 0, base, dir.Write("elsewhere/w2.bin", "world")), std::vector<std::int32_t>{});
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 4, base, dir.MakeFolder("afolder")), std::vector<std::int32_t>{});

    TEntryTable byCrc = t;
    SortEntriesByCrc(byCrc, 0, 3);
    const std::vector<std::int32_t> i = FindEntryByCrc(RealFs(), byCrc, 4, base, dir / "elsewhere/w.bin");
    ASSERT_EQ(i.size(), 1u);
    EXPECT_EQ(byCrc[i[0]].FileName, "world.txt");
}

TEST_F(Lookup, TheEntrysOwnFileIsNoMatchWhateverItsLetterCase) {
    dir.Write("hello.txt", "hello");
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 4, base, dir / "hello.txt"), std::vector<std::int32_t>{});
    EXPECT_EQ(FindEntryBySize(RealFs(), t, 4, base, UpperAscii(dir / "hello.txt")), std::vector<std::int32_t>{});
    TEntryTable byCrc = t;
    SortEntriesByCrc(byCrc, 0, 3);
    EXPECT_EQ(FindEntryByCrc(RealFs(), byCrc, 4, base, dir / "hello.txt"), std::vector<std::int32_t>{});
}

// Counts the files opened for reading.
class CountingFs : public RealFileSystem {
public:
    int opens = 0;
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        ++opens;
        return RealFileSystem::OpenRead(path);
    }
    std::int64_t FileLength(const std::string& path) override { return RealFileSystem::OpenRead(path)->Length(); }
};

TEST_F(Lookup, ASizeNobodyListsIsNeverRead) {
    CountingFs fs;
    for (const char* content : {"abcd", "0123456789", "ab"}) {
        EXPECT_EQ(FindEntryBySize(fs, t, 4, base, dir.Write("f.bin", content)), std::vector<std::int32_t>{}) << content;
        EXPECT_EQ(fs.opens, 0) << content;
    }
    EXPECT_EQ(FindEntryBySize(fs, t, 4, base, dir.Write("f.bin", "xxxxx")), std::vector<std::int32_t>{});
    EXPECT_EQ(fs.opens, 1);
}

TEST(EntryTable, GrowsBy128AndNeverShrinks) {
    TEntryTable t;
    EXPECT_EQ(t.Capacity(), 0);
    std::int32_t count = 0;
    std::vector<std::int32_t> seen;
    for (int i = 0; i < 300; ++i) {
        t.MakeRoom(count);
        ++count;
        if (i == 0 || i == 128 || i == 256) seen.push_back(t.Capacity());
    }
    EXPECT_EQ(seen, (std::vector<std::int32_t>{128, 256, 384}));
    t.MakeRoom(5); // a shorter list later keeps the capacity
    EXPECT_EQ(t.Capacity(), 384);
}

} // namespace
} // namespace tv
