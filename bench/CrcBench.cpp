// Throughput of every CRC-32 kernel on 64 B, 4 KiB, 1 MiB and 256 MiB buffers, beside zlib and ISA-L,
// and of FileCrc32 on a page-cached file with several block sizes.
#include "core/Crc32.h"
#include "core/Crc32Kernels.h"
#include "core/FileCrc32.h"

#include <benchmark/benchmark.h>

#if TV_BENCH_ZLIB
#include <zlib.h>
#endif
#if TV_BENCH_ISAL
#include <isa-l/crc.h>
#endif

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::size_t Largest = std::size_t{256} << 20;

const unsigned char* Buffer() {
    static const std::vector<unsigned char> data = [] {
        std::vector<unsigned char> v(Largest);
        std::mt19937_64 rng(42);
        for (std::size_t i = 0; i + 8 <= v.size(); i += 8) {
            const std::uint64_t r = rng();
            for (int b = 0; b < 8; ++b) v[i + static_cast<std::size_t>(b)] = static_cast<unsigned char>(r >> (8 * b));
        }
        return v;
    }();
    return data.data();
}

void Sizes(benchmark::internal::Benchmark* b) {
    for (std::int64_t n : {std::int64_t{64}, std::int64_t{4096}, std::int64_t{1} << 20, std::int64_t{256} << 20})
        b->Arg(n);
}

void BM_Kernel(benchmark::State& state, tv::Crc32Kernel k) {
    if (!tv::Crc32KernelAvailable(k)) {
        state.SkipWithError(std::string(tv::Crc32KernelMissing(k)).c_str());
        return;
    }
    const auto* p = Buffer();
    const auto n = static_cast<std::size_t>(state.range(0));
    std::uint32_t reg = 0xFFFFFFFFu;
    for (auto _ : state) {
        reg = tv::Crc32UpdateWith(k, reg, p, n);
        benchmark::DoNotOptimize(reg);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}

#if TV_BENCH_ZLIB
void BM_Zlib(benchmark::State& state) {
    const auto* p = Buffer();
    uLong reg = 0;
    for (auto _ : state) {
        reg = crc32(reg, p, static_cast<uInt>(state.range(0)));
        benchmark::DoNotOptimize(reg);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Zlib)->Apply(Sizes);
#endif

#if TV_BENCH_ISAL
void BM_Isal(benchmark::State& state) {
    const auto* p = Buffer();
    std::uint32_t reg = 0;
    for (auto _ : state) {
        reg = crc32_gzip_refl(reg, p, static_cast<std::uint64_t>(state.range(0)));
        benchmark::DoNotOptimize(reg);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Isal)->Apply(Sizes);
#endif

// A 256 MiB file in the temporary folder, read once beforehand so that it is page-cached.
class CachedFile {
public:
    CachedFile() {
        char name[] = "/tmp/tallyvault-bench-XXXXXX";
        const int fd = ::mkstemp(name);
        if (fd < 0) std::abort();
        path_ = name;
        const std::size_t chunk = std::size_t{16} << 20;
        for (std::size_t off = 0; off < Largest; off += chunk)
            if (::write(fd, Buffer() + off, chunk) != static_cast<ssize_t>(chunk)) std::abort();
        ::close(fd);
    }
    ~CachedFile() { std::remove(path_.c_str()); }
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

void BM_FileCrc32Block(benchmark::State& state) {
    static CachedFile file;
    const auto size = static_cast<std::size_t>(state.range(0));
    std::unique_ptr<unsigned char, decltype(&std::free)> block(
        static_cast<unsigned char*>(std::aligned_alloc(4096, size)), &std::free);
    std::uint32_t crc = 0;
    for (auto _ : state) {
        crc = tv::FileCrc32Through(tv::RealFs(), file.Path(), static_cast<std::int64_t>(Largest), {block.get(), size});
        benchmark::DoNotOptimize(crc);
    }
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(Largest));
}
BENCHMARK(BM_FileCrc32Block)->RangeMultiplier(4)->Range(64 << 10, 16 << 20)->Unit(benchmark::kMillisecond);

const bool registered = [] {
    for (tv::Crc32Kernel k : tv::AllCrc32Kernels) {
        const std::string name = "BM_Crc32/" + std::string(tv::Crc32KernelName(k));
        benchmark::RegisterBenchmark(name.c_str(), BM_Kernel, k)->Apply(Sizes);
    }
    return true;
}();

} // namespace
