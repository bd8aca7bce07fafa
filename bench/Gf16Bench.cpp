// Throughput of every GF(2^16) multiply-accumulate kernel (dst ^= c * src) on a region that stays in the
// first-level cache (16 KiB), one in the second-level cache (256 KiB) and one in memory (64 MiB), beside a
// plain XOR of the same regions: the memory bandwidth the multiply-accumulate meets at the largest size.
#include "core/Gf16.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr std::size_t Largest = std::size_t{64} << 20;

struct Regions {
    std::vector<unsigned char> Src = std::vector<unsigned char>(Largest), Dst = std::vector<unsigned char>(Largest);
    Regions() {
        std::mt19937_64 rng(7);
        for (std::size_t i = 0; i < Largest; ++i) Src[i] = static_cast<unsigned char>(rng());
    }
};

Regions& Data() {
    static Regions regions;
    return regions;
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {std::int64_t{16} << 10, std::int64_t{256} << 10, static_cast<std::int64_t>(Largest)})
        b->Arg(n);
}

void BM_Gf16MulAdd(benchmark::State& state, tv::Gf16Kernel k) {
    if (!tv::Gf16KernelAvailable(k)) {
        state.SkipWithError(std::string(tv::Gf16KernelMissing(k)).c_str());
        return;
    }
    Regions& r = Data();
    const auto n = static_cast<std::size_t>(state.range(0));
    std::uint16_t c = 0x1234;
    for (auto _ : state) {
        tv::Gf16MulAddWith(k, r.Dst.data(), r.Src.data(), n, c);
        c = static_cast<std::uint16_t>(c * 5 + 1) | 1u;
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

void BM_XorRegion(benchmark::State& state) {
    Regions& r = Data();
    const auto n = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        auto* d = reinterpret_cast<std::uint64_t*>(r.Dst.data());
        const auto* s = reinterpret_cast<const std::uint64_t*>(r.Src.data());
        for (std::size_t i = 0; i < n / 8; ++i) d[i] ^= s[i];
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_XorRegion)->Apply(Sizes);

const int Registered = [] {
    for (tv::Gf16Kernel k : tv::AllGf16Kernels) {
        const std::string name = "BM_Gf16MulAdd/" + std::string(tv::Gf16KernelName(k));
        benchmark::RegisterBenchmark(name.c_str(), BM_Gf16MulAdd, k)->Apply(Sizes);
    }
    return 0;
}();

} // namespace
