// The repair lookup gives the answers of the table lookups it replaces, on random tables crowded with
// equal sizes, including the files that are entries' own files.
#include "repair/ContentIndex.h"
#include "core/Ordering.h"
#include "repair/RepairHarness.h"

#include <random>

namespace tv::test {
namespace {

struct Fixture {
    TempDir dir;
    std::string base = dir.MakeFolder("set");
    TEntryTable table;
    std::int32_t count = 0;
    std::vector<std::string> files;
};

// Entries of 1 to 4 bytes (so sizes repeat a lot); for each, maybe its own file, maybe a copy elsewhere,
// maybe a file of the same size with other content. With `repeatCrcs` some entries share a content.
void Build(Fixture& f, std::uint32_t seed, bool repeatCrcs) {
    std::mt19937 rng(seed);
    std::set<std::string> used;
    std::vector<std::string> contents;
    const int n = 20 + static_cast<int>(rng() % 40);
    for (int k = 0; k < n; ++k) {
        std::string c;
        if (repeatCrcs && !contents.empty() && rng() % 4 == 0) {
            c = contents[rng() % contents.size()];
        } else {
            do
                c = RandomBytes(1 + rng() % 4, static_cast<std::uint32_t>(rng()));
            while (used.count(c));
        }
        used.insert(c);
        contents.push_back(c);
        const std::string name = std::string("e").append(std::to_string(k)).append(".bin");
        f.table.MakeRoom(f.count);
        f.table[f.count++] =
            TCrcTable{name, static_cast<std::int32_t>(c.size()), CrcOf(c), 0, false, false, false, false, false, false, {}, {}};
        if (rng() % 3 == 0) f.files.push_back(f.dir.Write("set/" + name, c));
        if (rng() % 2 == 0) f.files.push_back(f.dir.Write("other/c" + std::to_string(k), c));
        if (rng() % 3 == 0)
            f.files.push_back(
                f.dir.Write("other/x" + std::to_string(k), RandomBytes(c.size(), static_cast<std::uint32_t>(k))));
    }
}

TEST(ContentIndex, AnswersAsTheTableLookupsDo) {
    RealFileSystem fs;
    for (std::uint32_t seed = 1; seed <= 30; ++seed) {
        for (bool bySize : {true, false}) {
            Fixture f;
            Build(f, seed, seed % 2 == 0); // with and without entries that share a content
            // A search set of the first k entries, sorted as the search sorts it.
            const std::int32_t k = f.count - static_cast<std::int32_t>(seed % 7);
            if (bySize)
                SortEntriesBySize(f.table, 0, k - 1);
            else
                SortEntriesByCrc(f.table, 0, k - 1);
            ContentIndex index(f.table, k, bySize, f.base);
            for (const std::string& path : f.files) {
                const std::vector<std::int32_t> expected = bySize ? FindEntryBySize(fs, f.table, k, f.base, path)
                                                                  : FindEntryByCrc(fs, f.table, k, f.base, path);
                EXPECT_EQ(index.Find(fs, path), expected) << seed << ' ' << path;
                EXPECT_EQ(index.Find(fs, path, fs.FileLength(path)), expected) << seed << ' ' << path;
            }
            EXPECT_TRUE(index.Find(fs, f.dir / "no such file").empty());
            EXPECT_TRUE(index.Find(fs, f.dir / "other").empty()); // a folder
        }
    }
}

TEST(ContentIndex, EmptySetMatchesNothing) {
    RealFileSystem fs;
    Fixture f;
    const std::string p = f.dir.Write("x", "x");
    EXPECT_TRUE(ContentIndex(f.table, 0, true, f.base).Find(fs, p).empty());
    EXPECT_TRUE(ContentIndex(f.table, 0, false, f.base).Find(fs, p).empty());
}

} // namespace
} // namespace tv::test
