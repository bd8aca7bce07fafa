// The table work on synthetic tables of 10^3 to 10^6 entries: the three sorts, the lookups, and a whole
// verification against a folder held in memory (so that the table work, not the disk, is timed; the
// disk is timed by scripts/bench).
#include "app/TallyvaultMain.h"
#include "core/Crc32.h"
#include "core/Matching.h"
#include "core/Ordering.h"
#include "platform/Errors.h"
#include "cli/HeadlessUi.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <random>
#include <sstream>
#include <stdexcept>
#include <unordered_map>

namespace {

using namespace tv;

std::string NameOf(std::int64_t i) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "file%07lld.bin", static_cast<long long>(i));
    return buf;
}

// File i holds 16 + i % 1000 bytes that depend on i.
std::string ContentOf(std::int64_t i) {
    std::string s(static_cast<std::size_t>(16 + i % 1000), '\0');
    std::uint64_t x = static_cast<std::uint64_t>(i) * 0x9E3779B97F4A7C15ull + 1;
    for (char& c : s) {
        x ^= x << 13, x ^= x >> 7, x ^= x << 17;
        c = static_cast<char>(x & 0xFF);
    }
    return s;
}

class MemoryInput : public InputFile {
public:
    explicit MemoryInput(std::string data) : data_(std::move(data)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        const std::size_t n = std::min(size, data_.size() - pos_);
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::int64_t Length() override { return static_cast<std::int64_t>(data_.size()); }

private:
    std::string data_;
    std::size_t pos_ = 0;
};

// One folder "/mem/" of n files; everything else is refused.
class MemoryFolder : public FileSystem {
public:
    explicit MemoryFolder(const std::vector<std::int64_t>& files) {
        for (std::int64_t i : files) index_.emplace(Folder + NameOf(i), i);
    }
    static constexpr const char* Folder = "/mem/";
    bool FileExists(const std::string& path) override { return index_.count(path) != 0; }
    bool FolderExists(const std::string& path) override { return path == Folder; }
    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        auto it = index_.find(path);
        if (it == index_.end()) throw IoError("File not found");
        return std::make_unique<MemoryInput>(ContentOf(it->second));
    }
    std::unique_ptr<OutputFile> Create(const std::string&) override { throw IoError("File access denied"); }
    std::unique_ptr<OutputFile> CreateNew(const std::string&) override { throw IoError("File access denied"); }
    std::vector<FolderEntry> ListFolder(const std::string&) override {
        std::vector<FolderEntry> out;
        out.reserve(index_.size());
        for (const auto& [path, i] : index_)
            out.push_back(FolderEntry{path.substr(std::strlen(Folder)), static_cast<std::int64_t>(ContentOf(i).size()), false, false});
        return out;
    }
    std::int64_t FileLength(const std::string& path) override { return OpenRead(path)->Length(); }
    FileTime LastWriteTime(const std::string&) override { return {}; }
    // Nothing here is ever changed: the benchmarks only verify.
    void RenameFile(const std::string&, const std::string&) override { throw IoError("File access denied"); }
    void CopyFile(const std::string&, const std::string&) override { throw IoError("File access denied"); }
    void DeleteFile(const std::string&) override { throw IoError("File access denied"); }
    void MoveToTrash(const std::string&) override { throw IoError("File access denied"); }
    void CreateFolder(const std::string&) override { throw IoError("File access denied"); }
    void ReplaceFile(const std::string&, const std::string&) override { throw IoError("File access denied"); }

private:
    std::unordered_map<std::string, std::int64_t> index_;
};

// n entries with random names, sizes and CRCs, as a list reader would leave them.
TEntryTable RandomTable(std::int64_t n) {
    std::mt19937 rng(static_cast<unsigned>(n));
    TEntryTable t;
    t.Records.resize(static_cast<std::size_t>(n));
    for (std::int64_t i = 0; i < n; ++i) {
        TCrcTable& e = t[static_cast<std::int32_t>(i)];
        e.FileName = NameOf(static_cast<std::int64_t>(rng() % 10000000));
        e.FileSize = static_cast<std::int32_t>(rng() % 100000);
        e.Crc = static_cast<std::uint32_t>(rng());
    }
    return t;
}

