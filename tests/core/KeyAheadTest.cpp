// The keys a walk gets from the hashing workers are those it would have read itself: for every way of
// reading and both kinds of disk, with files skipped, files read that were never planned, files that
// changed or failed after they were planned, and a walk that stops part-way.
#include "core/ByteProgress.h"
#include "core/FileCrc32.h"
#include "core/FileDigest.h"
#include "core/KeyAhead.h"
#include "platform/Errors.h"
#include "platform/Hashing.h"
#include "platform/Paths.h"
#include "platform/PositionedRead.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <filesystem>
#include <set>
#include <stdexcept>
#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace tv::test {
namespace {

// The real file system, but reading a file of `Eio` fails as a disk error does, opening one of `Throws`
// raises something no reader expects, and every open file is counted while it lives.
class WatchedFs : public FaultyFileSystem {
public:
    std::set<std::string> Eio, Throws;
    std::atomic<int> Open{0};
    std::atomic<int> Opened{0};

    std::unique_ptr<InputFile> OpenRead(const std::string& path) override {
        if (Throws.count(path)) throw std::runtime_error("no reader expects this");
        auto file = std::make_unique<Watched>(*this, FaultyFileSystem::OpenRead(path), Eio.count(path) > 0);
        ++Opened;
        return file;
    }

private:
    class Watched : public InputFile {
    public:
        Watched(WatchedFs& fs, std::unique_ptr<InputFile> inner, bool eio) : fs_(fs), inner_(std::move(inner)), eio_(eio) {
            ++fs_.Open;
        }
        ~Watched() override { --fs_.Open; }
        std::size_t Read(void* buffer, std::size_t size) override {
            if (eio_) throw IoErrorFromErrno(5, "");
            return inner_->Read(buffer, size);
        }
        std::int64_t Length() override { return inner_->Length(); }

    private:
        WatchedFs& fs_;
        std::unique_ptr<InputFile> inner_;
        bool eio_;
    };
};

// Counts the bytes the walk's progress hears of.
struct ByteCount : ByteProgressSink {
    std::int64_t Bytes = 0, Files = 0;
    void FileBegun(std::int64_t) override { ++Files; }
    void BytesRead(std::int64_t b) override { Bytes += b; }
    void FileEnded() override {}
};

struct Way {
    const char* Name;
    KeyRead Read;
    AlgorithmSet Algorithms;
};
const Way Ways[] = {
    {"crc as listed", KeyRead::CrcAsListed, HashAlgorithm::Crc32},
    {"crc prefix", KeyRead::CrcPrefix, HashAlgorithm::Crc32},
    {"sha-256", KeyRead::Keys, HashAlgorithm::Sha256},
    {"blake3", KeyRead::Keys, HashAlgorithm::Blake3},
};

// What the walk's read of one file gives: its key, or the text of its failure.
std::string ReadOne(FileSystem& fs, const Way& way, const std::string& path, std::int64_t size) {
    try {
        switch (way.Read) {
        case KeyRead::CrcAsListed:
            return KeyText(ContentKey::OfCrc(FileCrc32AsListed(fs, path, size)));
        case KeyRead::CrcPrefix:
            return KeyText(ContentKey::OfCrc(FileCrc32(fs, path, size)));
        case KeyRead::Keys: {
            std::string out;
            const FileKeys keys = FileKeysAsListed(fs, path, size, way.Algorithms);
            for (const AlgorithmInfo& info : Algorithms)
                if (way.Algorithms.Has(info.Algorithm)) out += KeyText(keys.Of(info.Algorithm));
            return out;
        }
        }
    } catch (const IoError& e) {
        // Appended, not added: GCC 12 at -O3 sees a false overlap in a literal + string chain.
        return std::string("IoError ").append(e.what());
    } catch (const std::exception& e) {
        return std::string("other ").append(e.what());
    }
    return {};
}

struct Walked {
    std::vector<std::string> Keys;
    std::int64_t Bytes = 0;
};

// A folder of files of many sizes, some changed or failing after the listing gave their sizes; the walk
// plans all but one, skips one it planned and reads one it did not plan.
struct Set {
    TempDir dir;
    std::vector<std::pair<std::string, std::int64_t>> listed; // name, size as listed

    Set() {
        const std::size_t sizes[] = {0, 1, 1023, 1024, 4096, 65536, 65537, (1u << 20) + 3, 3u << 20, (9u << 20) + 7};
        int k = 0;
        for (int round = 0; round < 6; ++round)
            for (std::size_t size : sizes) {
                const std::string name = std::string("f").append(std::to_string(k++));
                dir.Write(name, RandomBytes(size, static_cast<std::uint32_t>(k)));
                listed.push_back({name, static_cast<std::int64_t>(size)});
            }
    }
    // After the listing: one file vanishes, one shrinks, one grows.
    void Change() {
        std::filesystem::remove(PathOf(dir / "f3"));
        std::filesystem::resize_file(PathOf(dir / "f14"), 100);
        dir.Write("f25", RandomBytes(70000, 99)); // was 65536
    }

