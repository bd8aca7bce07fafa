// The folder scans find candidates by binary search; these tests hold them to the middle-out walk
// over the sorted table, written out step by step.
#include "core/Matching.h"
#include "core/Ordering.h"

#include <gtest/gtest.h>

#include <random>

namespace tv {
namespace {

std::uint32_t Next(std::mt19937& r) { return static_cast<std::uint32_t>(r()); }

// The walk over a size-sorted table for a file of `size` and content `crc`: the entries whose CRC
// is compared and equal, in the order met, and whether the file had to be read at all.
std::vector<std::int32_t> LiteralSizeWalk(const TEntryTable& t, std::int32_t n, std::int64_t size, std::uint32_t crc,
                                          bool& read) {
    std::vector<std::int32_t> out;
    read = false;
    std::int32_t middle = (n - 1) / 2;
    while (middle > 0 && t[middle - 1].FileSize == t[middle].FileSize) --middle;
    if (size < t[0].FileSize || size > t[n - 1].FileSize) return out;
    auto visit = [&](std::int32_t i) {
        if (t[i].FileSize == size) {
            read = true;
            if (t[i].Crc == crc) out.push_back(i);
        }
    };
    if (size < t[middle].FileSize) {
        for (std::int32_t i = middle - 1; i >= 0; --i) {
            if (t[i].FileSize < size) break;
            visit(i);
        }
    } else {
        for (std::int32_t i = middle; i < n; ++i) {
            if (t[i].FileSize > size) break;
            visit(i);
        }
    }
    return out;
}

std::int32_t LiteralCrcWalk(const TEntryTable& t, std::int32_t n, std::uint32_t c) {
    std::int32_t middle = (n - 1) / 2;
    if (c < t[0].Crc || c > t[n - 1].Crc) return -1;
    std::int32_t found = -1;
    if (c < t[middle].Crc) {
        for (std::int32_t i = middle - 1; i >= 0 && t[i].Crc >= c; --i)
            if (t[i].Crc == c) found = i;
    } else {
        for (std::int32_t i = middle; i < n && t[i].Crc <= c; ++i)
            if (t[i].Crc == c) found = i;
    }
    return found;
}

TEST(Matching, SizeLookupMeetsTheEntriesTheWalkMeets) {
    std::mt19937 rng(99);
    for (int round = 0; round < 400; ++round) {
        const std::int32_t n = 1 + static_cast<std::int32_t>(Next(rng) % 60);
        TEntryTable t;
        // Few distinct sizes, so runs of equal sizes are long; CRCs unique as after de-duplication.
        for (std::int32_t i = 0; i < n; ++i) {
            TCrcTable e;
            e.FileSize = static_cast<std::int32_t>(Next(rng) % 7) - 1;
            e.Crc = static_cast<std::uint32_t>(i) * 2654435761u;
            t.Records.push_back(e);
        }
        SortEntriesBySize(t, 0, n - 1);
        SizeMatcher matcher(t, n);
        for (int probe = 0; probe < 40; ++probe) {
            const std::int64_t size = static_cast<std::int64_t>(Next(rng) % 9) - 2;
            // Half the probes carry the content of a random entry, the rest content nobody lists.
            const std::uint32_t crc = (Next(rng) % 2) ? t[static_cast<std::int32_t>(Next(rng) % static_cast<unsigned>(n))].Crc
                                                  : 0xDEADBEEFu;
            bool walkRead = false;
            const auto expected = LiteralSizeWalk(t, n, size, crc, walkRead);
            int reads = 0;
            const auto got = matcher.Match(size, [&] {
                ++reads;
                return crc;
            });
            ASSERT_EQ(got, expected) << "round " << round << " size " << size;
            EXPECT_EQ(reads, walkRead ? 1 : 0) << "round " << round << " size " << size;
        }
    }
}

TEST(Matching, CrcLookupFindsTheEntryTheWalkFinds) {
    std::mt19937 rng(5);
    for (int round = 0; round < 300; ++round) {
        const std::int32_t n = 1 + static_cast<std::int32_t>(Next(rng) % 50);
        TEntryTable t;
        std::uint32_t crc = Next(rng) % 3;
        for (std::int32_t i = 0; i < n; ++i) {
            TCrcTable e;
            e.Crc = crc;
            crc += 1 + Next(rng) % 3 + ((Next(rng) % 4 == 0) ? 0x04000000u : 0u);
            t.Records.push_back(e);
        }
        for (int probe = 0; probe < 30; ++probe) {
            const std::uint32_t c = (Next(rng) % 2) ? t[static_cast<std::int32_t>(Next(rng) % static_cast<unsigned>(n))].Crc
                                                : static_cast<std::uint32_t>(Next(rng));
            ASSERT_EQ(MatchByCrc(t, n, c), LiteralCrcWalk(t, n, c)) << "round " << round;
        }
    }
}

} // namespace
} // namespace tv
