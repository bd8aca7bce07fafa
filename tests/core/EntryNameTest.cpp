// Names packed in a table's store: every length comes back whole, and what leaves the table (a copy,
// a copied table) keeps its own bytes once the table forgets its names.
#include "core/Entry.h"
#include "core/EntryNames.h"
#include "core/FolderTree.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <vector>

namespace tv {
namespace {

std::vector<std::int32_t> Vec(std::span<const std::int32_t> s) { return {s.begin(), s.end()}; }

// The owners of each name come out ascending and once each, however the pairs came, and added pairs
// join the ones held; a name without pairs has none.
TEST(EntryName, OwnersOfEachNameAreSortedOnceEachAndMerge) {
    NameOwners owners(4, {{2, 7}, {0, 3}, {2, 1}, {2, 7}, {0, 3}, {3, 0}});
    ASSERT_EQ(owners.size(), 4u);
    EXPECT_EQ(Vec(owners[0]), (std::vector<std::int32_t>{3}));
    EXPECT_TRUE(owners[1].empty());
    EXPECT_EQ(Vec(owners[2]), (std::vector<std::int32_t>{1, 7}));
    EXPECT_EQ(Vec(owners[3]), (std::vector<std::int32_t>{0}));
    owners.Add({{1, 5}, {2, 4}, {2, 7}});
    EXPECT_EQ(Vec(owners[1]), (std::vector<std::int32_t>{5}));
    EXPECT_EQ(Vec(owners[2]), (std::vector<std::int32_t>{1, 4, 7}));
    EXPECT_EQ(Vec(owners[3]), (std::vector<std::int32_t>{0}));
}

TEST(EntryName, PackedNamesOfEveryLengthClassSurviveTheirTable) {
    // Around the one-byte length limit, a name past a quarter block (a block of its own), and the
    // name that follows it, which goes on in the shared block.
    const std::vector<std::size_t> lengths = {1, 19, 126, 127, 128, 16383, 16385, 70000, 3};
    std::vector<std::string> names;
    for (std::size_t n : lengths)
        names.push_back(std::string(n, static_cast<char>('a' + names.size())) + "\xE3\x81\x82");
    TEntryTable t;
    t.MakeRoom(static_cast<std::int32_t>(names.size()));
    for (std::size_t i = 0; i < names.size(); ++i)
        t.SetName(static_cast<std::int32_t>(i), names[i]);
    std::vector<EntryName> copies;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const EntryName& name = t[static_cast<std::int32_t>(i)].FileName;
        EXPECT_EQ(name, names[i]) << lengths[i];
        EXPECT_EQ(name.size(), names[i].size());
        copies.push_back(name);
    }
    TEntryTable copied = t;
    TEntryTable moved = std::move(t);
    EXPECT_EQ(moved[4].FileName, names[4]); // a moved table keeps its store
    moved.ForgetNames();
    EXPECT_TRUE(moved[4].FileName.empty());
    for (std::size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(copies[i], names[i]);
        EXPECT_EQ(copied[static_cast<std::int32_t>(i)].FileName, names[i]);
    }
    // A name set directly owns its bytes; an empty one holds nothing.
    copied[0].FileName = std::string("x.bin");
    copied[1].FileName = "";
    EXPECT_EQ(copied[0].FileName, "x.bin");
    EXPECT_TRUE(copied[1].FileName.empty());
    EXPECT_GT(copied[0].FileName, copied[2].FileName); // byte order: "x" after "c"
}

// The owners of disk names come out the same whichever side is indexed: few disk names index the
// names, as many index the entries.
TEST(EntryName, OwnersAreTheSameFromEitherSide) {
    struct Row {
        std::string name, listBytes;
        bool byListBytes;
    };
    const std::vector<Row> rows = {
        {"a.bin", "", false},
        {"A.BIN", "", false},
        {"sub/c.bin", "", false},
        {"\xE8\xA1\xA8.bin", "\x95\x5C.bin", false},
        {"\x95\x5C.bin", "\x95\x5C.bin", true},
        {"b.bin", "", false},
        {"a.bin", "", false},
    };
    TEntryTable t;
    t.MakeRoom(static_cast<std::int32_t>(rows.size()));
    for (std::size_t i = 0; i < rows.size(); ++i) {
        TCrcTable& e = t[static_cast<std::int32_t>(i)];
        e.FileName = rows[i].name;
        e.ListBytes = rows[i].listBytes;
        e.ByListBytes = rows[i].byListBytes;
    }
    const auto n = static_cast<std::int32_t>(rows.size());
    const std::vector<std::string> disk = {"a.bin", "\xE8\xA1\xA8.bin", "\x95\x5C.bin", "sub/c.bin", "none"};
    const NameIndex index(t, n);
    for (std::size_t few = 1; few <= disk.size(); ++few) {
        std::vector<const std::string*> names;
        for (std::size_t k = 0; k < few; ++k)
            names.push_back(&disk[k]);
        // Indexing the names side (fewer than the entries) and, with the entries cut to `few`, the entries side.
        const auto owners = OwnersOf(t, n, names, [] {});
        for (std::size_t k = 0; k < few; ++k)
            EXPECT_EQ(Vec(owners[k]), index.Named(disk[k])) << disk[k];
        const auto cut = static_cast<std::int32_t>(few - 1);
        const NameIndex cutIndex(t, cut);
        const auto cutOwners = OwnersOf(t, cut, names, [] {});
        for (std::size_t k = 0; k < few; ++k)
            EXPECT_EQ(Vec(cutOwners[k]), cutIndex.Named(disk[k])) << disk[k] << " of " << cut;
    }
    // Not empty comparisons: both "a.bin" entries (and "A.BIN" where names fold case) own "a.bin".
    const std::vector<std::int32_t> a = index.Named("a.bin");
    ASSERT_GE(a.size(), 2u);
    EXPECT_EQ(a.front(), 0);
    EXPECT_EQ(a.back(), 6);
    EXPECT_FALSE(index.Named("\x95\x5C.bin").empty());
}

// The quick test of a name's folder agrees with the native name it stands for, for every way a name is held.
TEST(EntryName, InSubFolderAgreesWithTheNativeName) {
    const std::string names[] = {"a.bin",       "d/a.bin",    "d\\a.bin",       "\x95\\.bin", "\x95\\/x.bin",
                                 "\x95\\\\x.bin", "d\\\x95\\", "/lead",         "tail/",       ""};
    for (const std::string& name : names)
        for (int flags = 0; flags < 4; ++flags) {
            TCrcTable e;
            e.FileName = name;
            e.ByListBytes = (flags & 1) != 0;
            e.LiteralBackslash = (flags & 2) != 0;
            EXPECT_EQ(EntryInSubFolder(e), InSubFolder(EntryNativeName(e))) << "'" << name << "' " << flags;
        }
}

} // namespace
} // namespace tv
