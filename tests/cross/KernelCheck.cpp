// Checks the CRC-32 kernels of a foreign architecture against the byte-wise reference, outside the
// gtest suites: scripts/check-arm builds it with a cross compiler and runs it under an emulator.
#include "core/Crc32.h"
#include "core/Crc32Kernels.h"
#include <cstdio>
#include <string>
#include <random>
#include <vector>
using namespace tv;
int main() {
    std::printf("armcrc available: %d (%s), best %s\n", Crc32KernelAvailable(Crc32Kernel::ArmCrc),
                std::string(Crc32KernelMissing(Crc32Kernel::ArmCrc)).c_str(), std::string(Crc32KernelName(BestCrc32Kernel())).c_str());
    std::mt19937 rng(5);
    std::vector<unsigned char> buf(1024 + 64 + (1 << 20));
    for (auto& c : buf) c = static_cast<unsigned char>(rng());
    int bad = 0;
    int ran = 0;
    for (Crc32Kernel k : AllCrc32Kernels) {
        if (!Crc32KernelAvailable(k) || k == Crc32Kernel::Reference) continue;
        ++ran;
        for (std::size_t a = 0; a < 64; ++a) {
            std::uint32_t start = static_cast<std::uint32_t>(rng()), ref = start;
            for (std::size_t n = 0; n <= 1024; ++n) {
                if (n) ref = Crc32UpdateReference(ref, &buf[a + n - 1], 1);
                if (Crc32UpdateWith(k, start, &buf[a], n) != ref) ++bad;
            }
        }
        if (Crc32UpdateWith(k, ~0u, buf.data(), buf.size()) != Crc32UpdateReference(~0u, buf.data(), buf.size())) ++bad;
        if ((Crc32UpdateWith(k, ~0u, "123456789", 9) ^ ~0u) != 0xCBF43926u) ++bad;
        std::printf("%s: %d mismatches\n", std::string(Crc32KernelName(k)).c_str(), bad);
    }
    // The fast kernel of this architecture must have run.
    return bad != 0 || ran < 2;
}
