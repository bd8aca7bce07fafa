#include "repair/Par2Rebuild.h"

#include "core/Crc32.h"
#include "core/HashPool.h"
#include "core/Md5Lanes.h"
#include "core/ReedSolomon.h"
#include "platform/Disks.h"
#include "platform/Errors.h"
#include "platform/Hashing.h"
#include "platform/Paths.h"
#include "platform/ReadFull.h"
#include "readers/Par2List.h"
#include "readers/Par2Reader.h"
#include "repair/Confine.h"
#include "repair/RepairPlan.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <exception>
#include <future>
#include <mutex>
#include <optional>
#include <unordered_set>

namespace tv {

namespace {

using par2::Md5Bytes;

// A file of the set read by its places, through the file system's sequential reads: a window of the
// bytes last read serves reads that go forward or step back a little (a magic cut by a piece's end); a
// read further back opens the file again.
class FileSource final : public par2::ByteSource {
public:
    FileSource(FileSystem& fs, std::string path) : fs_(fs), path_(std::move(path)) { Open(); }

    std::uint64_t Size() override { return size_; }

    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset >= size_) return 0;
        size = static_cast<std::size_t>(std::min<std::uint64_t>(size, size_ - offset));
        if (offset < start_) Open();
        const std::uint64_t end = start_ + window_.size();
        if (offset > end) {
            // Skip to `offset`, keeping nothing.
            window_.clear();
            std::vector<std::uint8_t> skip(std::min<std::uint64_t>(offset - end, 1u << 20));
            for (std::uint64_t left = offset - end; left > 0;) {
                const std::size_t n = in_->Read(skip.data(), static_cast<std::size_t>(std::min<std::uint64_t>(left, skip.size())));
                if (n == 0) return 0;
                left -= n;
            }
        } else {
            window_.erase(window_.begin(), window_.begin() + static_cast<std::ptrdiff_t>(offset - start_));
        }
        start_ = offset;
        while (window_.size() < size) {
            const std::size_t old = window_.size();
            const std::size_t want = std::max<std::size_t>(size - old, 1u << 20);
            window_.resize(old + want);
            const std::size_t n = in_->Read(window_.data() + old, want);
            window_.resize(old + n);
            if (n == 0) break;
        }
        const std::size_t n = std::min(size, window_.size());
        std::memcpy(buffer, window_.data(), n);
        return n;
    }

private:
    void Open() {
        in_ = fs_.OpenRead(path_);
        size_ = static_cast<std::uint64_t>(in_->Length());
        start_ = 0;
        window_.clear();
    }

    FileSystem& fs_;
    std::string path_;
    std::unique_ptr<InputFile> in_;
    std::uint64_t size_ = 0, start_ = 0;
    std::vector<std::uint8_t> window_;
};

bool SameMd5(const ContentKey& k, const Md5Bytes& m) { return std::memcmp(k.Bytes.data(), m.data(), m.size()) == 0; }

// Where a recovery slice's data lies.
struct RecoverySlice {
    std::uint32_t Exponent = 0;
    std::size_t File = 0;     // index into the set's files
    std::uint64_t Offset = 0; // of the data, after the exponent
};

