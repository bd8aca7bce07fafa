#include "core/KeyAhead.h"

#include "core/ByteProgress.h"
#include "core/FileCrc32.h"
#include "core/ListedRead.h"
#include "platform/Paths.h"
#include "platform/PositionedRead.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace tv {

namespace {

// A worker's reading was stopped because its walk ended: nobody waits for the file any more.
struct WorkStopped {};

// A file read without waiting for a turn.
constexpr std::size_t NoTurn = SIZE_MAX;

// How often a walk waiting for a worker's file hears of its bytes (and lets the window handle events).
constexpr auto WaitSlice = std::chrono::milliseconds(15);

// A walk that waits for a worker's file sleeps until the files after it up to this many are done too
// (or a wait slice ends). Each wake takes a core from a worker: 10,000 small files verified 7 % faster
// on two cores with 64 than with 8.
constexpr std::size_t WakeBatch = 64;

// A file a worker finished longer than this before the walk came to it is looked at again: one that is
// no longer the plain file of the listed size it was read as (cut short, grown, gone meanwhile) is read
// by the walk itself, which then says what a walk without workers says of it.
constexpr auto StaleAfter = std::chrono::milliseconds(50);

// Below this a BLAKE3 file is hashed by its worker alone; above, its tree is spread over the pool.
constexpr std::int64_t SpreadBlake3From = std::int64_t{8} << 20;

} // namespace

struct KeyAhead::State {
    State(FileSystem& f, std::string dir, KeyRead r, AlgorithmSet a) : fs(f), folder(std::move(dir)), read(r), algorithms(a) {}

    using Planned = PlannedFiles::File;
    enum class Stage { Free, Running, Done };
    struct Slot {
        std::size_t Job = SIZE_MAX;
        Stage At = Stage::Free;
        std::atomic<std::int64_t> Bytes{0}; // read so far by its worker
        std::chrono::steady_clock::time_point DoneAt;
        FileKeys Keys;
        std::exception_ptr Error;
    };

    FileSystem& fs;
    const std::string folder;
    const KeyRead read;
    const AlgorithmSet algorithms;
    DiskKind disk = DiskKind::Spinning;
    bool namedDisk = false; // by the user's choice, not by asking the system
    unsigned lanes = 1;
    std::size_t bufferShare = 0; // a spinning disk's file read whole up to this size
    bool wholeFiles = false;     // the file system reads small files whole, many at once
    std::shared_ptr<HashPool> pool;

    std::mutex lock;
    std::condition_variable laneWake; // a lane may take its turn, or stop
    std::condition_variable done;     // a file is done, or a lane left a file
    PlannedFiles plan;
    std::vector<Slot> slots; // the file `j` is kept in slots[j % slots.size()]
    std::size_t claimed = 0;   // files of the plan claimed by lanes, in order
    std::size_t released = 0;  // files whose slots the walk no longer needs
    std::size_t announced = 0; // Next() calls
    std::size_t tickets = 0;   // a spinning disk: turns handed out to files, in the plan's order
    std::size_t turn = 0;      // the turn whose reading goes now
    std::size_t hinted = 0;    // a spinning disk: files of the plan the file system has heard of
    std::size_t hintsFrom = 0; // the file whose turn hinted last
    std::int64_t hintedBytes = 0; // of the files from hintsFrom on that were hinted
    unsigned lanesLive = 0;    // lanes posted and not yet gone
    unsigned busy = 0;         // lanes inside a file
    std::atomic<bool> stop{false};
    // The walk sleeps until the file `awaited` is done and, of the files after it, `wakeAt` (SIZE_MAX: it
    // does not sleep). Waking it for every small file would cost more than hashing it.
    std::size_t awaited = SIZE_MAX;
    std::size_t wakeAt = SIZE_MAX;

