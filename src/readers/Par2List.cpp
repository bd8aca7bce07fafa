// PAR 2.0 sets as lists. The .par2 file named and every file of its set beside it (same base name,
// "NAME.par2", "NAME.vol0+1.par2", "NAME.vol01-03.par2") are scanned for packets; the Main packet gives
// the files and their order, each file's description its name, size, MD5 and the MD5 of its first
// 16 KiB, and its IFSC packet the CRC-32 and MD5 of each slice.
#include "readers/Par2List.h"

#include "app/TallyvaultMain.h"
#include "core/Crc32.h"
#include "core/EntryNames.h"
#include "core/HashPool.h"
#include "platform/Errors.h"
#include "platform/Hashing.h"
#include "platform/Paths.h"
#include "readers/Texts.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <vector>

namespace tv {

namespace {

// A file read by its places, in order as a scan reads it. The last bytes read are kept (at least
// KeptBytes of them): a scan steps back into them for the header of the packet whose magic it just found,
// or after a packet that failed, to look for the next magic inside it. Only a step back beyond them opens
// the file again and reads it from its start, so a volume of many packets is read once, not once a packet.
class FileSource final : public par2::ByteSource {
public:
    FileSource(FileSystem& fs, std::string path, const std::function<void()>& pace)
        : fs_(fs), path_(std::move(path)), pace_(pace) {
        Open();
    }
    std::uint64_t Size() override { return size_; }
    std::size_t ReadAt(std::uint64_t offset, void* buffer, std::size_t size) override {
        if (offset >= size_) return 0;
        if (offset < pos_ - kept_.size()) Open();
        auto* to = static_cast<std::uint8_t*>(buffer);
        std::size_t done = 0;
        if (offset < pos_) {
            done = static_cast<std::size_t>(std::min<std::uint64_t>(size, pos_ - offset));
            std::memcpy(to, kept_.data() + (kept_.size() - (pos_ - offset)), done);
            if (done == size) return done;
        }
        const std::uint64_t from = offset + done;
        while (pos_ < from) { // skipped forward: read and dropped
            kept_.clear();
            std::uint8_t skip[64 * 1024];
            const std::size_t n =
                file_->Read(skip, static_cast<std::size_t>(std::min<std::uint64_t>(sizeof skip, from - pos_)));
            if (n == 0) return done;
            pos_ += n;
        }
        const std::size_t start = done;
        while (done < size) {
            const std::size_t n = file_->Read(to + done, size - done);
            if (n == 0) break;
            done += n;
        }
        pos_ += done - start;
        kept_.insert(kept_.end(), to + start, to + done);
        // Dropped from the front only when twice what is kept: each byte is moved a bounded number of times.
        if (kept_.size() > 2 * KeptBytes)
            kept_.erase(kept_.begin(), kept_.end() - static_cast<std::ptrdiff_t>(KeptBytes));
        if (pace_) pace_();
        return done;
    }

private:
    // Two read chunks of the scan: a damaged packet of up to a slice of 1 MiB is stepped back over.
    static constexpr std::size_t KeptBytes = std::size_t{2} << 20;
    void Open() {
        file_ = fs_.OpenRead(path_);
        const std::int64_t n = file_->Length();
        size_ = n > 0 ? static_cast<std::uint64_t>(n) : 0;
        pos_ = 0;
        kept_.clear();
    }
    FileSystem& fs_;
    std::string path_;
    const std::function<void()>& pace_;
    std::unique_ptr<InputFile> file_;
    std::uint64_t size_ = 0, pos_ = 0;
    std::vector<std::uint8_t> kept_; // the last bytes read, up to pos_
};

bool EndsWithNoCase(std::string_view s, std::string_view tail) {
    return s.size() >= tail.size() &&
           UpperAscii(std::string(s.substr(s.size() - tail.size()))) == UpperAscii(std::string(tail));
}

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Hex(std::uint64_t n) {
    return std::to_string(n);
}

} // namespace

std::optional<std::string> Par2BaseName(std::string_view fileName) {
    if (!EndsWithNoCase(fileName, ".par2")) return std::nullopt;
    std::string_view base = fileName.substr(0, fileName.size() - 5);
    // A volume: ".volA+B" (par2cmdline) or ".volA-B" (the format's own suggestion).
    if (const std::size_t dot = base.rfind('.'); dot != std::string_view::npos) {
        const std::string_view vol = base.substr(dot + 1);
        if (vol.size() > 3 && UpperAscii(std::string(vol.substr(0, 3))) == "VOL") {
            const std::string_view nums = vol.substr(3);
            const std::size_t sep = nums.find_first_of("+-");
            if (sep != std::string_view::npos && AllDigits(nums.substr(0, sep)) && AllDigits(nums.substr(sep + 1)))
                base = base.substr(0, dot);
        }
    }
    return std::string(base);
}

bool IsPar2Name(std::string_view path) {
    return Par2BaseName(ExtractFileName(std::string(path))).has_value();
}

std::vector<std::string> Par2SetFiles(FileSystem& fs, const std::string& listPath) {
    std::vector<std::string> out{listPath};
    const std::string listName = ExtractFileName(listPath);
    const std::optional<std::string> base = Par2BaseName(listName);
    if (!base) return out;
    const std::string folder = ExtractFileDir(listPath);
    std::vector<std::string> others;
    for (const FolderEntry& e : fs.ListFolder(folder)) {
        if (e.IsFolder || e.IsSpecial || e.Name == listName) continue;
        if (const std::optional<std::string> b = Par2BaseName(e.Name); b && SameFileName(*b, *base))
            others.push_back(e.Name);
    }
    std::sort(others.begin(), others.end());
    for (const std::string& name : others)
        out.push_back(FolderFile(folder, name));
    return out;
}

std::string Par2NameRefusal(std::string_view name) {
    if (name.empty()) return "empty name";
    if (name.find('\0') != std::string_view::npos) return "a NUL byte in the name";
    if (name[0] == '/' || name[0] == '\\' || (name.size() >= 2 && name[1] == ':')) return "an absolute name";
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("/\\", start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(start, end - start);
        if (part == "..") return "a name that leads out of the folder";
        if (part.empty() || part == ".") return "an empty or \".\" part in the name";
#ifdef _WIN32
        // Windows drops a part's trailing dots and blanks, so such a name would reach another file.
        if (part.back() == '.' || part.back() == ' ') return "a name part Windows cannot hold";
#endif
        start = end + 1;
    }
#ifdef _WIN32
    for (const char c : name)
        if (static_cast<unsigned char>(c) < 0x20 || std::string_view("<>:\"|?*").find(c) != std::string_view::npos)
            return "a character Windows cannot hold in a name";
#endif
    return {};
}

Par2SetState ReadPar2Set(FileSystem& fs, const std::vector<std::string>& setFiles, const std::function<void()>& pace) {
    par2::SetBuilder builder;
    Par2SetState state;
    for (std::size_t k = 0; k < setFiles.size(); ++k) {
        try {
            FileSource source(fs, setFiles[k], pace);
            builder.Read(source);
            state.SetFilesRead.push_back(setFiles[k]);
        } catch (const IoError&) {
            if (k == 0) throw; // the list itself must be readable; a volume that is not is passed over
        }
    }
    const par2::SetPackets set = builder.Finish();
    state.Creator = set.Creator;
    if (!set.Main) return state;
    state.SliceSize = set.Main->SliceSize;
    state.RecoveryBlocks = set.RecoveryExponents.size();
    for (const par2::SetFile& f : set.Files) {
        // A length no file can have is no description.
        if (!f.Desc || f.Desc->Length > static_cast<std::uint64_t>(INT64_MAX)) {
            ++state.Undescribed;
            continue;
        }
        Par2SetState::File file;
        file.Name = f.UnicodeName ? *f.UnicodeName : f.Desc->Name;
        file.Set = f;
        file.Refusal = Par2NameRefusal(file.Name);
        if (!file.Refusal.empty()) ++state.Refused;
        state.ByName.try_emplace(file.Name, state.Files.size());
        state.Heads.emplace_back(static_cast<std::int64_t>(f.Desc->Length), f.Desc->Hash16k);
        state.Files.push_back(std::move(file));
    }
    std::sort(state.Heads.begin(), state.Heads.end());
    return state;
}

bool HeadMatches(FileSystem& fs, const Par2SetState& set, const std::string& path, std::int64_t size) {
    const auto range = std::equal_range(set.Heads.begin(), set.Heads.end(), size, [](const auto& a, const auto& b) {
        if constexpr (std::is_same_v<std::decay_t<decltype(a)>, std::int64_t>)
            return a < b.first;
        else
            return a.first < b;
    });
    if (range.first == range.second) return false;
    std::uint8_t head[par2::Hash16kBytes];
    const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(size, sizeof head));
    std::size_t got = 0;
    {
        const std::unique_ptr<InputFile> file = fs.OpenRead(path);
        while (got < want)
            if (const std::size_t n = file->Read(head + got, want - got); n > 0)
                got += n;
            else
                break;
    }
    const ContentKey md5 = DigestOf(HashAlgorithm::Md5, head, got);
    for (auto it = range.first; it != range.second; ++it)
        if (std::memcmp(it->second.data(), md5.Bytes.data(), 16) == 0) return true;
    return false;
}

