#pragma once
// Room for many small records (names, digests) taken from blocks of 64 KiB that never move, so that a
// record handed out stays where it is until its block is let go, and a million of them cost no
// allocation each. A record larger than a quarter block gets a block of its own. Blocks are numbered in
// the order they were made; any may be let go while records go on being taken.
#include <cstddef>
#include <deque>
#include <memory>

namespace tv {

class PackedBlocks {
public:
    // `need` bytes, uninitialised, valid until Clear, the blocks' end or the release of the block whose
    // number is put in `block`.
    char* Take(std::size_t need, std::size_t* block = nullptr) {
        if (need > BlockBytes / 4) { // the current block goes on after it
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(need));
            ++held_;
            if (block) *block = released_ + blocks_.size() - 1;
            return blocks_.back().get();
        }
        if (need > left_) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(BlockBytes));
            ++held_;
            next_ = blocks_.back().get();
            left_ = BlockBytes;
            current_ = released_ + blocks_.size() - 1;
        }
        if (block) *block = current_;
        char* at = next_;
        next_ += need;
        left_ -= need;
        return at;
    }
    // Lets go of the block numbered `block` (once).
    void Release(std::size_t block) {
        if (block < released_ || block - released_ >= blocks_.size() || !blocks_[block - released_]) return;
        blocks_[block - released_].reset();
        --held_;
        if (block == current_) { // records go on in a new block
            next_ = nullptr;
            left_ = 0;
        }
        for (; !blocks_.empty() && !blocks_.front(); ++released_)
            blocks_.pop_front();
    }
    std::size_t BlocksHeld() const { return held_; }
    void Clear() {
        released_ += blocks_.size();
        blocks_.clear();
        held_ = 0;
        next_ = nullptr;
        left_ = 0;
    }

private:
    static constexpr std::size_t BlockBytes = 64 * 1024;
    std::deque<std::unique_ptr<char[]>> blocks_;
    std::size_t released_ = 0; // the number of blocks_.front()
    std::size_t held_ = 0;     // blocks not let go
    std::size_t current_ = 0;  // the number of the block next_ points into
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

} // namespace tv
