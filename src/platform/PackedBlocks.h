#pragma once
// Room for many small records (names, digests) taken from blocks of 64 KiB that never move, so that a
// record handed out stays where it is until the blocks are cleared, and a million of them cost no
// allocation each. A record larger than a quarter block gets a block of its own.
#include <cstddef>
#include <memory>
#include <vector>

namespace tv {

class PackedBlocks {
public:
    // `need` bytes, uninitialised, valid until Clear or the blocks' end.
    char* Take(std::size_t need) {
        if (need > BlockBytes / 4) { // the current block goes on after it
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(need));
            return blocks_.back().get();
        }
        if (need > left_) {
            blocks_.push_back(std::make_unique_for_overwrite<char[]>(BlockBytes));
            next_ = blocks_.back().get();
            left_ = BlockBytes;
        }
        char* at = next_;
        next_ += need;
        left_ -= need;
        return at;
    }
    void Clear() {
        blocks_.clear();
        next_ = nullptr;
        left_ = 0;
    }

private:
    static constexpr std::size_t BlockBytes = 64 * 1024;
    std::vector<std::unique_ptr<char[]>> blocks_;
    char* next_ = nullptr;
    std::size_t left_ = 0;
};

} // namespace tv