// Every recovery slice of the set whose packet is whole and checks, the first copy of each exponent.
std::vector<RecoverySlice> LocateRecoverySlices(FileSystem& fs, const std::vector<std::string>& files,
                                                const Md5Bytes& setId, std::uint64_t sliceSize) {
    std::vector<RecoverySlice> found;
    std::vector<bool> seen(65536);
    std::vector<std::uint8_t> buffer(1u << 20);
    const std::uint64_t packetBytes = par2::HeaderBytes + 4 + sliceSize;
    for (std::size_t f = 0; f < files.size(); ++f) {
        FileSource source(fs, files[f]);
        const std::uint64_t size = source.Size();
        std::uint64_t pos = 0;
        while (pos + par2::HeaderBytes <= size) {
            const std::size_t got = source.ReadAt(pos, buffer.data(), buffer.size());
            if (got < par2::Magic.size()) break;
            const auto end = buffer.begin() + static_cast<std::ptrdiff_t>(got);
            const auto at = std::search(buffer.begin(), end, par2::Magic.begin(), par2::Magic.end());
            if (at == end) {
                pos += got - (par2::Magic.size() - 1);
                continue;
            }
            pos += static_cast<std::uint64_t>(at - buffer.begin());
            std::uint8_t header[par2::HeaderBytes + 4];
            if (source.ReadAt(pos, header, sizeof header) < sizeof header) break;
            const std::optional<par2::PacketHeader> h = par2::ParseHeader(std::span<const std::uint8_t>(header, par2::HeaderBytes));
            if (!h || h->Type != par2::RecvSlicType || h->SetId != setId || h->Length != packetBytes ||
                size - pos < packetBytes) {
                // Not one of this set's recovery slices: look on past this header's magic.
                pos += h && h->Type != par2::RecvSlicType ? par2::HeaderBytes : 1;
                continue;
            }
            const std::unique_ptr<Digester> md5 = MakeDigester(HashAlgorithm::Md5);
            md5->Update(header + par2::HashedFrom, sizeof header - par2::HashedFrom);
            std::uint64_t done = 4;
            bool whole = true;
            while (done < packetBytes - par2::HeaderBytes) {
                const std::size_t want = static_cast<std::size_t>(
                    std::min<std::uint64_t>(buffer.size(), packetBytes - par2::HeaderBytes - done));
                const std::size_t n = source.ReadAt(pos + par2::HeaderBytes + done, buffer.data(), want);
                if (n == 0) {
                    whole = false;
                    break;
                }
                md5->Update(buffer.data(), n);
                done += n;
            }
            const std::uint32_t exponent = par2::Le32(header + par2::HeaderBytes);
            if (!whole || !SameMd5(md5->Final(), h->PacketMd5)) {
                pos += 1;
                continue;
            }
            if (exponent < seen.size() && !seen[exponent]) {
                seen[exponent] = true;
                found.push_back({exponent, f, pos + par2::HeaderBytes + 4});
            }
            pos += packetBytes;
        }
    }
    return found;
}

// One file of the recovery set as found on disk.
struct Checked {
    const par2::SetFile* File = nullptr;
    std::string Path;
    std::uint64_t FirstSlice = 0;
    std::vector<bool> Good; // per slice: present and whole at its place
    bool Exists = false;
};

// The slices whose MD5s are computed side by side: at most so many, and within so many bytes.
constexpr std::size_t MaxGroup = 16;
constexpr std::size_t GroupBytes = std::size_t{32} << 20;
// What the readers checking files at once may hold in all.
constexpr std::uint64_t ReadersBytes = std::uint64_t{256} << 20;

