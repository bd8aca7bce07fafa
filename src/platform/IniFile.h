#pragma once
// An INI text held in memory: "[Section]" headers and "key=value" lines. Sections and keys are
// matched without regard to ASCII letter case; values are kept as text. Lines the program does not
// know (comments, other keys, other sections) are kept as they were when the text is written back,
// so a hand-edited file keeps its extra keys.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tv {

class FileSystem;

class IniFile {
public:
    IniFile() = default;
    // Reads an INI text; LF, CR LF and lone CR all end a line.
    static IniFile Parse(std::string_view text);
    // The text to store, one LF after every line.
    std::string Text() const;

    // The value of a key, blanks around it removed; nullopt when the section or the key is absent.
    std::optional<std::string> Read(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key, std::string_view def) const;
    // Sets a key, in place when it exists (keeping its spelling), else at the end of its section;
    // a new section goes to the end of the file.
    void Write(std::string_view section, std::string_view key, std::string_view value);

private:
    struct Line {
        std::string Key;   // empty for a line that is not a key line
        std::string Value; // a key line's value
        std::string Raw;   // a line that is not a key line, as it was
    };
    struct Section {
        std::string Name; // empty for the lines before the first header
        bool HasHeader = false;
        std::vector<Line> Lines;
    };
    const Section* FindSection(std::string_view name) const;
    std::vector<Section> sections_;
};

// Loads an INI file through the program's file system; an absent or unreadable file gives an empty
// one. Only the first MiB is read: a settings file is never larger, and a stray huge file must not
// take the memory.
IniFile LoadIniFile(FileSystem& fs, const std::string& path);
// The same for a file that is about to be written back: nullopt when the file is there but cannot be
// read whole, so that one failed read does not cost the file the lines it holds.
std::optional<IniFile> LoadIniFileForUpdate(FileSystem& fs, const std::string& path);
// Stores an INI file; false when the file could not be written (nothing is thrown).
bool SaveIniFile(FileSystem& fs, const std::string& path, const IniFile& ini);

} // namespace tv
