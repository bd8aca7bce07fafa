#include "repair/RepairPlan.h"

#include "core/FileCompare.h"
#include "platform/Errors.h"
#include "platform/Hashing.h"
#include "platform/Paths.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>
#include <unordered_set>
#include <utility>

namespace tv {

namespace {

// A plan of renames alone keeps the first version, which every reader of plans reads; one that rebuilds
// files is of the second.
constexpr std::string_view Head = "tallyvault-plan 1";
constexpr std::string_view RebuildHead = "tallyvault-plan 2";

std::string Escape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '%':
            out += "%25";
            break;
        case '\t':
            out += "%09";
            break;
        case '\r':
            out += "%0D";
            break;
        case '\n':
            out += "%0A";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string Unescape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size()) {
            const std::string_view code = s.substr(i + 1, 2);
            const char c = code == "25" ? '%' : code == "09" ? '\t' : code == "0D" ? '\r' : code == "0A" ? '\n' : 0;
            if (c != 0) {
                out += c;
                i += 2;
                continue;
            }
        }
        out += s[i];
    }
    return out;
}

std::vector<std::string_view> Fields(std::string_view line) {
    std::vector<std::string_view> out;
    for (;;) {
        const std::size_t tab = line.find('\t');
        out.push_back(line.substr(0, tab));
        if (tab == std::string_view::npos) return out;
        line.remove_prefix(tab + 1);
    }
}

const char* KindWord(PlanStep::Kind k) {
    switch (k) {
    case PlanStep::Kind::Park:
        return "park";
    case PlanStep::Kind::Copy:
        return "copy";
    case PlanStep::Kind::Rebuild:
        return "rebuild";
    case PlanStep::Kind::Move:
        break;
    }
    return "move";
}

// What a transfer is called: a move within the list's folder is a rename.
const char* TransferVerb(const RepairPlan& plan, const PlanStep& s) {
    if (s.What == PlanStep::Kind::Copy) return "copy";
    return SameFileName(s.Root, plan.Base) ? "rename" : "move";
}

// A path as the file system compares paths, with every separator spelled alike.
std::string Key(const std::string& rel) {
    std::string key = FileNameKey(rel);
    for (char& c : key)
        if (IsPathDelim(c)) c = '/';
    return key;
}

std::string Hex(const std::array<unsigned char, 16>& bytes) {
    static constexpr char Digits[] = "0123456789abcdef";
    std::string out;
    for (unsigned char b : bytes) {
        out += Digits[b >> 4];
        out += Digits[b & 15];
    }
    return out;
}

bool FromHex(std::string_view text, std::array<unsigned char, 16>& bytes) {
    if (text.size() != 2 * bytes.size()) return false;
    auto digit = [](char c) {
        return c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
    };
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const int hi = digit(text[2 * i]), lo = digit(text[2 * i + 1]);
        if (hi < 0 || lo < 0) return false;
        bytes[i] = static_cast<unsigned char>(hi * 16 + lo);
    }
    return true;
}

bool ParseLength(std::string_view text, std::uint64_t& n) {
    n = 0;
    if (text.empty() || text.size() > 19) return false;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        n = n * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return true;
}

// Whether the file holds a rebuild's content: its length and MD5.
bool HoldsRebuilt(FileSystem& fs, const std::string& path, const FileIdentity& id, const PlanStep& s) {
    if (!id.IsFile || static_cast<std::uint64_t>(id.Size) != s.Length) return false;
    std::unique_ptr<InputFile> in = fs.OpenRead(path);
    std::unique_ptr<Digester> md5 = MakeDigester(HashAlgorithm::Md5);
    std::vector<char> buf(1 << 20);
    std::uint64_t length = 0;
    for (std::size_t n; (n = in->Read(buf.data(), buf.size())) > 0; length += n)
        md5->Update(buf.data(), n);
    const ContentKey k = md5->Final();
    return length == s.Length && std::memcmp(k.Bytes.data(), s.Md5.data(), s.Md5.size()) == 0;
}

// The most marks of moves held back to be written in one write(): a window's length.
constexpr std::size_t WindowSteps = 256;