// Reads the file: its whole MD5 and each slice's CRC-32; only when the whole does not match are the slices
// with a CRC hit checked by their MD5 (a second read). `read` hears of the bytes of each slice of the first
// read; false from it stops the check, and then false is returned.
bool CheckFile(FileSystem& fs, Checked& c, std::uint64_t sliceSize, std::vector<unsigned char>& buffer,
               const std::function<bool(std::uint64_t)>& read) {
    const par2::SetFile& f = *c.File;
    const std::size_t count = f.Slices.size();
    c.Good.assign(count, false);
    c.Exists = fs.FileExists(c.Path);
    if (!c.Exists) return true;
    const auto slice = static_cast<std::size_t>(sliceSize);
    std::vector<bool> crcHit(count, false);
    bool intact = false;
    std::uint64_t length = 0;
    {
        std::unique_ptr<InputFile> in = fs.OpenRead(c.Path);
        std::unique_ptr<Digester> whole = MakeDigester(HashAlgorithm::Md5);
        for (std::size_t s = 0;; ++s) {
            const std::size_t n = ReadFull(*in, buffer.data(), slice);
            if (n == 0) break;
            whole->Update(buffer.data(), n);
            length += n;
            if (!read(n)) return false;
            if (s < count) {
                std::memset(buffer.data() + n, 0, slice - n);
                crcHit[s] = Crc32(buffer.data(), slice) == f.Slices[s].Crc;
            }
        }
        intact = length == f.Desc->Length && SameMd5(whole->Final(), f.Desc->Hash);
    }
    if (intact) {
        c.Good.assign(count, true);
        return true;
    }
    if (std::none_of(crcHit.begin(), crcHit.end(), [](bool b) { return b; })) return true;
    // A file grown past its length whose every slice still checks is damaged all the same: its last slice
    // is taken for lost, so that the rebuild writes the file at its length.
    const bool grown = length > f.Desc->Length;
    // The slices with a CRC hit are gathered a group at a time and their MD5s computed side by side.
    const std::size_t group = std::clamp<std::size_t>(GroupBytes / std::max<std::size_t>(slice, 1), 1, MaxGroup);
    if (buffer.size() < group * slice) buffer.resize(group * slice);
    std::vector<const unsigned char*> held;
    std::vector<std::size_t> heldSlice;
    Md5Digest hashes[MaxGroup];
    auto hashHeld = [&] {
        Md5Many(held.data(), held.size(), slice, hashes);
        for (std::size_t k = 0; k < held.size(); ++k)
            c.Good[heldSlice[k]] = std::equal(hashes[k].begin(), hashes[k].end(), f.Slices[heldSlice[k]].Hash.begin());
        held.clear();
        heldSlice.clear();
    };
    std::unique_ptr<InputFile> in = fs.OpenRead(c.Path);
    for (std::size_t s = 0; s < count; ++s) {
        unsigned char* at = buffer.data() + held.size() * slice;
        const std::size_t n = ReadFull(*in, at, slice);
        if (n == 0) break;
        // The last slice counts only as long as the file's own: bytes beyond its length are damage too.
        const std::uint64_t expected = std::min<std::uint64_t>(sliceSize, f.Desc->Length - s * sliceSize);
        if (!crcHit[s] || n < expected) continue;
        std::memset(at + expected, 0, slice - static_cast<std::size_t>(expected));
        held.push_back(at);
        heldSlice.push_back(s);
        if (held.size() == group) hashHeld();
    }
    hashHeld();
    if (grown && count > 0) c.Good[count - 1] = false;
    return true;
}

