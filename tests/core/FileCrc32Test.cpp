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

} // namespace
} // namespace tv
