// Verification of random folders: every kind of entry ends in the state its files call for, and the
// rows and counters are the same whichever CRC kernel runs (the byte-wise reference included).
#include "app/TallyvaultMain.h"
#include "core/Crc32.h"
#include "core/Crc32Kernels.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace tv {
namespace {

enum class Kind { Intact, Damaged, Missing, Moved, DamagedWithCopy, WrongListedSize };

struct Planned {
    std::string name;
    std::int32_t size;
    std::uint32_t crc;
    Kind kind;
};

// A folder of files for `count` entries of random kinds, plus some unrelated files; returns the plan.
std::vector<Planned> MakeFolder(const test::TempDir& dir, int count, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<Planned> plan;
    for (int i = 0; i < count; ++i) {
        const auto kind = static_cast<Kind>(rng() % 6);
        // Mostly small files, now and then one that spans several read blocks.
        const std::size_t size = rng() % 16 == 0 ? (std::size_t{1} << 20) + rng() % 70000 : rng() % 5000 + 1;
        const std::string content = test::RandomBytes(size, seed * 1000u + static_cast<std::uint32_t>(i));
        // Mixed letter case: the same-name test ignores it.
        const std::string name = std::string(i % 3 == 0 ? "Entry" : "entry") + std::to_string(i) + ".bin";
        const std::uint32_t crc = Crc32(content.data(), content.size());
        std::string damaged = content;
        damaged[size / 2] = static_cast<char>(damaged[size / 2] ^ 0x5A);
        switch (kind) {
        case Kind::Intact:
        case Kind::WrongListedSize: dir.Write(name, content); break;
        case Kind::Damaged: dir.Write(name, damaged); break;
        case Kind::Missing: break;
        case Kind::Moved: dir.Write("moved-" + name, content); break;
        case Kind::DamagedWithCopy:
            dir.Write(name, damaged);
            dir.Write("copy-" + name, content);
            break;
        }
        const auto listed = static_cast<std::int32_t>(kind == Kind::WrongListedSize ? size + 1 : size);
        plan.push_back({name, listed, crc, kind});
    }
    for (int i = 0; i < 5; ++i) dir.Write("other" + std::to_string(i) + ".dat", test::RandomBytes(300, seed + 77u + static_cast<std::uint32_t>(i)));
    return plan;
}

int ExpectedIcon(Kind k, bool withSizes) {
    switch (k) {
    case Kind::Intact: return 0;
    case Kind::Damaged: return 2;
    case Kind::Missing: return 3;
    case Kind::Moved:
    case Kind::DamagedWithCopy: return 1;
    case Kind::WrongListedSize: return withSizes ? 2 : 0; // with sizes the file is never read
    }
    return -1;
}

// A row's texts, kept after its form is gone.
struct Row {
    std::string Caption;
    std::vector<std::string> SubItems;
    int ImageIndex;
    bool Checked;
};

struct Outcome {
    std::vector<Row> rows;
    std::int32_t good, bad, missing, same;
};

Outcome Verify(const test::TempDir& dir, const std::vector<Planned>& plan, bool withSizes) {
    test::FakeUi ui;
    TForm1 form(ui, RealFs());
    for (const Planned& p : plan) form.AppendEntry(p.name, p.size, p.crc);
    form.ListPath = dir / "list.sfv";
    form.ListHasSizes = withSizes;
    form.VerifyEntries();
    EXPECT_TRUE(ui.Errors.empty());
    EXPECT_TRUE(ui.DuplicateQuestions.empty());
    std::vector<Row> rows;
    for (const TListItem& r : form.CrcList.Items())
        rows.push_back({r.Caption(), r.SubItems(), r.ImageIndex, r.Checked});
    return {rows, form.GoodCount, form.BadCount, form.MissingCount, form.SameFileCount};
}

class VerifyAcrossKernels : public ::testing::TestWithParam<bool> {};

TEST_P(VerifyAcrossKernels, RandomFoldersGiveTheSameRowsOnEveryKernel) {
    const bool withSizes = GetParam();
    const Crc32Kernel before = ActiveCrc32Kernel();
    for (std::uint32_t seed : {1u, 2u}) {
        test::TempDir dir;
        const std::vector<Planned> plan = MakeFolder(dir, 40, seed);
        ASSERT_TRUE(SetCrc32Kernel(Crc32Kernel::Reference));
        const Outcome reference = Verify(dir, plan, withSizes);

        // Each entry's state follows from how its files were laid out.
        ASSERT_EQ(reference.rows.size(), plan.size());
        for (const Row& row : reference.rows) {
            const auto it = std::find_if(plan.begin(), plan.end(), [&](const Planned& p) { return p.name == row.Caption; });
            ASSERT_NE(it, plan.end()) << row.Caption;
            EXPECT_EQ(row.ImageIndex, ExpectedIcon(it->kind, withSizes)) << row.Caption << " seed " << seed;
        }

        for (Crc32Kernel k : AllCrc32Kernels) {
            if (k == Crc32Kernel::Reference || !SetCrc32Kernel(k)) continue;
            const Outcome o = Verify(dir, plan, withSizes);
            ASSERT_EQ(o.rows.size(), reference.rows.size()) << Crc32KernelName(k);
            for (std::size_t i = 0; i < o.rows.size(); ++i) {
                EXPECT_EQ(o.rows[i].Caption, reference.rows[i].Caption) << Crc32KernelName(k);
                EXPECT_EQ(o.rows[i].SubItems, reference.rows[i].SubItems) << Crc32KernelName(k);
                EXPECT_EQ(o.rows[i].ImageIndex, reference.rows[i].ImageIndex) << Crc32KernelName(k);
                EXPECT_EQ(o.rows[i].Checked, reference.rows[i].Checked) << Crc32KernelName(k);
            }
            EXPECT_EQ(std::tie(o.good, o.bad, o.missing, o.same),
                      std::tie(reference.good, reference.bad, reference.missing, reference.same))
                << Crc32KernelName(k);
        }
    }
    SetCrc32Kernel(before);
}

INSTANTIATE_TEST_SUITE_P(Lists, VerifyAcrossKernels, ::testing::Bool(),
                         [](const auto& p) { return p.param ? std::string("WithSizes") : std::string("WithoutSizes"); });

} // namespace
} // namespace tv
