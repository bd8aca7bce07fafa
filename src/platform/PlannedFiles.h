#pragma once
// The files a walk will read, in its order: each name (within its folder) and its size as listed. A
// million planned files take about 16 bytes each besides their names' bytes, which are packed in
// blocks that never move: a name handed out stays valid, and ends with a NUL, until the plan goes,
// however many files are planned after it.
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
    File operator[](std::size_t j) const;
    std::size_t size() const { return items_.size(); }
    bool empty() const { return items_.empty(); }

private:
    // The name's place: a length field (one byte below 128, else a marker byte and four more), then the
    // name's bytes and a NUL.
    struct Item {
        const char* At;
        std::int64_t Size;
    };
    std::deque<Item> items_; // grows without moving what it holds, nor holding two copies while it grows
    PackedBlocks blocks_;
};

} // namespace tv