std::string MarkLine(const char* what, std::size_t k) {
    std::string line = what;
    line += '\t';
    line += std::to_string(k);
    line += '\n';
    return line;
}

// Mark lines, in one write() so that a kill keeps them whole or leaves the last one cut off (and then
// ignored). Not synced: a recovery looks at the files anyway. False when the write failed.
bool WriteMarks(OutputFile* out, const std::string& lines) {
    try {
        if (out) out->Write(lines.data(), lines.size());
        return out != nullptr;
    } catch (const IoError&) {
        return false;
    }
}

void WriteMark(OutputFile* out, const char* what, std::size_t k) {
    WriteMarks(out, MarkLine(what, k));
}

// The marks of the n-th recovery of a plan (from 1): each recovery writes its own file, made new, so a
// recovery killed in turn leaves its marks for the next one and nothing is ever written over.
std::string MarksPath(const std::string& planPath, std::size_t n) {
    return planPath + "." + std::to_string(n);
}

std::string ReadText(FileSystem& fs, const std::string& path) {
    std::string text;
    std::unique_ptr<InputFile> in = fs.OpenRead(path);
    std::vector<char> buf(1 << 16);
    for (std::size_t n; (n = in->Read(buf.data(), buf.size())) > 0;)
        text.append(buf.data(), n);
    return text;
}

// How many recoveries left their marks: they are numbered 1, 2, ... without a gap, as each takes the
// next number and they are removed last first.
std::size_t MarkFileCount(FileSystem& fs, const std::string& planPath) {
    std::size_t n = 0;
    while (fs.FileExists(MarksPath(planPath, n + 1)))
        ++n;
    return n;
}

// Removes the recoveries' marks, last first (a kill on the way leaves 1..m, still without a gap).
void RemoveMarkFiles(FileSystem& fs, const std::string& planPath) {
    for (std::size_t n = MarkFileCount(fs, planPath); n > 0; --n) {
        try {
            fs.DeleteFile(MarksPath(planPath, n));
        } catch (const IoError&) {
        }
    }
}

// Reads "done|failed|undone K" and "upto E" lines into r (after the plan itself); other and cut-off
// lines are passed over.
void ReadMarks(PlanRecord& r, std::string_view text) {
    const std::size_t steps = r.Done.size();
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) break; // the last line was cut off
        const std::vector<std::string_view> f = Fields(text.substr(0, end));
        text.remove_prefix(end + 1);
        if (f.size() != 2) continue;
        const std::string_view word = f[0];
        const bool upto = word == "upto";
        if (!upto && word != "done" && word != "failed" && word != "undone") continue;
        std::size_t k = 0;
        bool number = !f[1].empty();
        for (char c : f[1]) {
            number = number && c >= '0' && c <= '9' && k <= steps;
            if (number) k = k * 10 + static_cast<std::size_t>(c - '0');
        }
        if (!number || k > steps || (!upto && k == steps)) continue;
        if (upto)
            r.Upto = std::max(r.Upto, k);
        else
            (word == "done" ? r.Done : word == "failed" ? r.Failed : r.Undone)[k] = 1;
    }
}

// One recovery of a plan record: its steps looked at on disk, in order or backwards.
class Recovery {
public:
    // `started`: how many steps the pass itself may have begun.
    Recovery(FileSystem& fs, const PlanRecord& r, std::size_t started, OutputFile& marks, EntryFailures& failures,
             std::vector<PlanChange>* made)
        : fs_(fs), plan_(r.Plan), r_(r), started_(started), marks_(marks), failures_(failures), made_(made),
          parkFor_(plan_.Steps.size(), NoStep), chained_(plan_.Steps.size(), 0) {
        // The parking that made room for each transfer, and the names a parking given back in the run
        // returned to (the steps after it read the file from there).
        std::unordered_map<std::string, std::size_t> lastPark;
        // The names in the folder an earlier transfer takes its file from: a transfer to one of them found
        // the name taken when it was planned (by that file, which a chain moves first).
        std::unordered_set<std::string> leftNames;
        for (std::size_t k = 0; k < plan_.Steps.size(); ++k) {
            const PlanStep& s = plan_.Steps[k];
            if (s.What == PlanStep::Kind::Park) {
                lastPark[Key(s.From)] = k;
                if (r_.Undone[k] || r_.Failed[k]) back_[Key(s.To)] = s.From;
                continue;
            }
            if (s.What == PlanStep::Kind::Rebuild) continue;
            chained_[k] = leftNames.count(Key(s.To)) != 0;
            if (SameFileName(s.Root, plan_.Base)) leftNames.insert(Key(s.From));
            if (auto it = lastPark.find(Key(s.To)); it != lastPark.end()) {
                parkFor_[k] = it->second;
                lastPark.erase(it);
            }
        }
    }