std::uint64_t DamagedSlices(FileSystem& fs, const Par2SetState& set, const Par2SetState::File& file,
                            const std::string& path, const std::function<void()>& pace) {
    const std::vector<par2::SliceCheck>& slices = file.Set.Slices;
    if (!file.Set.HasSlices) return par2::SliceCount(file.Set.Desc->Length, set.SliceSize);
    std::uint64_t damaged = 0;
    std::unique_ptr<InputFile> in;
    try {
        in = fs.OpenRead(path);
    } catch (const IoError&) {
        return slices.size();
    }
    // One slice at a time. A slice of up to 1 MiB is held whole, and its MD5 taken only where its CRC
    // holds; a larger one is read in pieces with its MD5 taken on the way.
    const std::uint64_t sliceSize = set.SliceSize;
    const bool whole = sliceSize <= (1u << 20);
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::min<std::uint64_t>(sliceSize, 1u << 20)));
    bool ended = false;
    for (std::size_t s = 0; s < slices.size(); ++s) {
        std::uint32_t crc = 0xFFFFFFFFu;
        const std::unique_ptr<Digester> md5 = whole ? nullptr : MakeDigester(HashAlgorithm::Md5);
        std::uint64_t done = 0, real = 0;
        while (done < sliceSize) {
            const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), sliceSize - done));
            std::size_t got = 0;
            while (!ended && got < want) {
                const std::size_t n = in->Read(buffer.data() + got, want - got);
                if (n == 0) ended = true;
                got += n;
            }
            real += got;
            // Past the file's end the slice is padded with zeros, as the set's checks were taken.
            std::fill(buffer.begin() + static_cast<std::ptrdiff_t>(got),
                      buffer.begin() + static_cast<std::ptrdiff_t>(want), 0);
            crc = Crc32Update(crc, buffer.data(), want);
            if (md5) md5->Update(buffer.data(), want);
            done += want;
        }
        // The listed length says how much of the last slice is the file's: a slice it does not reach whole
        // in the file on disk is damaged.
        const std::uint64_t expected = std::min<std::uint64_t>(sliceSize, file.Set.Desc->Length - s * sliceSize);
        bool good = real >= expected && (crc ^ 0xFFFFFFFFu) == slices[s].Crc;
        if (good) {
            const ContentKey k = md5 ? md5->Final() : DigestOf(HashAlgorithm::Md5, buffer.data(), buffer.size());
            good = std::memcmp(k.Bytes.data(), slices[s].Hash.data(), 16) == 0;
        }
        if (!good) ++damaged;
        if (pace) pace();
    }
    return damaged;
}

