#pragma once
// The files a walk will read, in its order: each name (within its folder) and its size as listed. A
// million planned files take about 16 bytes each besides their names' bytes, which are packed in
// blocks that never move: a name handed out stays valid, and ends with a NUL, until the plan goes or
// forgets it, however many files are planned after it. Files keep their numbers when those before them
// are forgotten, so a walk that plans a window ahead of itself holds only that window.
#include "platform/PackedBlocks.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>

namespace tv {

class PlannedFiles {
public:
    struct File {
        std::string_view Name; // its data() ends with a NUL
        std::int64_t Size = 0;
    };

    void Add(std::string_view name, std::int64_t size);
    // The file `j` (counted from the first ever planned): one not forgotten.
    File operator[](std::size_t j) const;
    // Files ever planned, the forgotten ones included.
    std::size_t size() const { return forgotten_ + items_.size(); }
    bool empty() const { return size() == 0; }
    // Forgets the files before `j`; the names of the others stay where they are.
    void ForgetBefore(std::size_t j);
    // The blocks of names held: those of the files not forgotten, and the one names go on into.
    std::size_t BlocksHeld() const { return blocks_.BlocksHeld(); }

private:
    // The name's place: a length field (one byte below 128, else a marker byte and four more), then the
    // name's bytes and a NUL.
    struct Item {
        const char* At;
        std::int64_t Size;
    };
    std::deque<Item> items_; // grows without moving what it holds, nor holding two copies while it grows
    std::size_t forgotten_ = 0;
    PackedBlocks blocks_;
    // Of each block not let go, from the oldest: the number of the last file whose name it holds.
    std::deque<std::size_t> lastInBlock_;
    std::size_t firstBlock_ = 0; // the number of the block lastInBlock_.front() describes
};

} // namespace tv