    void Finish() {
        for (std::size_t k = 0; k < plan_.Steps.size(); ++k) {
            // A step marked done stays done: its names may have been taken again by later steps.
            if (r_.Failed[k] || r_.Undone[k] || r_.Done[k]) continue;
            const PlanStep& s = plan_.Steps[k];
            try {
                if (s.What == PlanStep::Kind::Park) {
                    if (There(plan_.Base, s.From) && !There(plan_.Base, s.To)) {
                        fs_.RenameBeneath(plan_.Base, s.From, s.To);
                        Made("park", FolderFile(plan_.Base, s.From), FolderFile(plan_.Base, s.To));
                    }
                } else if (s.What == PlanStep::Kind::Rebuild) {
                    FinishRebuild(s);
                } else {
                    FinishTransfer(k);
                }
                // Marked, so that a recovery after this one leaves it be: its names may be taken again
                // by later steps (a parking's name by the file brought there).
                WriteMark(&marks_, "done", k);
            } catch (const IoError& e) {
                failures_.Add(e, FolderFile(plan_.Base, s.To));
                WriteMark(&marks_, "failed", k);
                GiveBack(k);
            }
        }
    }

    void FinishTransfer(std::size_t k) {
        const PlanStep& s = plan_.Steps[k];
        const std::string from = Source(s);
        const FileIdentity src = fs_.Identify(FolderFile(s.Root, from));
        const FileIdentity to = fs_.Identify(FolderFile(plan_.Base, s.To));
        if (to.Exists) {
            // Made, unless it is a copy of ours cut off by the kill: the source still holds it all.
            if (!Ours(k) || !src.IsFile || !to.IsFile || to.Size >= src.Size ||
                !FileIsPrefixOf(fs_, FolderFile(plan_.Base, s.To), FolderFile(s.Root, from)))
                return;
            fs_.DeleteBeneath(plan_.Base, s.To, to);
            Made("delete", FolderFile(plan_.Base, s.To));
        }
        if (!src.Exists) throw IoErrorFromErrno(ENOENT);
        if (!src.IsFile) throw IoErrorFromErrno(src.IsLink ? ELOOP : EINVAL);
        MakeFoldersBeneath(fs_, plan_.Base, s.To);
        fs_.TransferBeneath(s.Root, from, src, plan_.Base, s.To, s.What == PlanStep::Kind::Copy);
        Made(TransferVerb(plan_, s), FolderFile(s.Root, from), FolderFile(plan_.Base, s.To));
    }

    void Undo() {
        for (std::size_t k = started_; k-- > 0;) {
            if (r_.Failed[k] || r_.Undone[k]) continue;
            const PlanStep& s = plan_.Steps[k];
            try {
                if (s.What == PlanStep::Kind::Park) {
                    if (There(plan_.Base, s.To)) {
                        // The parked file stays parked only with the plan kept: it is never an undo's success.
                        if (There(plan_.Base, s.From))
                            throw IoError("File exists", "the parked file " + s.To + " cannot take back its name",
                                          {}, FolderFile(plan_.Base, s.From));
                        fs_.RenameBeneath(plan_.Base, s.To, s.From);
                        Made("rename", FolderFile(plan_.Base, s.To), FolderFile(plan_.Base, s.From));
                    }
                } else if (s.What == PlanStep::Kind::Rebuild) {
                    UndoRebuild(s);
                } else {
                    UndoTransfer(k);
                }
                // Marked, so that a recovery after this one does not take back what stands there now.
                WriteMark(&marks_, "undone", k);
            } catch (const IoError& e) {
                failures_.Add(e, FolderFile(plan_.Base, s.To));
            }
        }
    }

private:
    static constexpr std::size_t NoStep = static_cast<std::size_t>(-1);

