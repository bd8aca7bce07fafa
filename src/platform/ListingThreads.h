#pragma once
// How many threads a folder listing made on this thread may use to look at its entries, its own
// included: one, unless a walk that hashes on workers says more for as long as its ListingThreads
// lives. Only the POSIX listing uses more than one, and only where the first entries it looked at came
// from memory: a spinning disk's cold folder is still read one entry after the other.
namespace tv {

class ListingThreads {
public:
    explicit ListingThreads(unsigned threads) : before_(now_) { now_ = threads < 1 ? 1 : threads; }
    ~ListingThreads() { now_ = before_; }
    ListingThreads(const ListingThreads&) = delete;
    ListingThreads& operator=(const ListingThreads&) = delete;

    static unsigned Now() { return now_; }

private:
    static inline thread_local unsigned now_ = 1;
    unsigned before_;
};

} // namespace tv
