// Names packed in a table's store: every length comes back whole, and what leaves the table (a copy,
// a copied table) keeps its own bytes once the table forgets its names.
#include "core/Entry.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tv {
namespace {

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

} // namespace
} // namespace tv