template <void (*Sort)(TEntryTable&, std::int32_t, std::int32_t, const SortPace&)>
void BM_Sort(benchmark::State& state) {
    const TEntryTable source = RandomTable(state.range(0));
    for (auto _ : state) {
        state.PauseTiming();
        TEntryTable t = source;
        state.ResumeTiming();
        Sort(t, 0, static_cast<std::int32_t>(state.range(0)) - 1, SortPace{});
        benchmark::DoNotOptimize(t.Records.front());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_Sort<SortEntriesByCrc>)->Name("BM_SortEntriesByCrc")->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort<SortEntriesBySize>)->Name("BM_SortEntriesBySize")->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Sort<SortEntriesByName>)->Name("BM_SortEntriesByName")->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

void BM_LookupByCrc(benchmark::State& state) {
    TEntryTable t = RandomTable(state.range(0));
    const auto n = static_cast<std::int32_t>(state.range(0));
    SortEntriesByCrc(t, 0, n - 1);
    std::mt19937 rng(1);
    for (auto _ : state) benchmark::DoNotOptimize(MatchByCrc(t, n, t[static_cast<std::int32_t>(rng() % static_cast<unsigned>(n))].Crc));
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_LookupByCrc)->RangeMultiplier(10)->Range(1000, 1000000);

void BM_LookupBySize(benchmark::State& state) {
    TEntryTable t = RandomTable(state.range(0));
    const auto n = static_cast<std::int32_t>(state.range(0));
    SortEntriesBySize(t, 0, n - 1);
    const SizeMatcher matcher(t, n);
    std::mt19937 rng(1);
    for (auto _ : state) {
        const TCrcTable& e = t[static_cast<std::int32_t>(rng() % static_cast<unsigned>(n))];
        benchmark::DoNotOptimize(matcher.Match(e.FileSize, [&] { return e.Crc; }));
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()));
}
BENCHMARK(BM_LookupBySize)->RangeMultiplier(10)->Range(1000, 1000000);

// A whole verification: every file of the folder is listed, read from memory and matched; the rows
// are built. Time per entry should not grow with the table.
void BM_VerifyEntries(benchmark::State& state, bool withSizes) {
    const std::int64_t n = state.range(0);
    // Files whose CRC repeats an earlier one are left out: two files with one CRC are one content.
    std::vector<std::int64_t> files;
    std::vector<std::pair<std::uint32_t, std::int32_t>> entries;
    std::unordered_map<std::uint32_t, bool> seen;
    for (std::int64_t i = 0; static_cast<std::int64_t>(files.size()) < n; ++i) {
        const std::string c = ContentOf(i);
        const std::uint32_t crc = Crc32(c.data(), c.size());
        if (!seen.emplace(crc, true).second) continue;
        files.push_back(i);
        entries.emplace_back(crc, static_cast<std::int32_t>(c.size()));
    }
    MemoryFolder fs(files);
    std::ostringstream sink;
    HeadlessUi ui(sink);
    TForm1 form(ui, fs);
    for (auto _ : state) {
        state.PauseTiming();
        form.EntryCount = 0;
        for (std::size_t k = 0; k < files.size(); ++k) form.AppendEntry(NameOf(files[k]), entries[k].second, entries[k].first);
        form.ListPath = std::string(MemoryFolder::Folder) + "list.sfv";
        form.ListHasSizes = withSizes;
        state.ResumeTiming();
        form.VerifyEntries();
        if (form.GoodCount != form.EntryCount) state.SkipWithError("verification went wrong");
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations()) * n);
}
BENCHMARK_CAPTURE(BM_VerifyEntries, WithSizes, true)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_VerifyEntries, WithoutSizes, false)->RangeMultiplier(10)->Range(1000, 1000000)->Unit(benchmark::kMillisecond);

} // namespace
