#pragma once
// The threads that hash beneath the single-threaded logic, and the settings that size them. The pool
// only runs tasks handed to it; what a task may touch is the business of whoever hands it over (see
// KeyAhead.h): never the form, its table or its rows.
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace tv {

class HashPool {
public:
    explicit HashPool(unsigned threads);
    // Every task handed over has run, or was dropped unstarted if it was still waiting.
    ~HashPool();
    HashPool(const HashPool&) = delete;
    HashPool& operator=(const HashPool&) = delete;

    unsigned Threads() const { return static_cast<unsigned>(threads_.size()); }
    // The process that made the pool: a child of fork() has none of its threads.
    long MadeBy() const { return madeBy_; }
    void Post(std::function<void()> task);

    // Runs f(0) ... f(count - 1), on the pool's threads and the caller's own, and returns when all have
    // run. The caller takes part, so the work ends even while every pool thread is busy elsewhere. The
    // first exception of any f is raised here, after the others ended.
    void ForEach(std::size_t count, const std::function<void(std::size_t)>& f);

private:
    void Run();
    std::mutex lock_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    bool ending_ = false;
    std::vector<std::thread> threads_;
    long madeBy_;
};

enum class DiskChoice { Auto, Hdd, Ssd };

// How many threads hash and how the disks are read: the option menu's choices, the settings file's
// and the command line's --threads and --disk.
class HashWorkers {
public:
    static constexpr int MaxThreads = 16;
    // What a new form starts with, before its settings are read (a test run may choose it for all).
    static inline int DefaultThreads = 0;
    // 0: as many as the machine has cores; 1: no workers at all, the walk reads and hashes itself.
    int Threads = DefaultThreads;
    DiskChoice Disk = DiskChoice::Auto;

    // The number of hashing threads the settings come to.
    unsigned Count() const;
    // Threads a large folder's listing may look at its entries with: as many as hash, unless the user
    // named the disk a spinning one.
    unsigned ListingCount() const { return Disk == DiskChoice::Hdd ? 1 : Count(); }
    // The pool of Count() threads, made when first asked for (and made anew after the count changed);
    // nothing with one thread.
    std::shared_ptr<HashPool> Pool();
    // Ends the pool's threads now, once every task handed over has run; the next Pool() makes them
    // anew. A process about to fork() calls it, so that no thread is inside the allocator or holds a
    // lock the child would wait on for ever.
    void Release() { pool_.reset(); }

private:
    std::shared_ptr<HashPool> pool_;
};

} // namespace tv