std::string Par2DamageLines(const Par2SetState& set) {
    std::string out = "blocks damaged " + Hex(set.Damaged) + " of " + Hex(set.Blocks) + "; recovery blocks " +
                      std::to_string(set.RecoveryBlocks) + "\n";
    if (set.Wanting() == 0)
        out += "repair possible\n";
    else
        out += "repair needs " + std::to_string(set.Wanting()) + " more recovery blocks\n";
    return out;
}

std::string Par2DamageSentence(const Par2SetState& set) {
    std::string s = "破損ブロック " + std::to_string(set.Damaged) + "/" + std::to_string(set.Blocks) +
                    " 個、修復ブロック " + std::to_string(set.RecoveryBlocks) + " 個：";
    if (set.Wanting() == 0) return s + "修復できます";
    return s + "修復には修復ブロックがあと " + std::to_string(set.Wanting()) + " 個必要です";
}

std::string IrregularPar2Message(const std::string& creator) {
    std::string text = "［ 規格外のPAR2ファイルです ］\r\r使えるMainパケットがありません";
    if (!creator.empty()) text += "\r作成：" + creator;
    return text;
}

std::string Par2UndescribedNote(std::size_t count) {
    return "　説明の読めないファイル " + std::to_string(count) + " 個は未確認";
}

