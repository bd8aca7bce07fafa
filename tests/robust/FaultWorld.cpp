#include "FaultWorld.h"

#include "core/Entry.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <chrono>

namespace tv::test {

FaultWorld::FaultWorld() : set(dir.MakeFolder("set")), elsewhere(dir.MakeFolder("elsewhere")) {
    // Lists written in two runs of a scenario are compared: their header time must not differ.
    form.LocalClock = [] { return FileTime{2003, 5, 4, 20, 41, 9}; };
    // Duplicates deleted to the trash stay inside the temporary folder, where the content checks see them.
    if (const char* old = std::getenv("XDG_DATA_HOME")) oldDataHome_ = old, hadDataHome_ = true;
    tv::test::SetEnv("XDG_DATA_HOME", dir.MakeFolder("trash").c_str());
}

FaultWorld::~FaultWorld() {
    if (hadDataHome_)
        tv::test::SetEnv("XDG_DATA_HOME", oldDataHome_.c_str());
    else
        tv::test::UnsetEnv("XDG_DATA_HOME");
}

void FaultWorld::Click(const std::function<void()>& body, bool busy) {
    form.RunCommand(body, busy, form.SearchRunning);
    if (!form.PassedOverPaths.empty() &&
        form.Status.Caption().find(form.PassedOverPaths.front().Path) != std::string::npos)
        NamedPassedOver = true;
}

void FaultWorld::Load(const std::string& listName) {
    form.ListPath = set + "/" + listName;
    Click([&] { form.OpenListFile(); }, true);
}

void FaultWorld::Tick(int selection) {
    form.CheckCycle = selection;
    form.CheckButtonClick();
}

void FaultWorld::SearchFrom(const std::string& root) {
    form.FixFolder.SetChecked(true);
    form.FixedComplementFolder = root;
    Click([&] { form.SearchButtonClick(); });
}

std::string Outcome(const FaultWorld& w) {
    std::string out = "status: " + w.form.Status.Caption() + "\n";
    for (const TListItem& r : w.form.CrcList.Items()) {
        out += std::string(MarkOfIcon(r.ImageIndex)) + " " + r.Caption();
        for (std::size_t i = 0; i < 3; ++i)
            out += " | " + r.SubItem(i);
        out += r.Checked ? " [x]\n" : "\n";
    }
    for (const std::string& m : w.ui.Messages)
        out += "message: " + m + "\n";
    return out;
}

void FaultWorld::FixFileTimes() {
    std::tm tm{};
    tm.tm_year = 2003 - 1900;
    tm.tm_mon = 4;
    tm.tm_mday = 4;
    tm.tm_hour = 20;
    tm.tm_min = 40;
    tm.tm_sec = 52;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    const auto stamp = std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(t));
    namespace fsys = std::filesystem;
    // A link keeps its target's time: only what is really in the folder is stamped.
    for (auto it = fsys::recursive_directory_iterator(PathOf(dir.Path())); it != fsys::recursive_directory_iterator();
         ++it) {
        std::error_code ec;
        if (!it->is_symlink()) fsys::last_write_time(it->path(), stamp, ec);
    }
}

std::map<std::string, std::string> FilesUnder(const std::string& root) {
    std::map<std::string, std::string> out;
    namespace fsys = std::filesystem;
    const fsys::path top = PathOf(root);
    for (auto it = fsys::recursive_directory_iterator(top); it != fsys::recursive_directory_iterator(); ++it)
        if (it->is_regular_file() && !it->is_symlink()) {
            const std::u8string name = fsys::relative(it->path(), top).generic_u8string();
            out[std::string(name.begin(), name.end())] = ReadFile(Utf8Of(it->path()));
        }
    return out;
}

