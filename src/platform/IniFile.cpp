#include "platform/IniFile.h"

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/ReplacingFile.h"

#include <iterator>
#include <memory>
#include <optional>

namespace tv {

namespace {

std::string_view TrimBlanks(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!s.empty() && blank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && blank(s.back()))
        s.remove_suffix(1);
    return s;
}

constexpr std::size_t MaxIniBytes = 1u << 20;

} // namespace

IniFile IniFile::Parse(std::string_view text) {
    IniFile ini;
    ini.sections_.push_back({});
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find_first_of("\r\n", pos);
        std::string_view line = text.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
        if (end == std::string_view::npos) {
            pos = text.size();
        } else {
            pos = end + 1;
            if (text[end] == '\r' && pos < text.size() && text[pos] == '\n') ++pos;
        }
        std::string_view t = TrimBlanks(line);
        if (t.size() >= 2 && t.front() == '[' && t.find(']') != std::string_view::npos) {
            Section s;
            s.Name = std::string(TrimBlanks(t.substr(1, t.find(']') - 1)));
            s.HasHeader = true;
            ini.sections_.push_back(std::move(s));
            continue;
        }
        Line l;
        std::size_t eq = t.find('=');
        if (!t.empty() && t.front() != ';' && t.front() != '#' && eq != std::string_view::npos && eq > 0) {
            l.Key = std::string(TrimBlanks(t.substr(0, eq)));
            l.Value = std::string(TrimBlanks(t.substr(eq + 1)));
        }
        if (l.Key.empty()) l.Raw = std::string(line);
        ini.sections_.back().Lines.push_back(std::move(l));
    }
    return ini;
}

std::string IniFile::Text() const {
    std::string out;
    for (const Section& s : sections_) {
        if (s.HasHeader) out += "[" + s.Name + "]\n";
        for (const Line& l : s.Lines)
            out += (l.Key.empty() ? l.Raw : l.Key + "=" + l.Value) + "\n";
    }
    return out;
}

const IniFile::Section* IniFile::FindSection(std::string_view name) const {
    for (const Section& s : sections_)
        if (s.HasHeader && SameText(s.Name, name)) return &s;
    return nullptr;
}

std::optional<std::string> IniFile::Read(std::string_view section, std::string_view key) const {
    // A section may appear twice in a hand-edited file: the first one that holds the key wins.
    for (const Section& s : sections_) {
        if (!s.HasHeader || !SameText(s.Name, section)) continue;
        for (const Line& l : s.Lines)
            if (!l.Key.empty() && SameText(l.Key, key)) return l.Value;
    }
    return std::nullopt;
}

std::string IniFile::ReadString(std::string_view section, std::string_view key, std::string_view def) const {
    std::optional<std::string> v = Read(section, key);
    return v ? *v : std::string(def);
}

void IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
    Section* target = nullptr;
    for (Section& s : sections_) {
        if (!s.HasHeader || !SameText(s.Name, section)) continue;
        for (Line& l : s.Lines)
            if (!l.Key.empty() && SameText(l.Key, key)) {
                l.Value = std::string(value);
                return;
            }
        if (!target) target = &s;
    }
    if (!target) {
        Section s;
        s.Name = std::string(section);
        s.HasHeader = true;
        sections_.push_back(std::move(s));
        target = &sections_.back();
    }
    // Keep blank lines that close the section after the new key.
    auto at = target->Lines.end();
    while (at != target->Lines.begin() && std::prev(at)->Key.empty() && TrimBlanks(std::prev(at)->Raw).empty())
        --at;
    Line l;
    l.Key = std::string(key);
    l.Value = std::string(value);
    target->Lines.insert(at, std::move(l));
}

namespace {

// The file's text; IoError when it cannot be read, `whole` false when it is longer than MaxIniBytes.
std::string ReadIniText(FileSystem& fs, const std::string& path, bool& whole) {
    std::unique_ptr<InputFile> f = fs.OpenRead(path);
    std::string text;
    char buf[16384];
    while (text.size() <= MaxIniBytes) {
        std::size_t n = f->Read(buf, sizeof buf);
        if (n == 0) break;
        text.append(buf, n);
    }
    whole = text.size() <= MaxIniBytes;
    if (!whole) text.resize(MaxIniBytes);
    return text;
}

} // namespace

IniFile LoadIniFile(FileSystem& fs, const std::string& path) {
    try {
        if (!fs.FileExists(path)) return IniFile::Parse({});
        bool whole = true;
        return IniFile::Parse(ReadIniText(fs, path, whole));
    } catch (const IoError&) {
        return IniFile::Parse({});
    }
}

std::optional<IniFile> LoadIniFileForUpdate(FileSystem& fs, const std::string& path) {
    try {
        bool whole = true;
        std::string text = ReadIniText(fs, path, whole);
        if (!whole) return std::nullopt;
        return IniFile::Parse(text);
    } catch (const IoError& e) {
        // Absent: there is nothing to keep. There but not readable: it is left as it is. A file another
        // program saves by renaming over it is missing for a moment, so "not found" counts only while no
        // file or folder has come back under the name: its lines are never written over.
        if (IsNotFound(e) && !fs.FileExists(path) && !fs.FolderExists(path)) return IniFile::Parse({});
        return std::nullopt;
    }
}

bool SaveIniFile(FileSystem& fs, const std::string& path, const IniFile& ini) {
    const std::string text = ini.Text();
    // The new text takes the old file's place only when it is complete, so a save cut short (a full
    // disk, the machine going down) never leaves a torn settings file.
    std::optional<ReplacingFile> file;
    try {
        file.emplace(fs, path);
    } catch (const IoError& e) {
        // A folder that takes no new files may still hold a writable settings file: write it in place.
        // Without a folder, or without a file to write in place, there is nothing to save into.
        if (IsNotFound(e) || !fs.FileExists(path)) return false;
        try {
            std::unique_ptr<OutputFile> f = fs.Create(path);
            f->Write(text.data(), text.size());
            f->Close();
            return true;
        } catch (const IoError&) {
            return false;
        }
    }
    try {
        file->Write(text);
        file->Commit();
        return true;
    } catch (const IoError&) {
        return false;
    }
}

} // namespace tv
