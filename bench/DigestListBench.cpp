// Reading a digest list of 10^4 to 10^6 SHA-256 lines held in memory, each entry handed over as it is
// read (as the window takes them): the line parse and the record, not the disk.
#include "readers/DigestLines.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

namespace {

using namespace tv;

std::string Sha256List(std::int64_t lines) {
    std::string text;
    text.reserve(static_cast<std::size_t>(lines) * 90);
    std::uint64_t x = 0x9E3779B97F4A7C15ull;
    char name[40];
    for (std::int64_t i = 0; i < lines; ++i) {
        for (int d = 0; d < 64; ++d) {
            x ^= x << 13, x ^= x >> 7, x ^= x << 17;
            text += "0123456789abcdef"[x & 15];
        }
        std::snprintf(name, sizeof name, "  photos/file%07lld.jpg\n", static_cast<long long>(i));
        text += name;
    }
    return text;
}

void BM_ParseSha256List(benchmark::State& state) {
    const std::string text = Sha256List(state.range(0));
    for (auto _ : state) {
        // The copy of the text the reader takes is no part of reading it.
        state.PauseTiming();
        TextLineReader reader = TextLineReader::OverText(text);
        state.ResumeTiming();
        std::size_t names = 0;
        ParseProgress progress;
        progress.Take = [&](ListRecord&& r) { names += r.Name.size(); };
        const ParsedList list = ParseDigestList(reader, progress, HashAlgorithm::Sha256);
        benchmark::DoNotOptimize(names);
        if (list.Size() != static_cast<std::size_t>(state.range(0))) state.SkipWithError("entries lost");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_ParseSha256List)->RangeMultiplier(10)->Range(10000, 1000000)->Unit(benchmark::kMillisecond);
