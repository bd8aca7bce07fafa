// The text-line reader against a byte-by-byte model of its rules: a leading UTF-8 byte order mark is
// dropped, a line ends at LF (a CR before it goes with it), every other CR is dropped, and a Ctrl-Z
// where a line would start ends the text (a text starting with a UTF-16 byte order mark is decoded first,
// and left to other checks). The
// file hands out its bytes in pieces of fuzzed sizes, so that line ends fall on every block boundary.
#include "FuzzSupport.h"
#include "readers/TextLineReader.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace {

class PieceFile : public tv::InputFile {
public:
    PieceFile(std::string text, std::vector<std::size_t> pieces) : text_(std::move(text)), pieces_(std::move(pieces)) {}
    std::size_t Read(void* buffer, std::size_t size) override {
        std::size_t want = pieces_.empty() ? size : std::max<std::size_t>(1, pieces_[turn_++ % pieces_.size()]);
        const std::size_t n = std::min({want, size, text_.size() - pos_});
        std::memcpy(buffer, text_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::int64_t Length() override { return static_cast<std::int64_t>(text_.size()); }

private:
    std::string text_;
    std::vector<std::size_t> pieces_;
    std::size_t pos_ = 0;
    std::size_t turn_ = 0;
};

std::vector<std::string> ModelLines(const std::string& text) {
    std::vector<std::string> lines;
    // A UTF-8 byte order mark at the very start is no part of the first line.
    std::size_t i = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    while (i < text.size() && text[i] != 26) {
        std::string line;
        while (i < text.size() && text[i] != '\n') {
            if (text[i] != '\r') line += text[i];
            ++i;
        }
        if (i < text.size()) ++i; // the LF
        lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using tv::fuzz::Fail;
    // The first bytes up to the first 0xFF give the piece sizes (scaled, so that pieces of a few
    // bytes and of several blocks both occur); the rest is the text.
    std::vector<std::size_t> pieces;
    std::size_t at = 0;
    while (at < size && at < 8 && data[at] != 0xFF) {
        const std::size_t v = data[at++];
        pieces.push_back(v < 128 ? v : (v - 127) * 4096);
    }
    if (at < size && data[at] == 0xFF) ++at;
    const std::string text(reinterpret_cast<const char*>(data + at), size - at);
    // A UTF-16 byte order mark turns the reader to decoding UTF-16, which this byte model does not
    // describe: such texts are the UTF-16 suites' and the list-file target's.
    if (text.size() >= 2 && (text.compare(0, 2, "\xFF\xFE") == 0 || text.compare(0, 2, "\xFE\xFF") == 0))
        return 0;

    const std::vector<std::string> expected = ModelLines(text);
    tv::TextLineReader reader(std::make_unique<PieceFile>(text, pieces));
    std::vector<std::string> got;
    while (!reader.Eof()) {
        if (got.size() > expected.size()) Fail("more lines than the text holds");
        got.push_back(reader.ReadLine());
    }
    if (got != expected) Fail("the lines differ from the model");
    // Past the end: empty lines, and the end stays the end.
    if (!reader.ReadLine().empty() || !reader.Eof()) Fail("a line after the end");
    return 0;
}
