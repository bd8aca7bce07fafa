#include "repair/Confine.h"

#include "platform/Paths.h"

namespace tv {

std::optional<std::string> RelativeBeneath(const std::string& root, const std::string& path) {
    std::string r = root;
    while (r.size() > 1 && IsPathDelim(r.back()))
        r.pop_back();
    if (r.empty() || path.size() <= r.size() + 1) return std::nullopt;
    // Where "\" and "/" are both separators, a root and a path may spell them differently.
    for (std::size_t i = 0; i < r.size(); ++i)
        if (path[i] != r[i] && !(IsPathDelim(path[i]) && IsPathDelim(r[i]))) return std::nullopt;
    if (r == "/") return path.substr(1);
    if (!IsPathDelim(path[r.size()])) return std::nullopt;
    return path.substr(r.size() + 1);
}

ConfinedPath ConfineTo(const std::vector<std::string>& roots, const std::string& path) {
    for (const std::string& root : roots)
        if (auto rel = RelativeBeneath(root, path)) return {root, *rel};
    return {ExtractFileDir(path), ExtractFileName(path)};
}

void MakeFoldersBeneath(FileSystem& fs, const std::string& root, const std::string& rel) {
    for (std::size_t pos = 0; pos < rel.size(); ++pos)
        if (IsPathDelim(rel[pos])) fs.CreateFolderBeneath(root, rel.substr(0, pos));
}

void EntryFailures::Add(const IoError& e, const std::string& name) {
    ++count_;
    // The box stays readable however many files failed; the count says how many more there were.
    if (lines_.size() >= 20) return;
    std::string line = std::string(e.what()) + ": " + name;
    if (!e.Reason().empty()) line += " (" + e.Reason() + ")";
    lines_.push_back(std::move(line));
}

void EntryFailures::Add(const IoError& e, const std::string& target, const std::string& source) {
    if (source.empty() || SameFileName(source, target)) return Add(e, target);
    ++count_;
    if (lines_.size() >= 20) return;
    const std::string& named = e.Path().empty() ? target : e.Path();
    std::string line = std::string(e.what()) + ": " + named;
    if (!e.Reason().empty()) line += " (" + e.Reason() + ")";
    if (!SameFileName(named, target)) line += ", to " + target;
    if (!SameFileName(named, source)) line += ", from " + source;
    lines_.push_back(std::move(line));
}

void EntryFailures::Report(Ui& ui) const {
    if (lines_.empty()) return;
    std::string text;
    for (const std::string& line : lines_)
        text += (text.empty() ? "" : "\r") + line;
    if (count_ > lines_.size()) text += "\r(+" + std::to_string(count_ - lines_.size()) + ")";
    ui.ShowError(text);
}

} // namespace tv
