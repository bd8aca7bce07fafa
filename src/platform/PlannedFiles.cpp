#include "platform/PlannedFiles.h"

#include <cstdint>
#include <cstring>
#include <stdexcept>

namespace tv {

namespace {
constexpr std::size_t Long = 0x80; // a length byte with this bit: the length follows in four bytes
constexpr std::size_t Gone = SIZE_MAX; // a block let go
}

void PlannedFiles::Add(std::string_view name, std::int64_t size) {
    if (name.size() > UINT32_MAX) throw std::length_error("name too long");
    const std::size_t head = name.size() < Long ? 1 : 1 + sizeof(std::uint32_t);
    const std::size_t need = head + name.size() + 1;
    std::size_t block = 0;
    char* const at = blocks_.Take(need, &block);
    while (firstBlock_ + lastInBlock_.size() <= block)
        lastInBlock_.push_back(0);
    lastInBlock_[block - firstBlock_] = forgotten_ + items_.size(); // the number this file gets
    char* p = at;
    if (head == 1) {
        *p++ = static_cast<char>(name.size());
    } else {
        *p++ = static_cast<char>(Long);
        const auto n = static_cast<std::uint32_t>(name.size());
        std::memcpy(p, &n, sizeof n);
        p += sizeof n;
    }
    if (!name.empty()) std::memcpy(p, name.data(), name.size());
    p[name.size()] = '\0';
    items_.push_back({at, size});
}

void PlannedFiles::ForgetBefore(std::size_t j) {
    for (; forgotten_ < j && !items_.empty(); ++forgotten_)
        items_.pop_front();
    // A block goes once every name in it is forgotten (the one short names go on into may hold older
    // and newer names than the big names' own blocks made after it).
    for (std::size_t b = 0; b < lastInBlock_.size(); ++b)
        if (lastInBlock_[b] < forgotten_) {
            blocks_.Release(firstBlock_ + b);
            lastInBlock_[b] = Gone;
        }
    for (; !lastInBlock_.empty() && lastInBlock_.front() == Gone; ++firstBlock_)
        lastInBlock_.pop_front();
}

PlannedFiles::File PlannedFiles::operator[](std::size_t j) const {
    const Item& it = items_[j - forgotten_];
    const char* p = it.At;
    std::size_t n = static_cast<unsigned char>(*p++);
    if (n == Long) {
        std::uint32_t m;
        std::memcpy(&m, p, sizeof m);
        p += sizeof m;
        n = m;
    }
    return {std::string_view(p, n), it.Size};
}

} // namespace tv