    // A rebuild finished: a whole rebuilt file takes the file's place (the damaged one kept, or deleted
    // with "purge" once the rebuilt one is in place); a temporary file cut off by the kill goes, and the
    // damaged file keeps or gets back its name. Files that show no sign of the rebuild are left as they are.
    void FinishRebuild(const PlanStep& s) {
        const std::string temp = FolderFile(plan_.Base, s.From), name = FolderFile(plan_.Base, s.To);
        const FileIdentity t = fs_.Identify(temp);
        if (t.Exists) {
            if (!HoldsRebuilt(fs_, temp, t, s)) {
                DropCutOff(s, t);
                TakeBackKept(s);
                return;
            }
            if (fs_.Identify(name).Exists) {
                // Still the damaged file: it is kept first. A file there where the plan found none, or one
                // in the way of keeping it, is no file of this run: nothing is replaced.
                if (s.KeptAs.empty() || There(plan_.Base, s.KeptAs)) throw IoErrorFromErrno(EEXIST, name);
                fs_.RenameBeneath(plan_.Base, s.To, s.KeptAs);
                Made("park", name, FolderFile(plan_.Base, s.KeptAs));
            }
            fs_.RenameBeneath(plan_.Base, s.From, s.To);
            Made("rename", temp, name);
            PurgeKept(s);
            return;
        }
        if (HoldsRebuilt(fs_, name, fs_.Identify(name), s)) {
            PurgeKept(s);
            return;
        }
        TakeBackKept(s);
    }

    // A rebuild taken back: the damaged file under its name again; the rebuilt content stays under the
    // temporary name, and only a temporary file cut off by the kill goes. A damaged file already purged
    // cannot come back: the rebuilt one then stays in its place.
    void UndoRebuild(const PlanStep& s) {
        const std::string temp = FolderFile(plan_.Base, s.From), name = FolderFile(plan_.Base, s.To);
        const FileIdentity t = fs_.Identify(temp);
        if (t.Exists) {
            TakeBackKept(s);
            if (!HoldsRebuilt(fs_, temp, t, s)) DropCutOff(s, t);
            return;
        }
        const FileIdentity n = fs_.Identify(name);
        if (n.Exists && HoldsRebuilt(fs_, name, n, s)) {
            if (!s.KeptAs.empty() && !There(plan_.Base, s.KeptAs)) return;
            fs_.RenameBeneath(plan_.Base, s.To, s.From);
            Made("park", name, temp);
        }
        TakeBackKept(s);
    }

    // The damaged file, kept while its rebuilt one was not in place, back under its name.
    void TakeBackKept(const PlanStep& s) {
        if (s.KeptAs.empty() || !There(plan_.Base, s.KeptAs) || There(plan_.Base, s.To)) return;
        fs_.RenameBeneath(plan_.Base, s.KeptAs, s.To);
        Made("rename", FolderFile(plan_.Base, s.KeptAs), FolderFile(plan_.Base, s.To));
    }

    // The rebuilt file is in place: with "purge" the kept damaged one goes.
    void PurgeKept(const PlanStep& s) {
        if (!s.Purge || s.KeptAs.empty()) return;
        const FileIdentity kept = fs_.Identify(FolderFile(plan_.Base, s.KeptAs));
        if (!kept.Exists) return;
        fs_.DeleteBeneath(plan_.Base, s.KeptAs, kept);
        Made("delete", FolderFile(plan_.Base, s.KeptAs));
    }

    // A temporary file the kill cut off while it was written: the run's own, holding no content of its own.
    void DropCutOff(const PlanStep& s, const FileIdentity& t) {
        if (!t.IsFile) throw IoErrorFromErrno(t.IsLink ? ELOOP : EINVAL, FolderFile(plan_.Base, s.From));
        fs_.DeleteBeneath(plan_.Base, s.From, t);
        Made("delete", FolderFile(plan_.Base, s.From));
    }

