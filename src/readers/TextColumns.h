#pragma once
// Fixed columns of a table line, counted in bytes or in characters. A table in a UTF-16 list is padded
// by characters, while its lines reach the readers as UTF-8, where a character may take up to four
// bytes: there a column is a character.
#include <string_view>
#include <vector>

namespace tv {

class TextColumns {
public:
    TextColumns(std::string_view line, bool byCharacter) : line_(line) {
        bool ascii = true;
        for (char c : line) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
        if (!byCharacter || ascii) return;
        for (std::size_t i = 0; i < line.size(); ++i)
            if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) starts_.push_back(i);
        byCharacter_ = true;
    }

    // How many columns the line fills.
    std::size_t Count() const { return byCharacter_ ? starts_.size() : line_.size(); }

    // Up to `count` columns from the 0-based column `from`; empty past the end.
    std::string_view Slice(std::size_t from, std::size_t count) const {
        const std::size_t n = Count();
        if (from >= n) return {};
        const std::size_t to = count > n - from ? n : from + count;
        const std::size_t begin = Offset(from), end = Offset(to);
        return line_.substr(begin, end - begin);
    }

private:
    std::size_t Offset(std::size_t column) const {
        if (!byCharacter_) return column;
        return column < starts_.size() ? starts_[column] : line_.size();
    }

    std::string_view line_;
    std::vector<std::size_t> starts_; // where each character starts, when columns are characters
    bool byCharacter_ = false;
};

} // namespace tv