std::string Par2RefusedNote(std::size_t count) {
    return "　安全でない名前 " + std::to_string(count) + " 個は書き込み・改名しません";
}

std::string TForm1::ReadPar2List() {
    const std::string name = ExtractFileName(ListPath);
    auto state =
        std::make_unique<Par2SetState>(ReadPar2Set(fs, Par2SetFiles(fs, ListPath), [this] { ReportProgress(); }));
    if (state->SliceSize == 0) {
        Status.SetCaption(texts::IrregularPar2Status + name);
        return IrregularPar2Message(state->Creator);
    }
    const Par2SetState* set = state.get();
    Par2Set = {state.release(), [](Par2SetState* p) { std::default_delete<Par2SetState>()(p); }};
    ListHasSizes = true;
    // Names are UTF-8 (par2cmdline writes them so; a Unicode name packet is converted): whatever the
    // binary file's bytes looked like as text.
    Encoding = ListEncoding::Utf8;
    SetListAlgorithms(HashAlgorithm::Md5, HashAlgorithm::Md5);
    for (const Par2SetState::File& f : set->Files) {
        AppendEntry(f.Name, static_cast<std::int64_t>(f.Set.Desc->Length),
                    ContentKey::Of(HashAlgorithm::Md5, f.Set.Desc->Hash.data()));
        // A "\" in a set's name is a character of it: the format separates folders by "/" alone.
        EntryTable[EntryCount - 1].LiteralBackslash = f.Name.find('\\') != std::string::npos;
        ReportProgress();
    }
    ContentPrecheck = [this, set](const std::string& path, std::int64_t size) {
        try {
            return HeadMatches(fs, *set, path, size);
        } catch (const IoError&) {
            return true; // the whole read then meets the failure and says so
        }
    };
    VerifyEntries();
    return {};
}