// Checks the files `which` of `checked` (each one's File and Path set), several at once on `threads`
// threads when the disk likes it, each file by one thread from start to end. `read` hears of the bytes
// read, always on the calling thread; false from it stops the reads, and then false is returned. A
// failure is raised after every read ended, the first file's in the set's order.
bool CheckFiles(FileSystem& fs, std::vector<Checked>& checked, const std::vector<std::size_t>& which,
                std::uint64_t sliceSize, unsigned threads, DiskChoice choice, const std::string& dir,
                const std::function<bool(std::uint64_t)>& read) {
    // A spinning disk is read one file at a time, unless its files come from the page cache (one the user
    // named always is); a network file system by a few readers. Each reader holds its slices' group.
    unsigned readers = threads;
    if (readers > 1) {
        const DiskKind disk = choice == DiskChoice::Hdd ? DiskKind::Spinning
                              : choice == DiskChoice::Ssd ? DiskKind::Solid
                                                          : DiskKindOf(dir);
        if (disk == DiskKind::Spinning && (choice == DiskChoice::Hdd || !ReadsServedFromCache())) readers = 1;
        if (disk == DiskKind::Network) readers = std::min(readers, 4u);
        const std::uint64_t perReader = std::min<std::uint64_t>(GroupBytes, sliceSize * MaxGroup) + sliceSize;
        readers = static_cast<unsigned>(std::clamp<std::uint64_t>(ReadersBytes / perReader, 1, readers));
    }
    readers = static_cast<unsigned>(std::min<std::size_t>(readers, which.size()));
    if (readers <= 1) {
        std::vector<unsigned char> buffer(static_cast<std::size_t>(sliceSize));
        for (std::size_t i : which)
            if (!CheckFile(fs, checked[i], sliceSize, buffer, read)) return false;
        return true;
    }
    struct Shared {
        std::mutex lock;
        std::condition_variable ended;
        unsigned running = 0;
        std::atomic<std::size_t> next{0};
        std::atomic<std::uint64_t> bytes{0};
        std::atomic<bool> stop{false};
        std::vector<std::exception_ptr> errors;
    } shared;
    shared.errors.resize(which.size());
    shared.running = readers;
    {
        HashPool pool(readers);
        for (unsigned r = 0; r < readers; ++r) {
            pool.Post([&] {
                std::vector<unsigned char> buffer(static_cast<std::size_t>(sliceSize));
                const std::function<bool(std::uint64_t)> count = [&](std::uint64_t n) {
                    shared.bytes.fetch_add(n, std::memory_order_relaxed);
                    return !shared.stop.load(std::memory_order_relaxed);
                };
                for (std::size_t k; !shared.stop.load() && (k = shared.next.fetch_add(1)) < which.size();) {
                    try {
                        if (!CheckFile(fs, checked[which[k]], sliceSize, buffer, count)) break;
                    } catch (...) {
                        shared.errors[k] = std::current_exception();
                    }
                }
                const std::lock_guard<std::mutex> held(shared.lock);
                if (--shared.running == 0) shared.ended.notify_all();
            });
        }
        // The progress is told here, from the bytes the readers counted, until the last one ended.
        std::uint64_t told = 0;
        std::unique_lock<std::mutex> held(shared.lock);
        for (bool last = false; !last;) {
            last = shared.ended.wait_for(held, std::chrono::milliseconds(50), [&] { return shared.running == 0; });
            const std::uint64_t bytes = shared.bytes.load(std::memory_order_relaxed);
            if (shared.stop.load() || bytes == told) continue;
            held.unlock();
            bool more = false;
            try {
                more = read(bytes - told);
            } catch (...) {
                shared.stop.store(true);
                held.lock();
                shared.ended.wait(held, [&] { return shared.running == 0; });
                throw;
            }
            told = bytes;
            held.lock();
            if (!more) shared.stop.store(true);
        }
    }
    if (shared.stop.load()) return false;
    for (const std::exception_ptr& e : shared.errors)
        if (e) std::rethrow_exception(e);
    return true;
}

// A free name beside the file `rel` (below `dir`) for its damaged copy: NAME.1, NAME.2, ..., none of the
// names in `taken` (the set's files and the names already given), which takes it.
std::string KeepName(FileSystem& fs, const std::string& dir, const std::string& rel,
                     std::unordered_set<std::string>& taken) {
    for (int i = 1;; ++i) {
        std::string candidate = rel + "." + std::to_string(i);
        if (taken.count(FileNameKey(candidate)) || fs.Identify(JoinBeneath(dir, candidate)).Exists) continue;
        taken.insert(FileNameKey(candidate));
        return candidate;
    }
}

// The temporary name of the file `rel` rebuilt: hidden, beside it.
std::string RebuildTemp(const std::string& rel) {
    const std::size_t slash = rel.rfind('/');
    const std::size_t at = slash == std::string::npos ? 0 : slash + 1;
    std::string out = rel.substr(0, at);
    out += '.';
    out.append(rel, at);
    out += ".tallyvault-rebuild";
    return out;
}

// Removes a file the run made, when it is there.
bool RemoveMade(FileSystem& fs, const std::string& path) {
    try {
        if (fs.Identify(path).Exists) fs.DeleteFile(path);
        return true;
    } catch (const IoError&) {
        return false;
    }
}

} // namespace

