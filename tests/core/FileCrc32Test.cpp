// FileCrc32 streams a file through its block buffer: the value must not depend on where the blocks
// fall or on which kernel runs, and the failure texts stay those of the runtime.
#include "core/Crc32.h"
#include "core/Crc32Kernels.h"
#include "core/FileCrc32.h"
#include "platform/Errors.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tv {
namespace {

std::uint32_t ReferenceCrc(const std::string& s, std::size_t n) {
    return Crc32UpdateReference(0xFFFFFFFFu, s.data(), n) ^ 0xFFFFFFFFu;
}

// Forces a kernel for the scope of a test.
class KernelScope {
public:
    explicit KernelScope(Crc32Kernel k) : before_(ActiveCrc32Kernel()) { ok_ = SetCrc32Kernel(k); }
    ~KernelScope() { SetCrc32Kernel(before_); }
    bool Ok() const { return ok_; }

private:
    Crc32Kernel before_;
    bool ok_ = false;
};

TEST(FileCrc32, SizesAroundTheBlockEdgesGiveTheReferenceOnEveryKernel) {
    test::TempDir dir;
    const std::size_t block = FileCrc32BlockSize();
    const std::string data = test::RandomBytes(2 * block + 5, 21);
    const std::string path = dir.Write("data.bin", data);
    for (Crc32Kernel k : AllCrc32Kernels) {
        KernelScope scope(k);
        if (!scope.Ok()) continue;
        for (std::size_t n : {std::size_t{1}, std::size_t{63}, std::size_t{4097}, block - 1, block, block + 1,
                              2 * block + 5}) {
            EXPECT_EQ(FileCrc32(RealFs(), path, static_cast<std::int64_t>(n)), ReferenceCrc(data, n))
                << Crc32KernelName(k) << " " << n << " bytes";
        }
    }
}

TEST(FileCrc32, AFileThatEndsInALaterBlockStillFailsAsTooShort) {
    test::TempDir dir;
    const std::string big = test::RandomBytes(FileCrc32BlockSize() + 10, 4);
    const std::string path = dir.Write("big.bin", big);
    for (std::int64_t extra : {std::int64_t{1}, static_cast<std::int64_t>(FileCrc32BlockSize())}) {
        try {
            FileCrc32(RealFs(), path, static_cast<std::int64_t>(big.size()) + extra);
            ADD_FAILURE() << "no error for " << extra << " bytes too many";
        } catch (const IoError& e) {
            EXPECT_STREQ(e.what(), "Read beyond end of file");
        }
    }
}

TEST(FileCrc32, CallerBufferOfAnySizeGivesTheSameValue) {
    test::TempDir dir;
    const std::string data = test::RandomBytes(100000, 8);
    const std::string path = dir.Write("data.bin", data);
    for (std::size_t size : {1u, 7u, 4096u, 65536u, 200000u}) {
        std::vector<unsigned char> block(size);
        EXPECT_EQ(FileCrc32Through(RealFs(), path, 100000, block), ReferenceCrc(data, data.size())) << size;
    }
}

// A file that changed between the listing and the read: one that grew gives the CRC of all it holds now
// (never a listed-size prefix that may match), one that shrank fails.
TEST(FileCrc32, AsListedReadsWhatTheFileHoldsNow) {
    test::TempDir dir;
    const std::int64_t block = static_cast<std::int64_t>(FileCrc32BlockSize());
    struct Case {
        std::int64_t listed, actual;
    };
    for (const Case c : {Case{1024, 1024}, Case{1024, 1030}, Case{0, 0}, Case{0, 10}, Case{block, block},
                         Case{block, block + 1}, Case{block - 1, block + 5}, Case{2 * block + 3, 2 * block + 3}}) {
        const std::string data = test::RandomBytes(static_cast<std::size_t>(c.actual), 5);
        const std::string path = dir.Write("f.bin", data);
        EXPECT_EQ(FileCrc32AsListed(RealFs(), path, c.listed), ReferenceCrc(data, data.size()))
            << c.listed << " listed, " << c.actual << " held";
    }
    for (const Case c : {Case{1030, 1024}, Case{block + 1, block}, Case{1, 0}}) {
        const std::string path = dir.Write("f.bin", test::RandomBytes(static_cast<std::size_t>(c.actual), 6));
        EXPECT_THROW(FileCrc32AsListed(RealFs(), path, c.listed), IoError) << c.listed << " listed";
    }
}

} // namespace
} // namespace tv
