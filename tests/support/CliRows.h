#pragma once
// Reading what tests get back from the command-line tool and from peers.
#include <cstddef>
#include <string>

namespace tv::test {

// Calls f(line) for each line of a program's output (without its LF).
template <class F> void ForEachLine(const std::string& text, F f) {
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        f(text.substr(start, end - start));
        start = end + 1;
    }
}

// Calls f(name, mark) for each row that `tallyvault-cli verify` printed: mark TAB name TAB ...
template <class F> void ForEachRow(const std::string& rows, F f) {
    ForEachLine(rows, [&f](const std::string& line) {
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) return;
        f(line.substr(tab + 1, line.find('\t', tab + 1) - tab - 1), line.substr(0, tab));
    });
}

// Bytes in lower-case hex, as the digest tools print them.
inline std::string LowerHex(const std::string& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        (out += digits[b >> 4]) += digits[b & 15];
    }
    return out;
}

} // namespace tv::test
