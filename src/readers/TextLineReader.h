#pragma once
// Reads a list file as text lines: a line ends at LF or CR LF, a CR not followed by LF is dropped,
// and a Ctrl-Z where a line would start ends the file. Lines may be of any length; the file itself is
// read in blocks. A UTF-8 byte order mark at the very start is no part of the first line; a UTF-16 byte
// order mark (FF FE or FE FF) makes the whole file UTF-16, and its lines are then given out as UTF-8.
#include "platform/FileSystem.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace tv {

class Utf16Input;

class TextLineReader {
public:
    // Opens the file; IoError when it cannot be opened.
    TextLineReader(FileSystem& fs, const std::string& path);
    // Reads from an already opened file.
    explicit TextLineReader(std::unique_ptr<InputFile> file);
    // Reads the lines of a text held in memory, as from a file of those bytes.
    static TextLineReader OverText(std::string bytes);

    // The next line without its end; an empty line at the end of the file.
    std::string ReadLine();
    // True when no line is left: the end of the file, or a Ctrl-Z where a line would start.
    bool Eof();
    // How many lines ReadLine has returned: the number of the line in hand (the empty lines read past
    // the end are not counted).
    std::int32_t LineNumber() const { return lineNumber_; }
    // The number of the line where a UTF-16 file stops being UTF-16 (a lone surrogate, an odd last
    // byte); 0 while none was met. That line is given out empty and the file ends with it: no part of
    // it is taken for a name.
    std::int32_t UndecodableLine() const { return undecodableLine_; }
    // True when the file is UTF-16 (known once the first line was asked for).
    bool DecodesUtf16() const { return utf16_ != nullptr; }
    // The file's length in bytes, 0 when it cannot tell: a hint of how many lines it holds.
    std::int64_t LengthHint();

    // Replaces `line` with the next line for as long as keep(line) holds. Returns false when the file
    // ended first (the line in hand then still satisfies keep), true when a line that does not
    // satisfy keep is in hand. Never loops on the empty lines read past the end.
    template <class Keep> bool SkipWhile(std::string& line, Keep keep) {
        while (keep(std::as_const(line))) {
            if (Eof()) return false;
            line = ReadLine();
        }
        return true;
    }

private:
    bool Fill();
    int Peek();
    void Start();
    bool Undecodable() const;

    std::unique_ptr<InputFile> file_;
    std::string buffer_;
    std::size_t pos_ = 0;
    bool atEnd_ = false;
    bool started_ = false; // the byte order mark at the start has been looked for
    std::int32_t lineNumber_ = 0;
    Utf16Input* utf16_ = nullptr; // the decoder between file_ and the lines, for a UTF-16 file
    std::int32_t undecodableLine_ = 0;
};

} // namespace tv
