// Throughput of FileKeysAsListed on a page-cached file of 4 KiB (the cost per file) and of 64 MiB (the
// cost per byte) for each algorithm alone and for two at once, beside FileCrc32AsListed; and a mode that hashes one
// file and prints its key, for timing the whole process against a peer tool:  tallyvault_bench --file-key sha256 FILE
#include "core/FileCrc32.h"
#include "core/FileDigest.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

constexpr std::int64_t SmallBytes = std::int64_t{4} << 10;
constexpr std::int64_t LargeBytes = std::int64_t{64} << 20;

// A file of random bytes in the temporary folder, page-cached by the first run's read.
const std::string& CachedFilePath(std::int64_t size) {
    struct File {
        std::string path;
        explicit File(std::int64_t bytes) {
            char name[] = "/tmp/tallyvault-bench-digest-XXXXXX";
            const int fd = ::mkstemp(name);
            if (fd < 0) std::abort();
            path = name;
            std::vector<unsigned char> chunk(static_cast<std::size_t>(std::min(bytes, std::int64_t{1} << 20)));
            std::mt19937 rng(7);
            for (std::int64_t off = 0; off < bytes; off += static_cast<std::int64_t>(chunk.size())) {
                for (unsigned char& c : chunk)
                    c = static_cast<unsigned char>(rng());
                if (::write(fd, chunk.data(), chunk.size()) != static_cast<ssize_t>(chunk.size())) std::abort();
            }
            ::close(fd);
        }
        ~File() { std::remove(path.c_str()); }
    };
    static const File small(SmallBytes), large(LargeBytes);
    return size == SmallBytes ? small.path : large.path;
}

void Sizes(benchmark::internal::Benchmark* b) {
    b->Arg(SmallBytes)->Arg(LargeBytes)->Unit(benchmark::kMicrosecond);
}

void BM_FileKeys(benchmark::State& state, tv::AlgorithmSet set) {
    const std::string& path = CachedFilePath(state.range(0));
    for (auto _ : state) {
        const tv::FileKeys keys = tv::FileKeysAsListed(tv::RealFs(), path, state.range(0), set);
        benchmark::DoNotOptimize(keys.Keys[0].Bytes[0]);
    }
    state.SetBytesProcessed(state.iterations() * state.range(0));
}

void BM_FileCrc32AsListed(benchmark::State& state) {
    const std::string& path = CachedFilePath(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(tv::FileCrc32AsListed(tv::RealFs(), path, state.range(0)));
    state.SetBytesProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_FileCrc32AsListed)->Apply(Sizes);

const bool registered = [] {
    for (const tv::AlgorithmInfo& info : tv::Algorithms) {
        const std::string name = std::string("BM_FileKeys/") + info.Extension;
        benchmark::RegisterBenchmark(name.c_str(), BM_FileKeys, tv::AlgorithmSet(info.Algorithm))->Apply(Sizes);
    }
    tv::AlgorithmSet pair(tv::HashAlgorithm::Md5);
    pair.Add(tv::HashAlgorithm::Sha1);
    benchmark::RegisterBenchmark("BM_FileKeys/md5+sha1", BM_FileKeys, pair)->Apply(Sizes);
    return true;
}();

// The --file-key mode: 0 and the key printed as the peer tools print it, 2 on a wrong call.
int FileKeyMode(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s --file-key ALGORITHM FILE\n", argv[0]);
        return 2;
    }
    for (const tv::AlgorithmInfo& info : tv::Algorithms) {
        if (std::strcmp(argv[2], info.Extension) != 0) continue;
        const std::string path = argv[3];
        const tv::ContentKey key =
            tv::FileKeyAsListed(tv::RealFs(), path, tv::RealFs().FileLength(path), info.Algorithm);
        std::printf("%s  %s\n", tv::KeyText(key).c_str(), argv[3]);
        return 0;
    }
    std::fprintf(stderr, "unknown algorithm %s\n", argv[2]);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--file-key") == 0) return FileKeyMode(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
