// A list's names in whatever spelling its tool wrote them ("./a.bin", "sub//b.bin", "sub/./b.bin", "/" or
// "\" between folders) name one file each: verified once, never reported as unlisted nor added again. The
// same on Windows, where a tree list made on Linux separates its folders with "/".
#include "core/ContentKey.h"
#include "platform/Hashing.h"
#include "support/FormHarness.h"

#include <gtest/gtest.h>

namespace tv::test {
namespace {

std::string Sha256Hex(const std::string& content) {
    return KeyText(DigestOf(HashAlgorithm::Sha256, content.data(), content.size()));
}

TEST(ListNames, EverySpellingOfANameIsOneFile) {
    const std::string a = "alpha", b = "beta", c = "gamma";
    const struct {
        const char* What;
        const char* List;
        std::string Text;
        std::vector<std::string> Names; // the entries, as every command sees them
    } cases[] = {
        {"find . | xargs sha256sum", "l.sha256",
         Sha256Hex(a) + "  ./a.bin\n" + Sha256Hex(b) + "  ./sub/b.bin\n" + Sha256Hex(c) + "  ./sub/deep/c.bin\n",
         {"a.bin", "sub/b.bin", "sub/deep/c.bin"}},
        {"repeated separators and /./", "l.sha256",
         Sha256Hex(a) + "  .//a.bin\n" + Sha256Hex(b) + "  sub//b.bin\n" + Sha256Hex(c) + "  sub/./deep///c.bin\n" +
             Sha256Hex(b) + "  sub/./b.bin\n",
         {"a.bin", "sub/b.bin", "sub/deep/c.bin"}},
        {"a tree list with \"/\" (made on Linux)", "l.sfv",
         "a.bin " + CrcHex(a) + "\r\nsub/b.bin " + CrcHex(b) + "\r\nsub/deep/c.bin " + CrcHex(c) + "\r\n",
         {"a.bin", "sub/b.bin", "sub/deep/c.bin"}},
        {"a tree list with \"\\\" (made on Windows)", "l.sfv",
         ".\\a.bin " + CrcHex(a) + "\r\nsub\\\\b.bin " + CrcHex(b) + "\r\nsub\\deep\\c.bin " + CrcHex(c) + "\r\n",
         {"a.bin", "sub\\b.bin", "sub\\deep\\c.bin"}},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.What);
        FormHarness h;
        h.dir.Write("a.bin", a);
        h.dir.Write("sub/b.bin", b);
        h.dir.Write("sub/deep/c.bin", c);
        h.Load(k.List, k.Text);
        std::vector<std::string> names = h.Names();
        std::sort(names.begin(), names.end());
        EXPECT_EQ(names, k.Names);
        for (const std::string& row : h.Rows())
            EXPECT_EQ(row.rfind("○ ", 0), 0u) << row;
        EXPECT_EQ(h.form.ListUnlisted(), std::vector<std::string>{});
        // An update finds nothing new either, even when asked for the whole tree.
        h.form.VerifyTree = true;
        EXPECT_EQ(h.form.FindNewFiles().Names, std::vector<std::string>{});
    }
}

} // namespace
} // namespace tv::test