    bool Claimable() const {
        return claimed < plan.size() && claimed < released + slots.size() &&
               slots[claimed % slots.size()].At != Stage::Running;
    }
    bool IsDone(std::size_t job) const {
        const Slot& slot = slots[job % slots.size()];
        return slot.Job == job && slot.At == Stage::Done;
    }
    bool WalkMayGo() const { return awaited != SIZE_MAX && IsDone(awaited) && IsDone(wakeAt); }
};

namespace {

using State = KeyAhead::State;

// The file the walk announced last, on the walk's thread.
struct Handed {
    std::shared_ptr<State> Walk;
    std::size_t Job = 0;
};
thread_local Handed handed;

// A worker's notes of its reading: the bytes go to the file's slot, for the walk to pass on to the
// progress; a walk that ended stops the reading at its next block.
class SlotSink final : public ByteProgressSink {
public:
    SlotSink(const State& s, State::Slot& slot) : s_(s), slot_(slot) {}
    void FileBegun(std::int64_t) override {}
    void BytesRead(std::int64_t bytes) override {
        slot_.Bytes.fetch_add(bytes, std::memory_order_relaxed);
        if (s_.stop.load(std::memory_order_relaxed)) throw WorkStopped{};
    }
    void FileEnded() override {}

private:
    const State& s_;
    State::Slot& slot_;
};

// A file whose first bytes were read into memory in one go; the rest, if any, comes from the file.
class PreloadedFile final : public InputFile, public PositionedRead {
public:
    PreloadedFile(std::unique_ptr<InputFile> file, unsigned char* buffer, std::size_t want)
        : file_(std::move(file)), positioned_(dynamic_cast<PositionedRead*>(file_.get())), buffer_(buffer) {
        while (held_ < want) {
            const std::size_t got = file_->Read(buffer_ + held_, want - held_);
            if (got == 0) {
                ended_ = true;
                break;
            }
            held_ += got;
        }
    }
    // All the reading the file needs was done: it ended, or all that was wanted is held.
    bool Whole(std::size_t want) const { return ended_ || held_ >= want; }
    std::size_t Read(void* out, std::size_t size) override {
        if (at_ < held_) {
            const std::size_t n = std::min(size, held_ - at_);
            // Read into the reader's own block, the bytes are where it wants them already.
            if (out != buffer_ + at_) std::copy_n(buffer_ + at_, n, static_cast<unsigned char*>(out));
            at_ += n;
            return n;
        }
        if (ended_) return 0;
        return file_->Read(out, size);
    }
    std::int64_t Length() override { return file_->Length(); }
    // Whether ReadAt may be called: the file beneath reads at offsets.
    bool ReadsAt() const { return positioned_ != nullptr; }
    std::size_t ReadAt(void* out, std::size_t size, std::int64_t offset) override {
        const auto from = static_cast<std::size_t>(offset);
        if (from < held_) {
            const std::size_t n = std::min(size, held_ - from);
            std::copy_n(buffer_ + from, n, static_cast<unsigned char*>(out));
            return n;
        }
        if (ended_) return 0;
        return positioned_->ReadAt(out, size, offset);
    }

private:
    std::unique_ptr<InputFile> file_;
    PositionedRead* positioned_;
    unsigned char* buffer_;
    std::size_t held_ = 0, at_ = 0;
    bool ended_ = false;
};

FileKeys CrcKeys(std::uint32_t crc) {
    FileKeys k;
    k.Have = HashAlgorithm::Crc32;
    k.Keys[0] = ContentKey::OfCrc(crc);
    return k;
}

// `spreadable`: the file is read without turns, so a big BLAKE3 one may have its tree hashed across the pool.
FileKeys KeysFrom(const State& s, InputFile& file, std::int64_t size, bool spreadable) {
    switch (s.read) {
    case KeyRead::CrcAsListed:
        return CrcKeys(Crc32AsListedOf(file, size));
    case KeyRead::CrcPrefix:
        return CrcKeys(Crc32PrefixOf(file, size));
    case KeyRead::Keys:
        break;
    }
    // A big BLAKE3 file of a disk that takes readers at once: its tree is hashed across the pool.
    const bool spread = spreadable && s.algorithms == AlgorithmSet(HashAlgorithm::Blake3) &&
                        size >= SpreadBlake3From;
    return KeysAsListedOf(file, size, s.algorithms, spread ? s.pool.get() : nullptr);
}

// The spinning disk's turn, taken in the plan's order and passed on however the reading ends.
// Under the walk's lock, by the lane whose turn it is to read the file `job`: the file system hears of
// it and of the files after it, up to the walk's own window, so that it can queue their reads while
// this one is read and hashed (as the walk's own reading does with one thread).
void HintFrom(State& s, std::size_t job) {
    for (; s.hintsFrom < job && s.hintsFrom < s.hinted; ++s.hintsFrom)
        s.hintedBytes -= ReadAhead::Counted(s.plan[s.hintsFrom].Size);
    if (s.hinted < job) {
        s.hinted = s.hintsFrom = job;
        s.hintedBytes = 0;
    }
    while (s.hinted < s.plan.size() &&
           (s.hinted == job || (s.hinted - job < ReadAhead::WindowFiles && s.hintedBytes < ReadAhead::WindowBytes))) {
        const State::Planned& p = s.plan[s.hinted++];
        s.fs.WillRead(FolderFile(s.folder, p.Name), p.Size);
        s.hintedBytes += ReadAhead::Counted(p.Size);
    }
}

class Turn {
public:
    Turn(State& s, std::size_t ticket, std::size_t job) : s_(s), job_(ticket) {
        std::unique_lock<std::mutex> held(s_.lock);
        s_.laneWake.wait(held, [&] { return s_.turn == job_ || s_.stop.load(); });
        if (s_.turn != job_) throw WorkStopped{};
        holding_ = true;
        // Only while reads wait for the disk: from the page cache the files are read as they come.
        if (ReadsWaitedLately()) HintFrom(s_, job);
    }
    ~Turn() { Pass(); }
    void Pass() {
        if (!holding_) return;
        holding_ = false;
        {
            const std::lock_guard<std::mutex> held(s_.lock);
            s_.turn = job_ + 1;
        }
        s_.laneWake.notify_all();
    }

private:
    State& s_;
    std::size_t job_;
    bool holding_ = false;
};

FileKeys Compute(State& s, std::size_t ticket, std::size_t job, const std::string& path, std::int64_t size) {
    if (ticket == NoTurn) {
        std::unique_ptr<InputFile> file = s.fs.OpenRead(path);
        if (s.read == KeyRead::CrcPrefix && size <= 0) return CrcKeys(0);
        return KeysFrom(s, *file, size, true);
    }
    // One reader at a time: the file is read whole into this worker's share of the buffers when it
    // fits, and hashed after the next worker began reading; a larger one keeps the turn to its end.
    Turn turn(s, ticket, job);
    std::unique_ptr<InputFile> file = s.fs.OpenRead(path);
    if (s.read == KeyRead::CrcPrefix && size <= 0) return CrcKeys(0);
    // As the reading functions ask: a byte past the listed end tells a grown file.
    const std::size_t want = static_cast<std::size_t>(std::max<std::int64_t>(size, 0)) + (s.read == KeyRead::CrcPrefix ? 0 : 1);
    const std::size_t held = std::min(want, s.bufferShare);
    // A file that fits the read block is read into it, where the hashing then finds it without a copy.
    const std::span<unsigned char> block = SharedReadBlock();
    std::unique_ptr<unsigned char[]> buffer;
    if (want > block.size()) buffer = std::make_unique_for_overwrite<unsigned char[]>(held);
    const std::optional<std::uint64_t> waitedBefore = WaitedReadsOfThisThread();
    PreloadedFile preloaded(std::move(file), buffer ? buffer.get() : block.data(), held);
    // A big file whose first share came from the page cache without a wait (a disk found by asking
    // the system): its rest is read without the turn, and spread like a solid-state disk's.
    const std::optional<std::uint64_t> waitedAfter = WaitedReadsOfThisThread();
    const bool cached = !s.namedDisk && waitedBefore && waitedAfter && *waitedBefore == *waitedAfter;
    if (preloaded.Whole(want) || cached) turn.Pass();
    return KeysFrom(s, preloaded, size, cached && preloaded.ReadsAt());
}

// Up to this size a file may be read whole with the files planned after it, in one request to the system.
constexpr std::int64_t WholeFileSize = std::int64_t{256} << 10;

// An empty one is not: a pipe put in its place would read as empty too, where its open tells it apart.
bool ReadWhole(const State& s, const State::Planned& p) {
    return s.wholeFiles && s.read != KeyRead::CrcPrefix && p.Size > 0 && p.Size <= WholeFileSize;
}


// Under the walk's lock: the next file of the plan is given to the calling lane.
std::size_t Claim(State& s) {
    const std::size_t job = s.claimed++;
    State::Slot& slot = s.slots[job % s.slots.size()];
    slot.Job = job;
    slot.At = State::Stage::Running;
    slot.Bytes.store(0, std::memory_order_relaxed);
    slot.Error = nullptr;
    return job;
}

// On a lane, outside the walk's lock: the keys of one file, by `compute`, its bytes passed on as read, or
// whatever failed, which is this file's failure, raised in the walk when it reads the file.
template <class Compute>
void HashInto(State& s, State::Slot& slot, FileKeys& keys, std::exception_ptr& error, Compute&& compute) {
    try {
        SlotSink sink(s, slot);
        const ByteProgressScope scope(&sink);
        keys = compute();
    } catch (...) {
        error = std::current_exception();
    }
}

// Under the walk's lock: the file is done; the walk is woken if it waits for it (and those after it).
void Finish(State& s, State::Slot& slot, const FileKeys& keys, const std::exception_ptr& error, bool leaving) {
    slot.Keys = keys;
    slot.Error = error;
    slot.At = State::Stage::Done;
    slot.DoneAt = std::chrono::steady_clock::now();
    if (leaving) --s.busy;
    if (s.stop.load() || s.WalkMayGo()) s.done.notify_all();
}

// Under the walk's lock, which it gives up while it reads: claims the small files planned next and reads
// them in one go. A file that did not read exactly as listed is read alone, as any other, so that its
// failure or its grown bytes come out as they would.
void LaneBatch(State& s, std::unique_lock<std::mutex>& held) {
    const std::size_t first = s.claimed;
    const std::size_t room = std::min(FileSystem::WholeBytesAtMost, std::max(s.bufferShare, std::size_t{1} << 20));
    std::vector<State::Planned> files;
    std::size_t bytes = 0;
    while (files.size() < FileSystem::WholeFilesAtMost && s.Claimable() && ReadWhole(s, s.plan[s.claimed])) {
        const State::Planned& p = s.plan[s.claimed];
        const std::size_t want = static_cast<std::size_t>(p.Size) + 1;
        if (!files.empty() && bytes + want > room) break;
        bytes += want;
        files.push_back(p);
        Claim(s);
    }
    ++s.busy;
    held.unlock();
    std::vector<WholeFile> whole(files.size());
    for (std::size_t k = 0; k < files.size(); ++k)
        whole[k] = {files[k].Name.data(), files[k].Size, nullptr};
    std::shared_ptr<const void> holder;
    try {
        holder = s.fs.ReadWholeFiles(s.folder, whole.data(), whole.size());
    } catch (...) {
        // Nothing read: each file is then read alone, and fails alone.
    }
    for (std::size_t k = 0; k < files.size(); ++k) {
        State::Slot& slot = s.slots[(first + k) % s.slots.size()];
        FileKeys keys;
        std::exception_ptr error;
        HashInto(s, slot, keys, error, [&] {
            if (s.stop.load(std::memory_order_relaxed)) throw WorkStopped{};
            if (!holder || !whole[k].Data)
                return Compute(s, NoTurn, first + k, FolderFile(s.folder, files[k].Name), files[k].Size);
            BytesFile file(whole[k].Data, static_cast<std::size_t>(files[k].Size), nullptr);
            return KeysFrom(s, file, files[k].Size, false);
        });
        held.lock();
        Finish(s, slot, keys, error, k + 1 == files.size());
        held.unlock();
    }
    held.lock();
}

void Lane(const std::shared_ptr<State>& walk) {
    State& s = *walk;
    std::unique_lock<std::mutex> held(s.lock);
    // A lane leaves when nothing may be claimed now; Next() posts it again when the walk moves on, so a
    // pool thread never waits on a walk that does not move.
    while (!s.stop.load() && s.Claimable()) {
        // A spinning disk is read in turns, in the plan's order. One found by asking the system is not,
        // while its files come from the page cache (which costs no seeks); one the user named always is.
        const bool turns = s.disk == DiskKind::Spinning && (s.namedDisk || !ReadsServedFromCache());
        if (!turns && ReadWhole(s, s.plan[s.claimed])) {
            LaneBatch(s, held);
            continue;
        }
        const std::size_t job = Claim(s);
        State::Slot& slot = s.slots[job % s.slots.size()];
        const State::Planned planned = s.plan[job];
        const std::size_t ticket = turns ? s.tickets++ : NoTurn;
        ++s.busy;
        held.unlock();
        FileKeys keys;
        std::exception_ptr error;
        HashInto(s, slot, keys, error,
                 [&] { return Compute(s, ticket, job, FolderFile(s.folder, planned.Name), planned.Size); });
        held.lock();
        Finish(s, slot, keys, error, true);
    }
    if (--s.lanesLive == 0 && s.stop.load()) s.done.notify_all();
}

// Under the walk's lock. Lanes that left because the files ahead filled every slot come back once half of
// the slots are free again, not for every file the walk moves on; `needed`: the walk is about to wait.
void PostLanes(const std::shared_ptr<State>& walk, bool needed) {
    const std::size_t room = walk->released + walk->slots.size() - walk->claimed;
    if (!needed && walk->lanesLive > 0 && room < walk->slots.size() / 2) return;
    while (walk->lanesLive < walk->lanes && walk->Claimable()) {
        ++walk->lanesLive;
        walk->pool->Post([walk] { Lane(walk); });
    }
}

// Files of a CRC-32 walk this small on average are read by the walk itself, unless the workers read them
// whole from the page cache (measured: 100,000 files of 1 KiB took 1.2 times as long on two workers
// opening each file as on one thread reading in batches; 0.8 times as long on two reading in batches;
// 10,000 files of 1-64 KiB from the disk 3 times as long on two workers as on one thread).
constexpr std::int64_t SmallCrcMean = std::int64_t{256} << 10;

// Whether the first files of the plan are all in the page cache, asked by reading a few of them whole
// without waiting for the disk.
bool FirstFilesCached(State& s) {
    constexpr std::size_t Probed = 8;
    std::vector<WholeFile> first;
    for (std::size_t k = 0; k < s.plan.size() && first.size() < Probed; ++k)
        if (ReadWhole(s, s.plan[k])) first.push_back({s.plan[k].Name.data(), s.plan[k].Size, nullptr});
    if (first.empty()) return false;
    try {
        const std::shared_ptr<const void> holder = s.fs.ReadWholeFiles(s.folder, first.data(), first.size());
        return holder && std::all_of(first.begin(), first.end(), [](const WholeFile& f) { return f.Data != nullptr; });
    } catch (...) {
        return false;
    }
}

// How many files the walk moves on between looks for planned files nobody needs any more.
constexpr std::size_t ForgetEvery = 1024;

// Under the walk's lock: the plan forgets the files before the walk's that no lane reads and no hint
// still counts, so that a walk planning a window ahead holds only that window.
void Forget(State& s) {
    std::size_t keep = s.released;
    for (const State::Slot& slot : s.slots)
        if (slot.At == State::Stage::Running) keep = std::min(keep, slot.Job);
    if (s.hintsFrom < s.hinted) keep = std::min(keep, s.hintsFrom);
    s.plan.ForgetBefore(keep);
}

bool SmallCrcFiles(State& s) {
    const std::lock_guard<std::mutex> held(s.lock);
    if (s.read == KeyRead::Keys || s.plan.empty()) return false;
    std::int64_t bytes = 0;
    for (std::size_t j = 0; j < s.plan.size(); ++j)
        bytes += std::max<std::int64_t>(s.plan[j].Size, 0);
    if (bytes / static_cast<std::int64_t>(s.plan.size()) >= SmallCrcMean) return false;
    // Cached, they are worth handing over when the workers read them whole many at once. From the disk
    // the walk reads them better: it asks for the next ones' bytes while it checks one, where a worker
    // would wait for each.
    return !(s.wholeFiles && s.read == KeyRead::CrcAsListed && !s.namedDisk && FirstFilesCached(s));
}

} // namespace

