#include "platform/PlannedFiles.h"

#include <cstring>
#include <stdexcept>

namespace tv {

namespace {
constexpr std::size_t Long = 0x80; // a length byte with this bit: the length follows in four bytes
}

void PlannedFiles::Add(std::string_view name, std::int64_t size) {
    if (name.size() > UINT32_MAX) throw std::length_error("name too long");
    const std::size_t head = name.size() < Long ? 1 : 1 + sizeof(std::uint32_t);
    const std::size_t need = head + name.size() + 1;
    char* const at = blocks_.Take(need);
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

PlannedFiles::File PlannedFiles::operator[](std::size_t j) const {
    const Item& it = items_[j];
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