    void UndoTransfer(std::size_t k) {
        const PlanStep& s = plan_.Steps[k];
        const std::string from = Source(s);
        const std::string toPath = FolderFile(plan_.Base, s.To), srcPath = FolderFile(s.Root, from);
        const FileIdentity to = fs_.Identify(toPath);
        if (!to.Exists || !Ours(k)) return;
        const FileIdentity src = fs_.Identify(srcPath);
        if (s.What == PlanStep::Kind::Move) {
            if (src.Exists) {
                // Both names taken. Where a chain's earlier file still holds the target, the move was never
                // made. A move to another volume cut off between its copy and the source's removal left two
                // copies: the one it made goes. Otherwise the target was free (or parked away) when planned,
                // so the file there is the one moved, and its old name is held by another file now: nothing
                // is replaced.
                if (chained_[k]) return;
                if (src.IsFile && to.IsFile && FilesIdentical(fs_, toPath, srcPath)) {
                    fs_.DeleteBeneath(plan_.Base, s.To, to);
                    Made("delete", toPath);
                    return;
                }
                throw IoError("File exists", "its old name " + srcPath + " is held by another file now", {}, srcPath);
            }
            if (!to.IsFile) throw IoErrorFromErrno(to.IsLink ? ELOOP : EINVAL);
            MakeFoldersBeneath(fs_, s.Root, from);
            fs_.TransferBeneath(plan_.Base, s.To, to, s.Root, from, false);
            Made(TransferVerb(plan_, s), toPath, srcPath);
        } else if (src.IsFile && to.IsFile &&
                   (FilesIdentical(fs_, toPath, srcPath) ||
                    (!r_.Done[k] && to.Size < src.Size && FileIsPrefixOf(fs_, toPath, srcPath)))) {
            // A copy goes only while its source still holds the same bytes (or all the bytes a copy cut
            // off by the kill holds).
            fs_.DeleteBeneath(plan_.Base, s.To, to);
            Made("delete", toPath);
        }
    }

    void Made(const char* verb, std::string from, std::string to = {}) {
        if (made_) made_->push_back({verb, std::move(from), std::move(to)});
    }

    bool There(const std::string& root, const std::string& rel) { return fs_.Identify(FolderFile(root, rel)).Exists; }

    // Where a transfer's source is: a parking the run gave back left the file under its name.
    std::string Source(const PlanStep& s) const {
        if (!SameFileName(s.Root, plan_.Base)) return s.From;
        auto it = back_.find(Key(s.From));
        return it == back_.end() ? s.From : it->second;
    }

    // Whether the file at a transfer's target can be the one it made: the target was free, or the file
    // that stood there is in its parking place.
    bool Ours(std::size_t k) { return parkFor_[k] == NoStep || There(plan_.Base, plan_.Steps[parkFor_[k]].To); }

    // A transfer that cannot be made: the file parked for it goes back to its name.
    void GiveBack(std::size_t k) {
        if (parkFor_[k] == NoStep) return;
        const PlanStep& p = plan_.Steps[parkFor_[k]];
        try {
            if (There(plan_.Base, p.To) && !There(plan_.Base, p.From)) {
                fs_.RenameBeneath(plan_.Base, p.To, p.From);
                Made("rename", FolderFile(plan_.Base, p.To), FolderFile(plan_.Base, p.From));
                back_[Key(p.To)] = p.From;
                WriteMark(&marks_, "undone", parkFor_[k]);
            }
        } catch (const IoError& e) {
            failures_.Add(e, FolderFile(plan_.Base, p.To));
        }
    }

    FileSystem& fs_;
    const RepairPlan& plan_;
    const PlanRecord& r_;
    std::size_t started_;
    OutputFile& marks_;
    EntryFailures& failures_;
    std::vector<PlanChange>* made_;
    std::vector<std::size_t> parkFor_;
    std::vector<char> chained_; // by step: the target was another transfer's source
    std::unordered_map<std::string, std::string> back_;
};

} // namespace

