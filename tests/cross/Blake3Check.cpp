// Checks the BLAKE3 kernel of a foreign architecture, outside the gtest suites: scripts/check-arm builds
// it with a cross compiler and runs it under an emulator. Two published vectors (the bytes 0..250
// repeated), then the kernel against the portable one on many lengths in one piece and in pieces.
#include "core/Blake3.h"
#include "core/Blake3Kernels.h"
#include <cstdio>
#include <cstring>
#include <random>
#include <string>
#include <vector>
using namespace tv;
namespace {
std::string Hex(const std::vector<unsigned char>& data, std::mt19937* rng) {
    Blake3 h;
    for (std::size_t at = 0; at < data.size();) {
        std::size_t n = data.size() - at;
        if (rng) n = std::min<std::size_t>(n, (*rng)() % 5000);
        h.Update(data.data() + at, n);
        at += n;
    }
    std::uint8_t out[32];
    h.Final(out);
    char text[65];
    for (int i = 0; i < 32; ++i) std::snprintf(text + 2 * i, 3, "%02x", out[i]);
    return text;
}
} // namespace
int main() {
    const Blake3Kernel fast = BestBlake3Kernel();
    std::printf("best %s\n", std::string(Blake3KernelName(fast)).c_str());
    int bad = 0;
    std::vector<unsigned char> pattern(102400);
    for (std::size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<unsigned char>(i % 251);
    if (Hex(pattern, nullptr) != "bc3e3d41a1146b069abffad3c0d44860cf664390afce4d9661f7902e7943e085") ++bad;
    pattern.resize(31744);
    if (Hex(pattern, nullptr) != "62b6960e1a44bcc1eb1a611a8d6235b6b4b78f32e7abc4fb4c6cdcce94895c47") ++bad;
    std::mt19937 rng(5);
    std::vector<unsigned char> buf((1 << 20) + 4000);
    for (auto& c : buf) c = static_cast<unsigned char>(rng());
    for (std::size_t len = 0; len < buf.size(); len = len * 5 / 4 + 97) {
        const std::vector<unsigned char> input(buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(len));
        SetBlake3Kernel(Blake3Kernel::Portable);
        const std::string expected = Hex(input, nullptr);
        SetBlake3Kernel(fast);
        if (Hex(input, nullptr) != expected || Hex(input, &rng) != expected) ++bad;
    }
    std::printf("%s: %d mismatches\n", Blake3::KernelName(), bad);
    // The fast kernel of this architecture must have run.
    return bad != 0 || fast == Blake3Kernel::Portable;
}