KeyAhead::KeyAhead(FileSystem& fs, std::string folder, HashWorkers& workers, KeyRead read, AlgorithmSet algorithms)
    : ahead_(fs, folder) {
    std::shared_ptr<HashPool> pool = workers.Pool();
    if (!pool) return;
    auto s = std::make_shared<State>(fs, std::move(folder), read, algorithms);
    switch (workers.Disk) {
    case DiskChoice::Hdd:
        s->disk = DiskKind::Spinning;
        s->namedDisk = true;
        break;
    case DiskChoice::Ssd:
        s->disk = DiskKind::Solid;
        break;
    case DiskChoice::Auto:
        s->disk = DiskKindOf(s->folder.empty() ? std::string(".") : s->folder);
        break;
    }
    s->lanes = pool->Threads();
    if (s->disk == DiskKind::Network) s->lanes = std::min(s->lanes, NetworkReaders);
    s->bufferShare = BufferBudget / s->lanes;
    s->wholeFiles = fs.ReadsWholeFiles();
    s->slots = std::vector<State::Slot>(MaxAhead);
    s->pool = std::move(pool);
    state_ = std::move(s);
}

KeyAhead::~KeyAhead() {
    if (!state_) return;
    if (handed.Walk == state_) handed = {};
    State& s = *state_;
    std::unique_lock<std::mutex> held(s.lock);
    s.stop.store(true);
    s.laneWake.notify_all();
    // Each lane at a file ends it at its next block; lanes not started yet find the walk stopped.
    s.done.wait(held, [&] { return s.busy == 0 && s.lanesLive == 0; });
    held.unlock();
    // A lane's task lets go of the walk just after it leaves: the walk, and with it the pool it holds, goes
    // here on this thread, never on a pool thread, and no pool thread outlives a pool its owner let go.
    while (state_.use_count() > 1)
        std::this_thread::yield();
}