std::string RepairPlan::Text() const {
    const bool rebuilds =
        std::any_of(Steps.begin(), Steps.end(), [](const PlanStep& s) { return s.What == PlanStep::Kind::Rebuild; });
    std::string out(rebuilds ? RebuildHead : Head);
    // Appended field by field: a literal + string chain trips a false -Wrestrict of GCC 12 at -O3.
    auto field = [&](const std::string& f) {
        out += '\t';
        out += Escape(f);
    };
    out += "\nbase";
    field(Base);
    out += '\n';
    for (const PlanStep& s : Steps) {
        out += KindWord(s.What);
        if (s.What != PlanStep::Kind::Park && s.What != PlanStep::Kind::Rebuild) field(s.Root);
        field(s.From);
        field(s.To);
        if (s.What == PlanStep::Kind::Rebuild) {
            field(s.KeptAs);
            field(s.Purge ? "purge" : "keep");
            field(Hex(s.Md5));
            field(std::to_string(s.Length));
        }
        out += '\n';
    }
    out += "planned\n";
    return out;
}

PlanChange RepairPlan::Change(std::size_t k) const {
    const PlanStep& s = Steps[k];
    if (s.What == PlanStep::Kind::Park) return {"park", FolderFile(Base, s.From), FolderFile(Base, s.To)};
    if (s.What == PlanStep::Kind::Rebuild) return {"rebuild", FolderFile(Base, s.From), FolderFile(Base, s.To)};
    return {TransferVerb(*this, s), FolderFile(s.Root, s.From), FolderFile(Base, s.To)};
}

namespace {

// The list a plan file belongs to.
std::string PlanListPath(const std::string& planPath) {
    std::string name = ExtractFileName(planPath);
    constexpr std::string_view Suffix = ".tallyvault-plan";
    if (name.size() > Suffix.size() + 1 && name.front() == '.' && name.ends_with(Suffix))
        name = name.substr(1, name.size() - Suffix.size() - 1);
    return JoinPath(ExtractFileDir(planPath), name);
}

} // namespace

std::string PlanPath(const std::string& listPath) {
    std::string name = ".";
    name += ExtractFileName(listPath);
    name += ".tallyvault-plan";
    return JoinPath(ExtractFileDir(listPath), name);
}

PlanRecord ParsePlan(std::string_view text) {
    PlanRecord r;
    bool first = true;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) break; // the last line was cut off
        const std::vector<std::string_view> f = Fields(text.substr(0, end));
        text.remove_prefix(end + 1);
        if (first) {
            if (f.size() != 1 || (f[0] != Head && f[0] != RebuildHead)) return {};
            first = false;
            continue;
        }
        const std::string_view word = f[0];
        if (word == "planned" && f.size() == 1) {
            r.Complete = true;
            r.Done.assign(r.Plan.Steps.size(), 0);
            r.Failed = r.Undone = r.Done;
            ReadMarks(r, text); // the rest is marks
            break;
        }
        if (word == "base" && f.size() == 2) {
            r.Plan.Base = Unescape(f[1]);
        } else if (word == "park" && f.size() == 3) {
            r.Plan.Steps.push_back({PlanStep::Kind::Park, {}, Unescape(f[1]), Unescape(f[2])});
        } else if ((word == "move" || word == "copy") && f.size() == 4) {
            r.Plan.Steps.push_back({word == "move" ? PlanStep::Kind::Move : PlanStep::Kind::Copy, Unescape(f[1]),
                                    Unescape(f[2]), Unescape(f[3])});
        } else if (word == "rebuild" && f.size() == 7 && (f[4] == "keep" || f[4] == "purge")) {
            PlanStep s;
            s.What = PlanStep::Kind::Rebuild;
            s.From = Unescape(f[1]);
            s.To = Unescape(f[2]);
            s.KeptAs = Unescape(f[3]);
            s.Purge = f[4] == "purge";
            if (!FromHex(f[5], s.Md5) || !ParseLength(f[6], s.Length)) return {};
            r.Plan.Steps.push_back(std::move(s));
        } else {
            return {};
        }
    }
    if (!r.Complete) r.Plan.Steps.clear();
    return r;
}

namespace {

std::string RunningText(const std::string& listPath) {
    std::string text = "another repair of ";
    text += ExtractFileName(listPath);
    text += " is running";
    return text;
}

} // namespace

RepairRunning::RepairRunning(const std::string& listPath) : std::runtime_error(RunningText(listPath)) {}