namespace {

struct Mismatched {
    const Par2SetState::File* File;
    std::string Path;
};

// The damaged slices of the mismatched files, together. With hashing workers the files are read at
// once, each count kept in its file's place; the walk meanwhile runs `pace` (the window's events, a stop)
// and a stop ends the workers at their next slice. A failure is raised as the walk alone would raise it:
// that of the first file, in the rows' order, whose reading failed.
std::uint64_t DamagedOfAll(FileSystem& fs, const Par2SetState& set, const std::vector<Mismatched>& files,
                           HashWorkers& workers, const std::function<void()>& pace) {
    const std::shared_ptr<HashPool> pool = files.size() > 1 ? workers.Pool() : nullptr;
    std::uint64_t total = 0;
    if (!pool) {
        for (const Mismatched& m : files) {
            total += DamagedSlices(fs, set, *m.File, m.Path, pace);
            pace();
        }
        return total;
    }
    struct Shared {
        explicit Shared(std::size_t n) : Counts(n), Errors(n) {}
        std::atomic<std::size_t> Next{0};
        std::atomic<bool> Stop{false};
        std::mutex Lock;
        std::condition_variable Done;
        std::size_t Finished = 0;
        std::vector<std::uint64_t> Counts;
        std::vector<std::exception_ptr> Errors;
    };
    struct Stopped {};
    const std::size_t n = files.size();
    auto shared = std::make_shared<Shared>(n);
    // A task claims files until none is left; one that starts after the last was claimed touches
    // nothing but `shared`, so it may outlive this call.
    auto work = [shared, n, &fs, &set, &files] {
        for (;;) {
            const std::size_t k = shared->Next.fetch_add(1);
            if (k >= n) return;
            if (!shared->Stop.load()) {
                try {
                    shared->Counts[k] = DamagedSlices(fs, set, *files[k].File, files[k].Path, [&] {
                        if (shared->Stop.load(std::memory_order_relaxed)) throw Stopped{};
                    });
                } catch (...) {
                    shared->Errors[k] = std::current_exception();
                }
            }
            const std::lock_guard<std::mutex> held(shared->Lock);
            ++shared->Finished;
            shared->Done.notify_all();
        }
    };
    // However the walk leaves (a stop among its events), no worker is still at a file when it has left.
    struct Join {
        Shared& S;
        std::size_t N;
        ~Join() {
            S.Stop.store(true);
            std::size_t unclaimed = 0;
            while (S.Next.fetch_add(1) < N)
                ++unclaimed;
            std::unique_lock<std::mutex> held(S.Lock);
            S.Finished += unclaimed;
            S.Done.wait(held, [&] { return S.Finished >= N; });
        }
    } join{*shared, n};
    for (std::size_t k = 0; k < std::min<std::size_t>(n, pool->Threads()); ++k)
        pool->Post(work);
    for (;;) {
        {
            std::unique_lock<std::mutex> held(shared->Lock);
            if (shared->Done.wait_for(held, std::chrono::milliseconds(15), [&] { return shared->Finished == n; }))
                break;
        }
        pace();
    }
    for (std::size_t k = 0; k < n; ++k) {
        if (shared->Errors[k]) std::rethrow_exception(shared->Errors[k]);
        total += shared->Counts[k];
        pace();
    }
    return total;
}

} // namespace

void TForm1::CountPar2Damage() {
    if (!Par2Set || EntryCount == 0) return;
    Par2SetState& set = *Par2Set;
    set.Blocks = set.Damaged = 0;
    for (const Par2SetState::File& f : set.Files)
        if (f.Set.Recovery) set.Blocks += par2::SliceCount(f.Set.Desc->Length, set.SliceSize);
    const std::string folder = ExtractFilePath(ListPath);
    std::vector<Mismatched> mismatched;
    for (std::int32_t i = 0; i < EntryCount; ++i) {
        const auto at = set.ByName.find(EntryTable[i].FileName.str());
        if (at == set.ByName.end()) continue;
        const Par2SetState::File& f = set.Files[at->second];
        if (!f.Set.Recovery) continue;
        switch (EntryState(i)) {
        case VerifyResult::Match:
        case VerifyResult::SameFileFound:
            break;
        case VerifyResult::Missing:
            set.Damaged += par2::SliceCount(f.Set.Desc->Length, set.SliceSize);
            break;
        case VerifyResult::Mismatch:
            mismatched.push_back({&f, EntryFullPath(folder, EntryTable[i])});
            break;
        }
        ReportProgress();
    }
    set.Damaged += DamagedOfAll(fs, set, mismatched, Hashing, [this] { ReportProgress(); });
    set.Counted = true;
    std::string status = ReadErrorText;
    if (set.Undescribed > 0) status += Par2UndescribedNote(set.Undescribed);
    if (set.Refused > 0) status += Par2RefusedNote(set.Refused);
    Status.SetCaption(status + "　" + Par2DamageSentence(set));
}

} // namespace tv
