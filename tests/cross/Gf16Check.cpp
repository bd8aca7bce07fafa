// Checks the GF(2^16) multiply-accumulate kernels of a foreign architecture against the portable one,
// outside the gtest suites: scripts/check-arm builds it with a cross compiler and runs it under an emulator.
#include "core/Gf16.h"

#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace tv;

int main() {
    std::mt19937 rng(11);
    std::vector<unsigned char> src(4096 + 64), dst0(src.size());
    for (auto& c : src)
        c = static_cast<unsigned char>(rng());
    for (auto& c : dst0)
        c = static_cast<unsigned char>(rng());
    int bad = 0, ran = 0;
    for (Gf16Kernel k : AllGf16Kernels) {
        if (!Gf16KernelAvailable(k) || k == Gf16Kernel::Portable) continue;
        ++ran;
        for (int round = 0; round < 40; ++round) {
            const auto c = static_cast<std::uint16_t>(round < 3 ? round : static_cast<int>(rng()));
            const std::size_t offset = static_cast<std::size_t>(round % 5);
            for (std::size_t n = 0; n + offset <= 4096; n += round < 3 ? 2 : 98) {
                std::vector<unsigned char> ours = dst0, ref = dst0;
                Gf16MulAddWith(k, ours.data() + offset, src.data() + offset, n, c);
                Gf16MulAddPortable(ref.data() + offset, src.data() + offset, n, c);
                if (ours != ref) ++bad;
            }
        }
        std::printf("%s: %d mismatches\n", std::string(Gf16KernelName(k)).c_str(), bad);
    }
    std::printf("best %s\n", std::string(Gf16KernelName(BestGf16Kernel())).c_str());
    // The fast kernel of this architecture must have run.
    return bad != 0 || ran < 1;
}