PlanJournal::PlanJournal(FileSystem& fs, std::string path, const RepairPlan& plan) : fs_(fs), path_(std::move(path)) {
    for (const PlanStep& s : plan.Steps)
        move_.push_back(s.What == PlanStep::Kind::Move);
    try {
        out_ = fs_.CreateNewLocked(path_);
    } catch (const IoError& e) {
        // A plan made since this repair looked, by a repair that is running or was killed meanwhile.
        if (IsNameTaken(e) || e.Code() == std::error_code(EWOULDBLOCK, std::generic_category()))
            throw RepairRunning(PlanListPath(path_));
        throw;
    }
    try {
        // Marks of recoveries whose plan is gone belong to no plan: they must not be read as this one's.
        RemoveMarkFiles(fs_, path_);
        const std::string text = plan.Text();
        out_->Write(text.data(), text.size());
        out_->Sync();
        fs_.SyncFolder(ExtractFileDir(path_));
    } catch (const IoError&) {
        try {
            fs_.DeleteFile(path_);
        } catch (const IoError&) {
            // A plan that stays behind without its "planned" line changed nothing: the next pass drops it.
        }
        out_.reset();
        throw;
    }
}

PlanJournal::~PlanJournal() {
    if (out_) Finish();
}

bool PlanJournal::Write(std::string text) {
    if (!held_.empty()) text.insert(0, std::exchange(held_, {}));
    return text.empty() || WriteMarks(out_.get(), text);
}

void PlanJournal::Starting(std::size_t k) {
    if (k >= windowFrom_ && k < windowEnd_) return;
    // Outside the open window: it has ended. A run of two moves or more opens the next one.
    windowFrom_ = windowEnd_ = 0;
    std::size_t end = k;
    while (end < move_.size() && move_[end] && end - k < WindowSteps)
        ++end;
    if (end - k < 2) {
        Write();
        return;
    }
    // Without its "upto" line on the disk no move is held back: each is marked on its own then.
    if (Write(MarkLine("upto", end))) {
        windowFrom_ = k;
        windowEnd_ = end;
    }
}

void PlanJournal::Done(std::size_t k) {
    if (k >= windowFrom_ && k < windowEnd_)
        held_ += MarkLine("done", k);
    else
        Mark("done", k);
}

void PlanJournal::Mark(const char* what, std::size_t k) {
    Write(MarkLine(what, k));
}

void PlanJournal::Leave() {
    Write();
    try {
        if (out_) out_->Close();
    } catch (const IoError&) {
    }
    out_.reset();
}

void PlanJournal::Finish() {
    // The held marks first: a plan that cannot be removed then shows every step made.
    Write();
    // The plan goes while still held, so that no other repair takes it for a killed one's; the pass is
    // over even when it cannot go: the next repair finds every step made and drops it.
    bool gone = false;
    try {
        fs_.DeleteFile(path_);
        gone = !fs_.FileExists(path_);
    } catch (const IoError&) {
    }
    try {
        if (out_) out_->Close();
    } catch (const IoError&) {
    }
    out_.reset();
    // Where a file held open is only marked for deletion (Windows), or could not be deleted while held, it
    // goes now: a rebuild right after the renames starts a plan of its own under the same name.
    if (!gone) {
        try {
            fs_.DeleteFile(path_);
        } catch (const IoError&) {
        }
    }
}

namespace {

// A plan belongs to the folder it lies in, the list's: a folder moved, copied or mounted elsewhere since
// the pass was killed is finished or undone where it is now. The steps within the folder follow it;
// sources outside it stay where the search found them.
void RebaseToListFolder(PlanRecord& r, const std::string& listPath) {
    const std::string here = ExtractFileDir(listPath);
    if (r.Plan.Base.empty() || SameFileName(r.Plan.Base, here)) return;
    for (PlanStep& s : r.Plan.Steps)
        if (s.What == PlanStep::Kind::Park || SameFileName(s.Root, r.Plan.Base)) s.Root = here;
    r.Plan.Base = here;
}

} // namespace

PlanRecord ReadPlan(FileSystem& fs, const std::string& path, const std::string& listPath) {
    const std::unique_ptr<FileLock> lock = fs.TryLock(path);
    if (!lock) throw RepairRunning(listPath);
    PlanRecord r = ParsePlan(ReadText(fs, path));
    RebaseToListFolder(r, listPath);
    const std::size_t recoveries = MarkFileCount(fs, path);
    for (std::size_t n = 1; n <= recoveries; ++n)
        ReadMarks(r, ReadText(fs, MarksPath(path, n)));
    return r;
}