void KeyAhead::Plan(std::string_view name, std::int64_t size) {
    if (!state_) {
        ahead_.Plan(name, size);
        return;
    }
    const std::lock_guard<std::mutex> held(state_->lock);
    state_->plan.Add(name, size);
    // Planned after the walk began: lanes that left with nothing to claim come back.
    if (state_->announced > 0) PostLanes(state_, false);
}

void KeyAhead::Next() {
    if (state_ && state_->announced == 0 && SmallCrcFiles(*state_)) {
        // The CRC-32 of small files costs less than handing them over: the walk reads them itself,
        // in batches where the file system reads ahead (as with one thread).
        for (std::size_t j = 0; j < state_->plan.size(); ++j)
            ahead_.Plan(state_->plan[j].Name, state_->plan[j].Size);
        state_.reset();
    }
    if (!state_) {
        ahead_.Next();
        return;
    }
    State& s = *state_;
    {
        const std::lock_guard<std::mutex> held(s.lock);
        if (s.announced >= s.plan.size()) {
            handed = {};
            return;
        }
        // The file announced before is done with, read or not.
        s.released = s.announced;
        handed = {state_, s.announced++};
        if (s.announced % ForgetEvery == 0) Forget(s);
        PostLanes(state_, false);
    }
}

std::optional<FileKeys> TakeHashedAhead(const std::string& path, std::int64_t size, KeyRead read,
                                        AlgorithmSet algorithms) {
    if (!handed.Walk) return std::nullopt;
    const std::shared_ptr<State> walk = handed.Walk;
    State& s = *walk;
    const std::size_t job = handed.Job;
    bool stale = false;
    {
        const std::lock_guard<std::mutex> held(s.lock);
        const State::Planned& p = s.plan[job];
        if (s.read != read || p.Size != size) return std::nullopt;
        if (read == KeyRead::Keys && (s.algorithms.Bits() & algorithms.Bits()) != algorithms.Bits()) return std::nullopt;
        // A BLAKE2b digest of another length is another digest.
        if (read == KeyRead::Keys && algorithms.Has(HashAlgorithm::Blake2b512) &&
            s.algorithms.Blake2bBytes() != algorithms.Blake2bBytes())
            return std::nullopt;
        if (FolderFile(s.folder, p.Name) != path) return std::nullopt;
        const State::Slot& slot = s.slots[job % s.slots.size()];
        stale = slot.Job == job && slot.At == State::Stage::Done &&
                std::chrono::steady_clock::now() - slot.DoneAt > StaleAfter;
    }
    handed = {};
    if (stale) {
        const FileIdentity now = s.fs.Identify(path, true);
        if (!now.Exists || !now.IsFile || now.Size != size) return std::nullopt;
    }
    // The walk's progress hears of the file as if it read it itself: its bytes as the worker reads them.
    ReadingFile reading(size);
    std::int64_t passed = 0;
    std::unique_lock<std::mutex> held(s.lock);
    State::Slot& slot = s.slots[job % s.slots.size()];
    for (;;) {
        const bool ready = slot.Job == job && slot.At == State::Stage::Done;
        const std::int64_t bytes = slot.Job == job ? slot.Bytes.load(std::memory_order_relaxed) : 0;
        if (bytes > passed) {
            // Handed on outside the lock, a read block at a time as the walk's own reading would: the
            // progress may let the window run between blocks, or stop the walk.
            held.unlock();
            const std::int64_t block = static_cast<std::int64_t>(FileCrc32BlockSize());
            for (; passed < bytes; passed = std::min(bytes, passed + block))
                reading.Read(std::min(block, bytes - passed));
            held.lock();
            continue;
        }
        if (ready) break;
        PostLanes(walk, true);
        s.awaited = job;
        s.wakeAt = std::min(job + WakeBatch, s.plan.size()) - 1;
        const std::cv_status woke = s.done.wait_for(held, WaitSlice);
        s.awaited = s.wakeAt = SIZE_MAX;
        if (woke == std::cv_status::timeout) {
            // Nothing new for a while (a slow disk, a big file ahead of this one): the window still runs.
            held.unlock();
            reading.Read(0);
            held.lock();
        }
    }
    FileKeys keys = slot.Keys;
    const std::exception_ptr error = slot.Error;
    s.released = std::max(s.released, job + 1);
    PostLanes(walk, false);
    held.unlock();
    if (error) std::rethrow_exception(error);
    keys.Have = read == KeyRead::Keys ? algorithms : AlgorithmSet(HashAlgorithm::Crc32);
    return keys;
}

} // namespace tv