namespace {

struct RunRecord {
    int Count = 0;
    std::string Outcome;
    std::map<std::string, std::string> Lists;       // list name -> content after the command
    std::map<std::string, std::string> ListsBefore; // list name -> content before it
};

constexpr const char* NoFile = "(no file)";

// One run of the scenario failing the k-th operation (none for k = 0). With `clean`, the record of the
// run without a failure, the run is checked and what it breaks is added to `violations`.
RunRecord RunOnce(const Scenario& s, Fault fault, int k, const RunRecord* clean, std::vector<std::string>* violations) {
    FaultWorld w;
    s.Setup(w);
    const std::map<std::string, std::string> before = FilesUnder(w.dir.Path());
    w.ui.Errors.clear();
    w.ui.Messages.clear();

    w.fs.FailAt(fault, k);
    std::string escaped;
    try {
        s.Command(w);
    } catch (const std::exception& e) {
        escaped = e.what();
    } catch (...) {
        escaped = "unknown exception";
    }
    w.fs.Off();

    RunRecord r;
    r.Count = w.fs.Count();
    r.Outcome = Outcome(w);
    const std::map<std::string, std::string> after = FilesUnder(w.dir.Path());
    for (const std::string& l : s.Lists) {
        auto it = after.find("set/" + l);
        r.Lists[l] = it == after.end() ? std::string(NoFile) : it->second;
        auto old = before.find("set/" + l);
        r.ListsBefore[l] = old == before.end() ? std::string(NoFile) : old->second;
    }
    if (!clean) return r;

    const std::string where =
        std::string(s.Name) + ", " + FaultName(fault) + " at " + std::to_string(k) + " (" + w.fs.Failed() + "): ";
    auto violation = [&](const std::string& what) { violations->push_back(where + what); };
    if (!escaped.empty()) violation("an exception left the command: " + escaped);
    if (w.ui.Busy) violation("the hourglass stayed on");
    if (w.form.CommandRunning() || w.form.SearchRunning || w.form.SearchActive)
        violation("the window still counts a command as running");
    if (w.form.CrcList.Count() != w.form.EntryCount) {
        violation("rows and entries differ in number");
    } else if (w.form.IsCreateMode) {
        // The scanned files are shown sorted by name; the table keeps the folder's order.
        std::multiset<std::string> rows, entries;
        for (std::int32_t i = 0; i < w.form.EntryCount; ++i) {
            rows.insert(w.form.CrcList.Item(i).Caption());
            entries.insert(w.form.EntryTable[i].FileName);
        }
        if (rows != entries) violation("the rows do not show the scanned files");
    } else {
        for (std::int32_t i = 0; i < w.form.EntryCount; ++i)
            if (w.form.CrcList.Item(i).Caption() != w.form.EntryTable[i].FileName ||
                w.form.CrcList.Item(i).ImageIndex != static_cast<int>(w.form.EntryState(i))) {
                violation("row " + std::to_string(i) + " does not show its entry");
                break;
            }
    }
    // The content of every file that was there before is still in some file of the set (a file the
    // command rewrites is checked below).
    auto rewritten = [&](const std::string& path) {
        for (const std::string& l : s.Lists)
            if (path == "set/" + l) return true;
        return false;
    };
    std::multiset<std::string> contents;
    for (const auto& [path, content] : after)
        contents.insert(content);
    for (const auto& [path, content] : before)
        if (!rewritten(path) && !contents.count(content)) violation("the content of " + path + " is gone");
    // A list file is untouched, unless the command writes it (the caller compares with a clean run).
    for (const auto& [path, content] : before) {
        if (rewritten(path) || path.rfind("set/", 0) != 0 || path.find(".sfv") == std::string::npos) continue;
        auto it = after.find(path);
        if (it == after.end() || it->second != content) violation("the list " + path + " changed");
    }
    // The next command runs, and a reload shows the list again.
    if (!w.form.RunCommand([] {})) violation("the next command is refused");
    if (!w.form.ListPath.empty() && !w.form.IsCreateMode) {
        const std::size_t errors = w.ui.Errors.size();
        w.Click([&] { w.form.StatusClick(); }, true);
        if (w.ui.Errors.size() != errors) violation("the reload after the failure fails: " + w.ui.Errors.back());
        if (w.form.CrcList.Count() != w.form.EntryCount) violation("rows and entries differ after the reload");
    }
    // A rewritten list is the old one or the complete new one, never a part of either.
    for (const std::string& l : s.Lists) {
        auto old = before.find("set/" + l);
        const std::string& oldText = old == before.end() ? std::string(NoFile) : old->second;
        const std::string& now = r.Lists[l];
        if (now != oldText && s.Stable(now) != s.Stable(clean->Lists.at(l)))
            violation(l + " is neither the old file nor the complete new one");
    }
    // What the failure did must be seen: an error box, or a sub-folder or file passed over and named in the
    // status bar, unless the command ended as if nothing failed.
    if (w.fs.FailedLoudly() && w.ui.Errors.empty() && !w.NamedPassedOver && r.Outcome != clean->Outcome)
        violation("the failure was not reported");
    return r;
}

} // namespace

FaultRunResult RunAtEveryFailurePoint(const Scenario& s, Fault fault) {
    FaultRunResult result;
    const RunRecord clean = RunOnce(s, fault, 0, nullptr, nullptr);
    for (const std::string& l : s.Lists)
        if (clean.Lists.at(l) == clean.ListsBefore.at(l) || clean.Lists.at(l) == NoFile)
            result.Violations.push_back(std::string(s.Name) + ": without a failure " + l + " is not written");
    for (int k = 1; k <= clean.Count; ++k) {
        RunOnce(s, fault, k, &clean, &result.Violations);
        ++result.FailurePoints;
    }
    return result;
}

} // namespace tv::test