std::vector<std::size_t> StepsLeft(FileSystem& fs, const PlanRecord& r) {
    // What the window's moves made of their names, in order: a move whose target is there was made (the
    // rule a recovery follows); one that was not takes its source away from the later ones.
    std::unordered_map<std::string, bool> there;
    auto exists = [&](const std::string& path) {
        auto it = there.find(Key(path));
        return it != there.end() ? it->second : fs.Identify(path).Exists;
    };
    std::vector<std::size_t> left;
    for (std::size_t k = 0; k < r.Plan.Steps.size(); ++k) {
        if (r.Done[k] || r.Failed[k] || r.Undone[k]) continue;
        const PlanStep& s = r.Plan.Steps[k];
        if (k < r.Upto && s.What == PlanStep::Kind::Move) {
            const std::string to = FolderFile(r.Plan.Base, s.To);
            if (exists(to)) continue;
            there[Key(to)] = true;
            there[Key(FolderFile(s.Root, s.From))] = false;
        }
        left.push_back(k);
    }
    return left;
}

bool RecoverPlan(FileSystem& fs, const std::string& listPath, bool undo, EntryFailures& failures,
                 std::vector<PlanChange>* made) {
    const std::string path = PlanPath(listPath);
    if (!fs.FileExists(path)) {
        RemoveMarkFiles(fs, path); // left by a recovery killed while it removed its files
        return false;
    }
    // Held until the plan and its marks are gone: meanwhile no other repair reads them.
    std::unique_ptr<FileLock> lock;
    try {
        lock = fs.TryLock(path);
    } catch (const IoError& e) {
        if (IsNotFound(e)) return false; // removed by its repair as it ended
        throw;
    }
    if (!lock) throw RepairRunning(listPath);
    // The plan with the marks of its run and of every recovery before this one, read as one record.
    PlanRecord r = ParsePlan(ReadText(fs, path));
    RebaseToListFolder(r, listPath);
    const std::size_t recoveries = MarkFileCount(fs, path);
    // A plan cut off while written changed nothing: it goes, and the pass runs as if it were not there.
    const bool steps = r.Complete && !r.Plan.Base.empty() && !r.Plan.Steps.empty();
    bool keep = false;
    if (steps) {
        // The pass makes its steps in order: none after the first one without a mark of its own was
        // started. The recoveries' marks do not count here: a recovery marks steps the pass never began.
        std::size_t started = 0;
        for (std::size_t k = 0; k < r.Plan.Steps.size(); ++k)
            if (r.Done[k] || r.Failed[k] || r.Undone[k]) started = k + 1;
        started = std::min(started + 1, r.Plan.Steps.size());
        // The moves of the window it announced last may have been made without their marks.
        started = std::max(started, r.Upto);
        for (std::size_t n = 1; n <= recoveries; ++n)
            ReadMarks(r, ReadText(fs, MarksPath(path, n)));
        std::unique_ptr<OutputFile> marks;
        try {
            marks = fs.CreateNew(MarksPath(path, recoveries + 1));
        } catch (const IoError& e) {
            // Without its own marks a recovery killed in turn could not be run again soundly: the plan
            // stays for a later try.
            failures.Add(e, MarksPath(path, recoveries + 1));
            return true;
        }
        const RootsHeld held(fs);
        Recovery recovery(fs, r, started, *marks, failures, made);
        const std::size_t failedBefore = failures.Count();
        if (undo)
            recovery.Undo();
        else
            recovery.Finish();
        // An undo that could not take back every step stays, to be run again once the cause is mended:
        // its marks keep what it took back.
        keep = undo && failures.Count() > failedBefore;
        try {
            marks->Close();
        } catch (const IoError&) {
        }
    }
    if (keep) return true;
    // The plan goes first, in one step: marks left without it by a kill are removed by the next repair.
    fs.DeleteFile(path);
    RemoveMarkFiles(fs, path);
    return steps;
}

} // namespace tv
