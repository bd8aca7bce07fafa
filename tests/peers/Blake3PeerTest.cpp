// BLAKE3 of files of every size class (empty, one chunk, chunk boundaries, many chunks, a few MiB) on every
// kernel this machine runs gives what b3sum prints for them.
#include "core/Blake3.h"
#include "core/Blake3Kernels.h"
#include "support/Shell.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

namespace tv::test {
namespace {

std::string Blake3Hex(const std::string& data) {
    Blake3 h;
    h.Update(data.data(), data.size());
    std::uint8_t out[Blake3::DigestBytes];
    h.Final(out);
    std::string hex;
    static const char digits[] = "0123456789abcdef";
    for (std::uint8_t b : out)
        hex += {digits[b >> 4], digits[b & 15]};
    return hex;
}

TEST(Blake3PeerTest, EveryKernelMatchesB3sumOnEverySizeClass) {
    if (Shell("command -v b3sum").status != 0) GTEST_SKIP() << "b3sum is not installed (apt-get install b3sum)";
    const std::size_t sizes[] = {
        0,        1,         1023,          1024,          1025,       2048,           2049,
        8 * 1024, 16 * 1024, 16 * 1024 + 1, 65 * 1024 + 3, 256 * 1024, 257 * 1024 + 1, (3u << 20) + 17};
    TempDir dir;
    std::vector<std::string> contents;
    std::string command = "cd " + ShellQuote(dir.Path()) + " && b3sum --no-names";
    for (std::size_t size : sizes) {
        std::string name = "f";
        name.append(std::to_string(size));
        contents.push_back(RandomBytes(size, static_cast<std::uint32_t>(size)));
        dir.Write(name, contents.back());
        command.append(" ").append(name);
    }
    const ShellResult peer = Shell(command);
    ASSERT_EQ(peer.status, 0);
    std::istringstream lines(peer.out);
    std::vector<std::string> expected;
    for (std::string line; std::getline(lines, line);)
        expected.push_back(line);
    ASSERT_EQ(expected.size(), contents.size()) << peer.out;

    const Blake3Kernel saved = ActiveBlake3Kernel();
    for (Blake3Kernel k : AllBlake3Kernels) {
        if (!SetBlake3Kernel(k)) continue;
        for (std::size_t i = 0; i < contents.size(); ++i)
            EXPECT_EQ(Blake3Hex(contents[i]), expected[i]) << Blake3KernelName(k) << ", " << sizes[i] << " bytes";
    }
    SetBlake3Kernel(saved);
}

} // namespace
} // namespace tv::test