Par2RebuildResult RebuildPar2Set(FileSystem& fs, const std::string& indexPath, const Par2RebuildOptions& options) {
    const std::vector<std::string> setFiles = Par2SetFiles(fs, indexPath);
    const std::string dir = ExtractFileDir(indexPath);
    par2::SetBuilder builder;
    {
        FileSource index(fs, setFiles.front());
        builder.Read(index);
    }
    par2::SetPackets set = builder.Finish();
    auto complete = [](const par2::SetPackets& s) {
        return s.Main && s.Undescribed() == 0 &&
               std::all_of(s.Files.begin(), s.Files.end(), [](const par2::SetFile& f) { return !f.Recovery || f.HasSlices; });
    };
    if (!complete(set)) {
        for (std::size_t i = 1; i < setFiles.size(); ++i) {
            FileSource volume(fs, setFiles[i]);
            builder.Read(volume);
        }
        set = builder.Finish();
    }
    Par2RebuildResult result;
    result.Creator = set.Creator;
    const std::string creator = set.Creator.empty() ? "" : " (made by " + set.Creator + ")";
    if (!set.Main) throw Par2SetError("the set has no readable Main packet" + creator);
    if (set.Undescribed() > 0)
        throw Par2SetError(std::to_string(set.Undescribed()) + " files of the set have no readable description" + creator);
    const std::uint64_t sliceSize = set.Main->SliceSize;
    if (sliceSize > (std::uint64_t{1} << 30)) throw Par2SetError("the set's block size is beyond what can be held");
    const auto slice = static_cast<std::size_t>(sliceSize);

    // The progress runs over the files checked and then over every input slice the code takes in (the
    // present ones read, the lost ones solved for).
    const auto checking = [&](const par2::SetFile& f) {
        return Par2NameRefusal(f.Desc->Name).empty() && !(options.KnownIntact && options.KnownIntact(f.Desc->Name));
    };
    std::uint64_t total = 0;
    for (const par2::SetFile& f : set.Files)
        if (f.Recovery && f.Desc) total += (checking(f) ? f.Desc->Length : 0) + par2::SliceCount(f.Desc->Length, sliceSize) * sliceSize;
    std::uint64_t done = 0;
    const std::function<bool(std::uint64_t)> read = [&](std::uint64_t n) {
        done += n;
        return !options.Progress || options.Progress(done, total);
    };

    // Every file of the recovery set, slice by slice: the files are read first, several at once, and
    // their outcomes then taken in the set's order.
    std::vector<Checked> checked;
    std::vector<std::size_t> reading;
    std::vector<std::uint32_t> lost, present;
    std::vector<unsigned char> buffer(slice);
    std::uint64_t next = 0;
    for (const par2::SetFile& f : set.Files) {
        if (!f.Recovery) continue;
        Par2FileOutcome outcome;
        outcome.Name = f.Desc->Name;
        Checked c;
        c.File = &f;
        c.FirstSlice = next;
        const std::uint64_t count = par2::SliceCount(f.Desc->Length, sliceSize);
        if (!f.HasSlices) throw Par2SetError("the slice checks of " + f.Desc->Name + " are missing from the set" + creator);
        if (next + count > par2::MaxInputSlices) throw Par2SetError("the set has more blocks than the code allows");
        next += count;
        if (const std::string refusal = Par2NameRefusal(f.Desc->Name); !refusal.empty()) {
            outcome.Result = Par2FileOutcome::Refused;
            outcome.Reason = refusal;
            c.Good.assign(static_cast<std::size_t>(count), false);
        } else {
            c.Path = JoinBeneath(dir, f.Desc->Name);
            if (!checking(f)) {
                c.Exists = true;
                c.Good.assign(static_cast<std::size_t>(count), true);
            } else {
                reading.push_back(checked.size());
            }
        }
        result.Files.push_back(std::move(outcome));
        checked.push_back(std::move(c));
    }
    const unsigned threads = options.Workers != 0 ? options.Workers : HashWorkers{}.Count();
    if (!CheckFiles(fs, checked, reading, sliceSize, threads, options.Disk, dir, read)) {
        result.Stopped = true;
        return result;
    }
    for (std::size_t i = 0; i < checked.size(); ++i) {
        const Checked& c = checked[i];
        Par2FileOutcome& outcome = result.Files[i];
        if (outcome.Result != Par2FileOutcome::Refused) {
            const bool all = std::all_of(c.Good.begin(), c.Good.end(), [](bool b) { return b; });
            outcome.Result = all ? Par2FileOutcome::Intact : c.Exists ? Par2FileOutcome::Damaged : Par2FileOutcome::Missing;
        }
        for (std::size_t s = 0; s < c.Good.size(); ++s)
            (c.Good[s] ? present : lost).push_back(static_cast<std::uint32_t>(c.FirstSlice + s));
    }
    result.InputSlices = next;
    result.LostSlices = lost.size();
    if (lost.empty()) return result;

    const std::vector<RecoverySlice> recovery = LocateRecoverySlices(fs, setFiles, set.SetId, sliceSize);
    result.RecoverySlices = recovery.size();
    // Slices of refused names are lost for good: they are solved for (they take part in the code) but
    // never written.
    if (recovery.size() < lost.size()) {
        result.MoreNeeded = lost.size() - recovery.size();
        return result;
    }
    std::vector<std::uint32_t> exponents;
    for (const RecoverySlice& r : recovery)
        exponents.push_back(r.Exponent);
    const std::optional<RebuildCoefficients> solved = SolveLost(lost, present, exponents);
    if (!solved) {
        result.MoreNeeded = 1;
        return result;
    }
    if (options.DryRun) return result;
    // The lost slices are held in memory until they are written.
    if (lost.size() * sliceSize > (std::uint64_t{4} << 30))
        throw Par2SetError(std::to_string(lost.size()) + " lost blocks of " + std::to_string(sliceSize) +
                           " bytes are more than 4 GiB to hold at once");

    // One pass over the slices needed: the present input slices in order, then the chosen recovery slices.
    // Two batches take turns: while one is added to the lost slices on the workers, the next is read here.
    SliceCombiner combiner(lost.size(), slice, options.Workers);
    const std::size_t width = solved->Inputs();
    const std::size_t batchSlices = std::clamp<std::size_t>((std::size_t{32} << 20) / std::max<std::size_t>(slice, 1), 1, 32);
    struct Batch {
        std::vector<unsigned char> Data;
        std::vector<const unsigned char*> Inputs;
        std::vector<std::size_t> Columns;
        std::vector<std::uint16_t> Coefficients;
    };
    Batch batches[2];
    for (Batch& b : batches)
        b.Data.resize(batchSlices * slice);
    int filling = 0;
    std::future<void> pending;
    auto wait = [&] {
        if (pending.valid()) pending.get();
    };
    auto flush = [&] {
        Batch& b = batches[filling];
        const std::size_t n = b.Inputs.size();
        if (n == 0) return true;
        wait(); // the other batch's turn
        b.Coefficients.resize(lost.size() * n);
        for (std::size_t j = 0; j < lost.size(); ++j)
            for (std::size_t g = 0; g < n; ++g)
                b.Coefficients[j * n + g] = solved->Coefficients[j * width + b.Columns[g]];
        pending = std::async(std::launch::async, [&b, &combiner] { combiner.Add(b.Inputs, b.Coefficients); });
        filling = 1 - filling;
        batches[filling].Inputs.clear();
        batches[filling].Columns.clear();
        return read(n * sliceSize);
    };
    auto slot = [&]() -> unsigned char* {
        Batch& b = batches[filling];
        if (b.Inputs.size() == batchSlices && !flush()) return nullptr;
        Batch& f = batches[filling];
        return f.Data.data() + f.Inputs.size() * slice;
    };
    auto take = [&](const unsigned char* at, std::size_t column) {
        batches[filling].Inputs.push_back(at);
        batches[filling].Columns.push_back(column);
    };
    // The workers hold pointers into the batches: they end before the batches go, on every way out.
    struct Ending {
        std::future<void>& Pending;
        ~Ending() {
            if (Pending.valid()) Pending.wait();
        }
    } ending{pending};
    std::size_t column = 0;
    for (const Checked& c : checked) {
        if (std::none_of(c.Good.begin(), c.Good.end(), [](bool b) { return b; })) continue;
        std::unique_ptr<InputFile> in = fs.OpenRead(c.Path);
        for (std::size_t s = 0; s < c.Good.size(); ++s) {
            unsigned char* at = slot();
            if (at == nullptr) {
                result.Stopped = true;
                return result;
            }
            const std::size_t n = ReadFull(*in, at, slice);
            if (!c.Good[s]) continue;
            std::memset(at + n, 0, slice - n);
            take(at, column++);
        }
    }
    // The chosen recovery slices come in the order they were found, file by file: a file stays open for
    // its next one, which lies further on.
    std::vector<std::size_t> byExponent(65536, SIZE_MAX);
    for (std::size_t k = 0; k < recovery.size(); ++k)
        byExponent[recovery[k].Exponent] = k;
    std::unique_ptr<FileSource> source;
    std::size_t sourceFile = SIZE_MAX;
    for (std::size_t r = 0; r < solved->Exponents.size(); ++r) {
        const RecoverySlice& found = recovery[byExponent[solved->Exponents[r]]];
        unsigned char* at = slot();
        if (at == nullptr) {
            result.Stopped = true;
            return result;
        }
        if (found.File != sourceFile) {
            source.reset();
            source = std::make_unique<FileSource>(fs, setFiles[found.File]);
            sourceFile = found.File;
        }
        if (source->ReadAt(found.Offset, at, slice) != slice) throw IoError("Read beyond end of file", {}, {}, setFiles[found.File]);
        take(at, present.size() + r);
    }
    source.reset();
    if (!flush()) {
        result.Stopped = true;
        return result;
    }
    wait();

    // The rebuilt files, each whole and checked before it takes its place. The plan of their changes is on
    // the disk before the first of them, so that the next repair finishes or undoes a killed rebuild.
    RepairPlan plan;
    plan.Base = dir;
    std::vector<std::size_t> firstLost(checked.size()), stepOf(checked.size(), SIZE_MAX);
    {
        std::unordered_set<std::string> taken;
        for (const Checked& c : checked)
            taken.insert(FileNameKey(c.File->Desc->Name));
        std::size_t lostIndex = 0;
        for (std::size_t i = 0; i < checked.size(); ++i) {
            const Checked& c = checked[i];
            const std::size_t lostHere = static_cast<std::size_t>(std::count(c.Good.begin(), c.Good.end(), false));
            firstLost[i] = lostIndex;
            lostIndex += lostHere;
            if (lostHere == 0 || result.Files[i].Result == Par2FileOutcome::Refused) continue;
            PlanStep step;
            step.What = PlanStep::Kind::Rebuild;
            step.From = RebuildTemp(c.File->Desc->Name);
            step.To = c.File->Desc->Name;
            if (c.Exists) step.KeptAs = KeepName(fs, dir, step.To, taken);
            step.Purge = options.Purge;
            std::memcpy(step.Md5.data(), c.File->Desc->Hash.data(), step.Md5.size());
            step.Length = c.File->Desc->Length;
            stepOf[i] = plan.Steps.size();
            plan.Steps.push_back(std::move(step));
        }
    }
    if (plan.Steps.empty()) return result;
    std::optional<PlanJournal> journal;
    try {
        journal.emplace(fs, PlanPath(indexPath), plan);
    } catch (const RepairRunning& e) {
        throw Par2SetError(e.what());
    }
    bool unsettled = false; // a change that could not be taken back: the plan stays for the next repair
    for (std::size_t i = 0; i < checked.size(); ++i) {
        if (stepOf[i] == SIZE_MAX) continue;
        const Checked& c = checked[i];
        Par2FileOutcome& outcome = result.Files[i];
        const PlanStep& step = plan.Steps[stepOf[i]];
        // A stop between two files leaves each one rebuilt or as it was.
        if (!read(0)) {
            result.Stopped = true;
            break;
        }
        journal->Starting(stepOf[i]);
        const std::string temp = JoinBeneath(dir, step.From);
        const std::string kept = step.KeptAs.empty() ? std::string() : JoinBeneath(dir, step.KeptAs);
        bool keptAside = false, inPlace = false;
        try {
            MakeFoldersBeneath(fs, dir, step.To);
            // A folder in the file's place is never replaced: said before anything is read or written.
            if (fs.FolderExists(c.Path)) throw IoErrorFromErrno(EISDIR, c.Path);
            if (fs.FileExists(temp)) fs.RemoveIfAbandoned(temp);
            std::unique_ptr<OutputFile> out = fs.CreateNew(temp);
            std::unique_ptr<InputFile> old = c.Exists ? fs.OpenRead(c.Path) : nullptr;
            std::unique_ptr<Digester> md5 = MakeDigester(HashAlgorithm::Md5);
            std::uint64_t left = c.File->Desc->Length;
            std::size_t j = firstLost[i];
            for (std::size_t s = 0; s < c.Good.size(); ++s) {
                const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, sliceSize));
                // The old file is read along, so that its good slices are at hand where they lie.
                if (old) ReadFull(*old, buffer.data(), slice);
                const unsigned char* from = c.Good[s] ? buffer.data() : combiner.Output(j++);
                out->Write(from, n);
                md5->Update(from, n);
                left -= n;
            }
            out->Sync();
            out->Close();
            out.reset();
            old.reset();
            if (!SameMd5(md5->Final(), c.File->Desc->Hash)) {
                fs.DeleteFile(temp);
                journal->Failed(stepOf[i]);
                outcome.Result = Par2FileOutcome::Failed;
                outcome.Reason = "the rebuilt file does not match its MD5";
                continue;
            }
            if (c.Exists) {
                fs.RenameBeneath(dir, step.To, step.KeptAs);
                keptAside = true;
                outcome.KeptAs = kept;
            }
            fs.RenameBeneath(dir, step.From, step.To);
            inPlace = true;
            // Purged only now that the rebuilt file is in place.
            if (c.Exists && step.Purge) {
                fs.DeleteBeneath(dir, step.KeptAs, fs.Identify(kept));
                outcome.KeptAs.clear();
            }
            fs.SyncFolder(ExtractFileDir(c.Path));
            outcome.Result = Par2FileOutcome::Rebuilt;
            journal->Done(stepOf[i]);
        } catch (const IoError& e) {
            bool settled = true;
            if (inPlace) {
                // The rebuilt file is in its place: only the purge or the folder's sync failed.
                settled = false;
            } else {
                settled = RemoveMade(fs, temp);
                // A damaged file moved aside whose replacement could not follow goes back to its name.
                if (keptAside && !fs.Identify(c.Path).Exists) {
                    try {
                        fs.RenameBeneath(dir, step.KeptAs, step.To);
                        outcome.KeptAs.clear();
                    } catch (const IoError&) {
                        settled = false;
                    }
                }
            }
            outcome.Result = Par2FileOutcome::Failed;
            outcome.Reason = std::string(e.what()) + (e.Reason().empty() ? "" : " (" + e.Reason() + ")");
            if (settled) {
                journal->Failed(stepOf[i]);
            } else {
                // The rest waits for the next repair, which sets this one right first: a recovery takes the
                // steps after the last one marked for not begun.
                unsettled = true;
                break;
            }
        }
    }
    if (unsettled)
        journal->Leave();
    else
        journal->Finish();
    return result;
}

} // namespace tv
