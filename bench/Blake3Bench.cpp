// Throughput of BLAKE3 in memory for each kernel this machine runs, on 1 MiB and on 4 KiB (a small file's
// cost, where single blocks and short tails weigh most).
#include "core/Blake3.h"
#include "core/Blake3Kernels.h"

#include <benchmark/benchmark.h>

#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<unsigned char>& Data() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> d(std::size_t{1} << 20);
        std::mt19937 rng(3);
        for (unsigned char& c : d)
            c = static_cast<unsigned char>(rng());
        return d;
    }();
    return data;
}

void BM_Blake3(benchmark::State& state, tv::Blake3Kernel kernel) {
    const tv::Blake3Kernel saved = tv::ActiveBlake3Kernel();
    tv::SetBlake3Kernel(kernel);
    const std::size_t size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        tv::Blake3 h;
        h.Update(Data().data(), size);
        std::uint8_t out[tv::Blake3::DigestBytes];
        h.Final(out);
        benchmark::DoNotOptimize(out[0]);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
    tv::SetBlake3Kernel(saved);
}

const bool registered = [] {
    for (tv::Blake3Kernel k : tv::AllBlake3Kernels) {
        if (!tv::Blake3KernelAvailable(k)) continue;
        const std::string name = "BM_Blake3/" + std::string(tv::Blake3KernelName(k));
        benchmark::RegisterBenchmark(name.c_str(), BM_Blake3, k)
            ->Arg(1 << 20)
            ->Arg(4 << 10)
            ->Unit(benchmark::kMicrosecond);
    }
    return true;
}();

} // namespace
