// Digest entries are sorted and grouped by their first four bytes: entries that share those bytes but
// differ later must never take each other's files, in the verification, a drop or the search's lookup.
#include "platform/Hashing.h"
#include "support/FormHarness.h"

#include <gtest/gtest.h>

namespace tv {
namespace {

using test::FormHarness;

ContentKey Sha256(const std::string& s) {
    return DigestOf(HashAlgorithm::Sha256, s.data(), s.size());
}

// The digest of `s` with its last byte changed: the same first four bytes, another content.
ContentKey Twin(const std::string& s) {
    ContentKey k = Sha256(s);
    k.Bytes[k.Size() - 1] ^= 0x5A;
    return k;
}

TEST(DigestKeys, CarriesComparesTheWholeDigestAndItsAlgorithm) {
    TEntryTable t;
    t.MakeRoom(0);
    const ContentKey k = Sha256("alpha");
    t.SetKey(0, k);
    ContentKey md5Bytes = k;
    md5Bytes.Algorithm = HashAlgorithm::Md5; // the same first sixteen bytes named as another algorithm
    EXPECT_TRUE(t.Carries(t[0], k));
    EXPECT_FALSE(t.Carries(t[0], Twin("alpha")));
    EXPECT_FALSE(t.Carries(t[0], md5Bytes));
    EXPECT_FALSE(t.Carries(t[0], ContentKey::OfCrc(k.Prefix())));
    EXPECT_EQ(t.KeyOf(0), k);
}

struct Case {
    const char* Title;
    std::vector<std::pair<std::string, std::string>> Files;       // on disk
    std::vector<std::tuple<std::string, std::string, bool>> Keys; // entry name, content, twin of it
    std::vector<std::string> Rows;                                // after the verification
};

class DigestPrefixes : public ::testing::TestWithParam<std::tuple<Case, bool>> {};

TEST_P(DigestPrefixes, EntriesSharingFirstBytesKeepTheirOwnFiles) {
    const auto& [c, sizes] = GetParam();
    FormHarness h;
    for (const auto& [name, content] : c.Files)
        h.dir.Write(name, content);
    for (const auto& [name, content, twin] : c.Keys)
        h.form.AppendEntry(name, sizes ? static_cast<std::int64_t>(content.size()) : NoSize,
                           twin ? Twin(content) : Sha256(content));
    h.form.SetListAlgorithms(HashAlgorithm::Sha256, HashAlgorithm::Sha256);
    h.form.ListPath = h.dir / "list.sha256";
    h.form.BaseFolder = h.dir.Path();
    h.form.ListHasSizes = sizes;
    h.form.RunCommand([&] { h.form.VerifyEntries(); }, true);
    EXPECT_EQ(h.Rows(), c.Rows) << c.Title;
    EXPECT_TRUE(h.ui.DuplicateQuestions.empty()) << c.Title;
    EXPECT_TRUE(h.form.CrcList.Item(0).SubItem(1).size() == 64) << "the column shows the whole digest";
}

const Case Cases[] = {
    {"own files, the twin's own file carries the other's content",
     {{"a.bin", "alpha"}, {"b.bin", "alpha"}},
     {{"a.bin", "alpha", false}, {"b.bin", "alpha", true}},
     {"○ a.bin", "× b.bin"}},
    {"the twin is missing: the other's file is not its same file",
     {{"a.bin", "alpha"}},
     {{"a.bin", "alpha", false}, {"b.bin", "alpha", true}},
     {"○ a.bin", "－ b.bin"}},
    {"a copy under another name serves the entry it carries, not the twin",
     {{"copy.bin", "alpha"}},
     {{"a.bin", "alpha", false}, {"b.bin", "alpha", true}},
     {"！ a.bin", "－ b.bin"}},
    {"the twin's entry first in the listing changes nothing",
     {{"x.bin", "alpha"}, {"y.bin", "beta"}},
     {{"y.bin", "alpha", true}, {"x.bin", "alpha", false}, {"z.bin", "beta", false}},
     {"○ x.bin", "× y.bin", "！ z.bin"}},
};

INSTANTIATE_TEST_SUITE_P(, DigestPrefixes, ::testing::Combine(::testing::ValuesIn(Cases), ::testing::Bool()));

TEST(DigestDrop, ADroppedFileServesOnlyTheEntryWhoseWholeDigestItCarries) {
    FormHarness h;
    h.form.AppendEntry("a.bin", NoSize, Sha256("alpha"));
    h.form.AppendEntry("b.bin", NoSize, Twin("alpha"));
    h.form.SetListAlgorithms(HashAlgorithm::Sha256, HashAlgorithm::Sha256);
    h.form.ListPath = h.dir / "list.sha256";
    h.form.BaseFolder = h.dir.Path();
    h.form.RunCommand([&] { h.form.VerifyEntries(); }, true);
    const std::string elsewhere = h.dir.Write("elsewhere/found.bin", "alpha");
    h.form.RunCommand([&] { h.form.FilesDropped({elsewhere}); }, true);
    EXPECT_EQ(h.Rows(), (std::vector<std::string>{"！ a.bin", "－ b.bin"}));
    EXPECT_EQ(h.Row("a.bin").SubItem(2), elsewhere);
}

} // namespace
} // namespace tv