    Walked Walk(FileSystem& fs, const Way& way, int threads, DiskChoice disk) {
        HashWorkers workers;
        workers.Threads = threads;
        workers.Disk = disk;
        ByteCount progress;
        const ByteProgressScope scope(&progress);
        Walked out;
        KeyAhead ahead(fs, dir.Path(), workers, way.Read, way.Algorithms);
        const std::size_t unplanned = 7, skipped = 12;
        for (std::size_t k = 0; k < listed.size(); ++k)
            if (k != unplanned) ahead.Plan(listed[k].first, listed[k].second);
        for (std::size_t k = 0; k < listed.size(); ++k) {
            if (k != unplanned) ahead.Next();
            if (k == skipped) continue;
            out.Keys.push_back(ReadOne(fs, way, FolderFile(dir.Path(), listed[k].first), listed[k].second));
        }
        out.Bytes = progress.Bytes;
        return out;
    }
};

TEST(KeyAhead, WorkersHandBackWhatTheWalkReadsItself) {
    Set set;
    set.Change();
    WatchedFs fs;
    fs.Eio.insert(set.dir / "f31");
    fs.Throws.insert(set.dir / "f41");
    for (const Way& way : Ways) {
        const Walked alone = set.Walk(fs, way, 1, DiskChoice::Auto);
        // The faults reach the walk as that file's failure, with the text one thread gives.
        EXPECT_EQ(alone.Keys[3], "IoError File not found") << way.Name;
        EXPECT_EQ(alone.Keys[30], "IoError I/O error 5") << way.Name;
        EXPECT_EQ(alone.Keys[40], "other no reader expects this") << way.Name;
        for (int threads : {2, 8})
            for (DiskChoice disk : {DiskChoice::Hdd, DiskChoice::Ssd}) {
                const Walked many = set.Walk(fs, way, threads, disk);
                EXPECT_EQ(many.Keys, alone.Keys) << way.Name << " threads " << threads;
                // The walk's progress counts every byte the workers read of the files it asked for.
                EXPECT_EQ(many.Bytes, alone.Bytes) << way.Name << " threads " << threads;
                EXPECT_EQ(fs.Open.load(), 0);
            }
    }
}

#ifndef _WIN32
// The real file system, counting the files it read whole in batches.
class WholeCountingFs : public RealFileSystem {
public:
    std::atomic<int> Whole{0};
    std::shared_ptr<const void> ReadWholeFiles(const std::string& folder, WholeFile* files, std::size_t count) override {
        std::shared_ptr<const void> holder = RealFileSystem::ReadWholeFiles(folder, files, count);
        for (std::size_t k = 0; k < count; ++k)
            if (files[k].Data) ++Whole;
        return holder;
    }
};

TEST(KeyAhead, SmallFilesReadWholeInBatchesAreWhatTheWalkReadsItself) {
    Set set;
    set.Change();
    // Besides the vanished, shrunk and grown files: a folder, pipes and a link to a file of another size
    // where the listing saw plain files.
    std::filesystem::remove(PathOf(set.dir / "f15"));
    std::filesystem::create_directory(PathOf(set.dir / "f15"));
    for (const char* pipe : {"f20", "f22"}) { // listed empty, and 1,023 bytes long
        std::filesystem::remove(PathOf(set.dir / pipe));
        ASSERT_EQ(::mkfifo((set.dir / pipe).c_str(), 0600), 0);
    }
    std::filesystem::remove(PathOf(set.dir / "f24"));
    std::filesystem::create_symlink("f26", PathOf(set.dir / "f24"));
    WholeCountingFs fs;
    if (!fs.ReadsWholeFiles()) GTEST_SKIP() << "the system reads no files whole in batches here";
    for (const Way& way : Ways) {
        const Walked alone = set.Walk(fs, way, 1, DiskChoice::Auto);
        // The vanished, shrunk, folder and pipe files fail at least.
        EXPECT_GE(std::count_if(alone.Keys.begin(), alone.Keys.end(), [](const std::string& k) { return k.rfind("IoError", 0) == 0; }), 5)
            << way.Name;
        for (int threads : {2, 8})
            for (DiskChoice disk : {DiskChoice::Ssd, DiskChoice::Auto}) {
                const Walked many = set.Walk(fs, way, threads, disk);
                EXPECT_EQ(many.Keys, alone.Keys) << way.Name << " threads " << threads;
                EXPECT_EQ(many.Bytes, alone.Bytes) << way.Name << " threads " << threads;
            }
    }
    // The batches were read: this is not the one-file-at-a-time path again.
    EXPECT_GT(fs.Whole.load(), 100);
}
#endif

// A file a worker read long before the walk came to it, and that was cut short, grew or went meanwhile,
// gets what the walk's own read of it then gives, as with one thread; one left alone keeps the worker's key.
TEST(KeyAhead, AFileChangedAfterItsWorkerReadItIsReadAgainByTheWalk) {
    TempDir dir;
    WatchedFs fs;
    const std::int64_t size = 300000;
    const std::function<void(const std::string&)> changes[] = {
        [](const std::string&) {},
        [](const std::string& path) { std::filesystem::resize_file(PathOf(path), 1000); },
        [&dir](const std::string&) { dir.Write("f", RandomBytes(size + 5, 1)); },
        [](const std::string& path) { std::filesystem::remove(PathOf(path)); },
    };
    for (const Way& way : Ways)
        for (std::size_t c = 0; c < std::size(changes); ++c)
            for (DiskChoice disk : {DiskChoice::Hdd, DiskChoice::Ssd}) {
                dir.Write("f", RandomBytes(static_cast<std::size_t>(size), 1));
                const std::string path = dir / "f";
                HashWorkers workers;
                workers.Threads = 2;
                workers.Disk = disk;
                KeyAhead ahead(fs, dir.Path(), workers, way.Read, way.Algorithms);
                ahead.Plan("f", size);
                ahead.Next();
                // The worker reads the file meanwhile; the walk comes to it well after.
                std::this_thread::sleep_for(std::chrono::milliseconds(40));
                changes[c](path);
                std::this_thread::sleep_for(std::chrono::milliseconds(80));
                const std::string walked = ReadOne(fs, way, path, size);
                EXPECT_EQ(walked, ReadOne(fs, way, path, size)) << way.Name << " change " << c;
            }
}

TEST(KeyAhead, AStoppedWalkLeavesNoFileOpen) {
    Set set;
    WatchedFs fs;
    for (int stopAt : {0, 1, 5, 20, 59})
        for (DiskChoice disk : {DiskChoice::Hdd, DiskChoice::Ssd}) {
            HashWorkers workers;
            workers.Threads = 4;
            workers.Disk = disk;
            {
                KeyAhead ahead(fs, set.dir.Path(), workers, KeyRead::Keys, HashAlgorithm::Sha256);
                for (const auto& [name, size] : set.listed)
                    ahead.Plan(name, size);
                for (int k = 0; k < stopAt; ++k) {
                    ahead.Next();
                    FileKeysAsListed(fs, set.dir / set.listed[static_cast<std::size_t>(k)].first,
                                     set.listed[static_cast<std::size_t>(k)].second, HashAlgorithm::Sha256);
                }
                if (stopAt > 0) ahead.Next(); // announced, and never read: the walk stops here
            }
            EXPECT_EQ(fs.Open.load(), 0) << stopAt;
        }
    // The workers did read ahead: a stop is not a walk that never started.
    EXPECT_GT(fs.Opened.load(), 0);
}

TEST(KeyAhead, StressManySmallAndBigFilesStoppedPartWay) {
    // Many walks over one pool, of small files and a few big ones, each stopped at another place (or
    // read to its end), the results checked against one thread's: races, lost files and hung workers
    // show here, and under ThreadSanitizer. Some walks plan everything first, others a window ahead of
    // themselves as the long walks do, while the files read fall out of the plan.
    TempDir dir;
    std::vector<std::pair<std::string, std::int64_t>> files;
    for (int k = 0; k < 2600; ++k) {
        const std::size_t size = k < 400 && k % 97 == 5 ? (std::size_t{3} << 20) + static_cast<std::size_t>(k)
                                                        : static_cast<std::size_t>(k * 37 % 5000);
        const std::string name = std::string("s").append(std::to_string(k));
        dir.Write(name, RandomBytes(size, static_cast<std::uint32_t>(k)));
        files.push_back({name, static_cast<std::int64_t>(size)});
    }
    WatchedFs fs;
    std::vector<std::string> expected;
    for (const auto& [name, size] : files)
        expected.push_back(ReadOne(fs, Ways[2], dir / name, size));
    HashWorkers workers;
    workers.Threads = 8;
    std::uint32_t seed = 7;
    for (int round = 0; round < 24; ++round) {
        seed = seed * 1103515245u + 12345u;
        const std::size_t stop = round % 4 == 3 ? files.size() : seed % files.size();
        workers.Disk = round % 2 ? DiskChoice::Hdd : DiskChoice::Ssd;
        KeyAhead ahead(fs, dir.Path(), workers, KeyRead::Keys, HashAlgorithm::Sha256);
        const std::size_t window = round % 3 == 1 ? 1 + seed % 300 : files.size();
        std::size_t planned = 0;
        for (std::size_t k = 0; k < stop; ++k) {
            for (; planned < std::min(files.size(), k + window); ++planned)
                ahead.Plan(files[planned].first, files[planned].second);
            ahead.Next();
            if ((k + seed) % 11 == 0) continue; // announced, not read
            ASSERT_EQ(ReadOne(fs, Ways[2], dir / files[k].first, files[k].second), expected[k]) << round << " " << k;
        }
    }
    EXPECT_EQ(fs.Open.load(), 0);
}

// A file that hands out its bytes a few at a time, as a pipe or a network file system may, from its
// front or at an offset.
class Trickle : public InputFile, public PositionedRead {
public:
    Trickle(std::string bytes, std::size_t most) : bytes_(std::move(bytes)), most_(most) {}
    std::size_t Read(void* out, std::size_t size) override {
        const std::size_t n = ReadAt(out, size, static_cast<std::int64_t>(at_));
        at_ += n;
        return n;
    }
    std::size_t ReadAt(void* out, std::size_t size, std::int64_t offset) override {
        const auto from = std::min(bytes_.size(), static_cast<std::size_t>(offset));
        const std::size_t n = std::min({size, most_, bytes_.size() - from});
        std::copy_n(bytes_.data() + from, n, static_cast<char*>(out));
        return n;
    }
    std::int64_t Length() override { return static_cast<std::int64_t>(bytes_.size()); }

private:
    std::string bytes_;
    std::size_t most_, at_ = 0;
};

// Across the pool, BLAKE3 comes out as the front-to-back read gives it (the key or the failure's text),
// whatever size the reads come in: for the file as listed, one that grew since (read to its end) and one
// that shrank.
TEST(KeyAhead, Blake3AcrossThePoolIsTheFrontToBackRead) {
    HashPool pool(3);
    constexpr std::size_t piece = std::size_t{256} << 10;
    const auto keyOrFailure = [](InputFile& file, std::int64_t listed, HashPool* with) -> std::string {
        try {
            const ContentKey key = KeysAsListedOf(file, listed, HashAlgorithm::Blake3, with).Of(HashAlgorithm::Blake3);
            return std::string(key.View());
        } catch (const IoError& e) {
            return e.what();
        }
    };
    // Past 16 MiB the spread hands out a second batch of reads.
    for (std::size_t size : {2 * piece, 2 * piece + 1, 5 * piece - 1, 16 * piece, 70 * piece + 1000}) {
        const std::string bytes = RandomBytes(size, static_cast<std::uint32_t>(size));
        for (std::size_t most : {std::size_t{1} << 30, piece + 1, std::size_t{4096}})
            for (std::int64_t grew : {std::int64_t{0}, std::int64_t{1}, std::int64_t{-1}, static_cast<std::int64_t>(piece) + 3}) {
                const std::int64_t listed = static_cast<std::int64_t>(size) - grew;
                Trickle alone(bytes, most), spread(bytes, most);
                const std::string expected = keyOrFailure(alone, listed, nullptr);
                EXPECT_EQ(keyOrFailure(spread, listed, &pool), expected) << size << " listed " << listed << " read " << most;
                if (grew == 0) {
                    const ContentKey digest = DigestOf(HashAlgorithm::Blake3, bytes.data(), bytes.size());
                    EXPECT_EQ(expected, std::string(digest.View()));
                }
                if (grew < 0) {
                    EXPECT_EQ(expected, "Read beyond end of file");
                }
            }
    }
    // The machine's own files read at offsets too (on Windows as on POSIX), so their trees spread.
    TempDir dir;
    for (std::size_t size : {2 * piece + 1, 16 * piece + 7}) {
        const std::string bytes = RandomBytes(size, static_cast<std::uint32_t>(size) + 1);
        const std::string path = dir.Write("b" + std::to_string(size), bytes);
        std::unique_ptr<InputFile> file = RealFs().OpenRead(path);
        ASSERT_NE(dynamic_cast<PositionedRead*>(file.get()), nullptr);
        const ContentKey digest = DigestOf(HashAlgorithm::Blake3, bytes.data(), bytes.size());
        EXPECT_EQ(keyOrFailure(*file, static_cast<std::int64_t>(size), &pool), std::string(digest.View())) << size;
    }
}

TEST(HashPool, ForEachRunsEveryItemOnceAndPassesOnAFailure) {
    HashPool pool(2);
    std::vector<std::atomic<int>> runs(1000);
    pool.ForEach(runs.size(), [&](std::size_t k) { ++runs[k]; });
    for (const std::atomic<int>& r : runs)
        EXPECT_EQ(r.load(), 1);
    EXPECT_THROW(pool.ForEach(50,
                              [](std::size_t k) {
                                  if (k == 17) throw std::runtime_error("item 17");
                              }),
                 std::runtime_error);
}

} // namespace
} // namespace tv::test
