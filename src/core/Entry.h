#pragma once
// One entry of a checksum list and the verification states derived from its flags.
#include "core/ContentKey.h"
#include "platform/PackedBlocks.h"

#include <cstdint>
#include <cstring>
#include <deque>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <limits>
#include <type_traits>
#include <utility>
#include <vector>

namespace tv {

// The size of an entry whose list gives sizes but not for this entry (an entry line added after the
// comment block): it is matched by CRC alone. No listed size is taken for it: a list's -1 is a size no
// file has, a mismatch like any other.
inline constexpr std::int64_t NoSize = std::numeric_limits<std::int64_t>::min();

// A text most entries leave empty: it costs one pointer until it is set, where a std::string costs
// 32 bytes in every entry of a list of a million.
class RareText {
public:
    RareText() = default;
    RareText(const RareText& o) : text_(o.text_ ? std::make_unique<std::string>(*o.text_) : nullptr) {}
    RareText(RareText&&) noexcept = default;
    RareText& operator=(const RareText& o) { return o.text_ ? *this = *o.text_ : (clear(), *this); }
    RareText& operator=(RareText&&) noexcept = default;
    RareText& operator=(std::string s) {
        if (s.empty())
            text_.reset();
        else if (text_)
            *text_ = std::move(s);
        else
            text_ = std::make_unique<std::string>(std::move(s));
        return *this;
    }

    const std::string& str() const { return text_ ? *text_ : Empty(); }
    operator const std::string&() const { return str(); }
    operator std::string_view() const { return str(); }
    bool empty() const { return !text_; } // an empty text is never held
    std::size_t size() const { return str().size(); }
    void clear() { text_.reset(); }

    friend bool operator==(const RareText& a, const RareText& b) { return a.str() == b.str(); }
    friend bool operator==(const RareText& a, std::string_view b) { return a.str() == b; }

private:
    static const std::string& Empty() {
        static const std::string none;
        return none;
    }
    std::unique_ptr<std::string> text_;
};

class NameStore;

// An entry's name in one pointer. A name read from a list lives in its table's NameStore, packed with
// the others (a std::string is 32 bytes, and a name past 15 bytes a heap block of its own besides); a
// name set otherwise, or copied, owns its bytes. The bytes follow a length byte whose low bit says
// whether they are owned; a length of 127 or more is four bytes after it.
class EntryName {
public:
    EntryName() = default;
    EntryName(const std::string& s) : p_(Own(s)) {}
    explicit EntryName(std::string_view s) : p_(Own(s)) {}
    // A copy owns its bytes, so it outlives the table it was copied from.
    EntryName(const EntryName& o) : p_(o.p_ ? Own(o.view()) : nullptr) {}
    EntryName(EntryName&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~EntryName() { Release(); }
    EntryName& operator=(const EntryName& o) { return this == &o ? *this : *this = EntryName(o); }
    EntryName& operator=(EntryName&& o) noexcept {
        if (this != &o) {
            Release();
            p_ = std::exchange(o.p_, nullptr);
        }
        return *this;
    }
    template <class T>
    requires(std::is_convertible_v<const T&, std::string_view> && !std::is_same_v<T, EntryName>) EntryName&
    operator=(const T& s) {
        return *this = EntryName(std::string_view(s));
    }

    std::string_view view() const {
        if (!p_) return {};
        std::size_t n = static_cast<unsigned char>(*p_) >> 1;
        if (n < LongLength) return {p_ + 1, n};
        std::uint32_t long_n = 0;
        std::memcpy(&long_n, p_ + 1, sizeof long_n);
        return {p_ + 1 + sizeof long_n, long_n};
    }
    operator std::string_view() const { return view(); }
    operator std::string() const { return std::string(view()); }
    std::string str() const { return std::string(view()); }
    std::size_t size() const { return view().size(); }
    bool empty() const { return !p_; } // an empty name holds nothing
    const char* data() const { return view().data(); }
    const char* begin() const { return view().data(); }
    const char* end() const { return view().data() + view().size(); }

    friend bool operator==(const EntryName& a, const EntryName& b) { return a.view() == b.view(); }
    friend bool operator==(const EntryName& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const EntryName& a, const std::string& b) { return a.view() == b; }
    friend bool operator==(const EntryName& a, const char* b) { return a.view() == b; }
    friend auto operator<=>(const EntryName& a, const EntryName& b) { return a.view() <=> b.view(); }

    // The room a name of `n` bytes takes: its length field and its bytes.
    static std::size_t Footprint(std::size_t n) { return (n < LongLength ? 1 : 1 + sizeof(std::uint32_t)) + n; }

private:
    friend class NameStore;
    static constexpr std::size_t LongLength = 127;
    struct Borrowed {};
    EntryName(Borrowed, const char* p) : p_(p) {}

    // Writes the length field and the bytes at `to` (Footprint(s.size()) bytes).
    static void Write(char* to, std::string_view s, bool owned) {
        if (s.size() > UINT32_MAX) throw std::length_error("name too long");
        const unsigned flag = owned ? 1u : 0u;
        if (s.size() < LongLength) {
            *to++ = static_cast<char>((s.size() << 1) | flag);
        } else {
            *to++ = static_cast<char>((LongLength << 1) | flag);
            const auto n = static_cast<std::uint32_t>(s.size());
            std::memcpy(to, &n, sizeof n);
            to += sizeof n;
        }
        if (!s.empty()) std::memcpy(to, s.data(), s.size());
    }
    static const char* Own(std::string_view s) {
        if (s.empty()) return nullptr;
        char* p = new char[Footprint(s.size())];
        Write(p, s, true);
        return p;
    }
    void Release() {
        if (p_ && (*p_ & 1)) delete[] p_;
        p_ = nullptr;
    }
    const char* p_ = nullptr;
};

// The names of one table, packed in blocks that stay where they are until the table forgets them.
class NameStore {
public:
    // A name that points into this store: valid until Clear or the store's end.
    EntryName Add(std::string_view s) {
        if (s.empty()) return {};
        char* at = blocks_.Take(EntryName::Footprint(s.size()));
        EntryName::Write(at, s, false);
        return EntryName(EntryName::Borrowed{}, at);
    }
    void Clear() { blocks_.Clear(); }

private:
    PackedBlocks blocks_;
};

// MinGW lays bit-fields out as Microsoft's compiler does, starting a new unit wherever their type
// changes; the GNU layout packs the slot and the flags into one word there too.
#ifdef __MINGW32__
#define TV_GNU_LAYOUT __attribute__((gcc_struct))
#else
#define TV_GNU_LAYOUT
#endif

// The flags are bits and the name and the rare texts pointers, so that an entry is 40 bytes besides
// its name's bytes.
struct TV_GNU_LAYOUT TCrcTable {
    EntryName FileName;        // the name in the file system's encoding, relative to the list's folder
    std::int64_t FileSize = 0; // meaningful only while the list gives sizes; NoSize when its line gave none
    std::uint32_t Crc = 0;          // a CRC-32 entry's CRC; a digest entry's first four bytes (its sort key)
    std::uint32_t DigestSlot : 24 = 0; // 0: a CRC-32 entry; else its digest's place beside the table, plus one
    bool Found : 1 = false;       // this content has been found (own name or SameFile)
    bool SizeMatched : 1 = false; // set with Found by the size-first searches
    bool Exists : 1 = false;      // the entry's own file is present (and carries the content, once found)
    bool Selected : 1 = false;    // the row's tick, copied in by the complement search
    bool ByListBytes : 1 = false; // FileName is the list's bytes: they did not convert, or name the file on disk
    bool LiteralBackslash : 1 = false; // a "\" in FileName is a character of the name (GNU's escaped form)
    RareText SameFile;            // full path of a file with this content that is not the entry's own file
    RareText ListBytes;           // the list's own bytes of the name when they differ from FileName
};

static_assert(sizeof(TCrcTable) <= 40, "an entry stays 40 bytes besides its name");

// The four verification states; the value is the icon index of the row.
enum class VerifyResult { Match = 0, SameFileFound = 1, Mismatch = 2, Missing = 3 };

// The content counts as found when Found is set and, for lists with sizes, SizeMatched too.
inline bool ContentFound(const TCrcTable& e, bool listHasSizes) {
    return e.Found && (!listHasSizes || e.SizeMatched);
}

inline VerifyResult StateOf(const TCrcTable& e, bool listHasSizes) {
    bool found = ContentFound(e, listHasSizes);
    if (e.Exists) return found ? VerifyResult::Match : VerifyResult::Mismatch;
    return found ? VerifyResult::SameFileFound : VerifyResult::Missing;
}

// The mark of an icon index: ○ ！ × －.
const char* MarkOfIcon(int iconIndex);

// The growable table: `Records.size()` is the capacity; the valid records are the first `Count`.
// Slots beyond Count keep whatever they held and are never shown or read.
class TEntryTable {
public:
    TEntryTable() = default;
    // A copy's names own their bytes: the store is not shared.
    TEntryTable(const TEntryTable& o) : Records(o.Records), digests_(o.digests_) {}
    TEntryTable& operator=(const TEntryTable& o) {
        if (this != &o) {
            Records = o.Records; // every record now owns its name, so the store's names are unused
            names_.Clear();
            digests_ = o.digests_;
        }
        return *this;
    }
    // A record reads its name's length field when it goes, so the records always go before the store.
    TEntryTable(TEntryTable&&) noexcept = default;
    TEntryTable& operator=(TEntryTable&& o) noexcept {
        if (this != &o) {
            Records = std::move(o.Records);
            names_ = std::move(o.names_);
            digests_ = std::move(o.digests_);
        }
        return *this;
    }
    ~TEntryTable() { Records.clear(); }

    std::int32_t Capacity() const { return static_cast<std::int32_t>(Records.size()); }
    // Grows by 128 empty slots when no slot is free.
    void MakeRoom(std::int32_t count) {
        if (Capacity() - count <= 0) Records.resize(static_cast<std::size_t>(count) + 128);
    }
    TCrcTable& operator[](std::int32_t i) { return Records[static_cast<std::size_t>(i)]; }
    const TCrcTable& operator[](std::int32_t i) const { return Records[static_cast<std::size_t>(i)]; }

    // A deque, so that growing never copies the table: a vector's regrowth holds the old and the new
    // array at once, half as much again as a million entries need.
    std::deque<TCrcTable> Records;

    // Sets the name of record i, kept packed in the table's store.
    void SetName(std::int32_t i, std::string_view name) { (*this)[i].FileName = names_.Add(name); }
    // Empties every record's name and the store, so that a new list's names do not add to an old one's;
    // the digests go with them.
    void ForgetNames() {
        for (TCrcTable& r : Records) {
            r.FileName = EntryName();
            r.DigestSlot = 0;
        }
        names_.Clear();
        digests_.Clear();
    }

    // The content key of a record: its CRC, or the digest kept for it beside the table.
    ContentKey KeyOf(const TCrcTable& e) const {
        return e.DigestSlot == 0 ? ContentKey::OfCrc(e.Crc) : digests_.At(e.DigestSlot - 1);
    }
    ContentKey KeyOf(std::int32_t i) const { return KeyOf((*this)[i]); }
    HashAlgorithm AlgorithmOf(const TCrcTable& e) const {
        return e.DigestSlot == 0 ? HashAlgorithm::Crc32 : digests_.AlgorithmAt(e.DigestSlot - 1);
    }
    // Whether a record names this content: the prefix first, then the whole digest.
    bool Carries(const TCrcTable& e, const ContentKey& k) const {
        if (e.Crc != k.Prefix()) return false;
        if (e.DigestSlot == 0) return k.Algorithm == HashAlgorithm::Crc32;
        return digests_.Equals(e.DigestSlot - 1, k);
    }
    // Takes record i's digest for another algorithm of the same length (SHA-256 read as BLAKE3), in place.
    void Reinterpret(std::int32_t i, HashAlgorithm a) {
        const TCrcTable& e = (*this)[i];
        if (e.DigestSlot != 0 && digests_.At(e.DigestSlot - 1).Size() == DigestBytes(a))
            digests_.SetAlgorithm(e.DigestSlot - 1, a);
    }
    // Gives record i this key: a CRC-32 key is kept in the record, a digest beside the table.
    void SetKey(std::int32_t i, const ContentKey& k) {
        TCrcTable& e = (*this)[i];
        e.Crc = k.Prefix();
        e.DigestSlot = k.Algorithm == HashAlgorithm::Crc32 ? 0u : (digests_.Add(k) + 1) & 0xFFFFFFu;
    }

private:
    // Digests packed as [algorithm][length][bytes] in blocks that never move, found by their slot.
    class DigestStore {
    public:
        std::uint32_t Add(const ContentKey& k) {
            if (at_.size() >= MaxSlots) throw std::length_error("too many digest entries");
            const std::size_t need = 2 + k.Size();
            if (blocks_.empty() || BlockBytes - used_ < need) {
                blocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(BlockBytes));
                used_ = 0;
            }
            std::uint8_t* p = blocks_.back().get() + used_;
            p[0] = static_cast<std::uint8_t>(k.Algorithm);
            p[1] = static_cast<std::uint8_t>(k.Size());
            std::memcpy(p + 2, k.Bytes.data(), k.Size());
            at_.push_back(static_cast<std::uint32_t>((blocks_.size() - 1) << 16 | used_));
            used_ += need;
            return static_cast<std::uint32_t>(at_.size() - 1);
        }
        HashAlgorithm AlgorithmAt(std::uint32_t slot) const { return static_cast<HashAlgorithm>(*Place(slot)); }
        void SetAlgorithm(std::uint32_t slot, HashAlgorithm a) {
            *const_cast<std::uint8_t*>(Place(slot)) = static_cast<std::uint8_t>(a);
        }
        ContentKey At(std::uint32_t slot) const {
            const std::uint8_t* p = Place(slot);
            return ContentKey::Of(static_cast<HashAlgorithm>(p[0]), p + 2, p[1]);
        }
        bool Equals(std::uint32_t slot, const ContentKey& k) const {
            const std::uint8_t* p = Place(slot);
            return p[0] == static_cast<std::uint8_t>(k.Algorithm) && p[1] == k.Size() &&
                   std::memcmp(p + 2, k.Bytes.data(), k.Size()) == 0;
        }
        void Clear() {
            blocks_.clear();
            at_.clear();
            used_ = 0;
        }
        DigestStore() = default;
        DigestStore(const DigestStore& o) { *this = o; }
        DigestStore(DigestStore&&) noexcept = default;
        DigestStore& operator=(DigestStore&&) noexcept = default;
        DigestStore& operator=(const DigestStore& o) {
            if (this == &o) return *this;
            Clear();
            for (const auto& b : o.blocks_) {
                blocks_.push_back(std::make_unique_for_overwrite<std::uint8_t[]>(BlockBytes));
                std::memcpy(blocks_.back().get(), b.get(), BlockBytes);
            }
            at_ = o.at_;
            used_ = o.used_;
            return *this;
        }

    private:
        static constexpr std::size_t BlockBytes = 1u << 16;
        static constexpr std::size_t MaxSlots = (1u << 24) - 1;
        const std::uint8_t* Place(std::uint32_t slot) const {
            const std::uint32_t at = at_[slot];
            return blocks_[at >> 16].get() + (at & 0xFFFF);
        }
        std::vector<std::unique_ptr<std::uint8_t[]>> blocks_;
        std::vector<std::uint32_t> at_;
        std::size_t used_ = 0;
    };

    NameStore names_;
    DigestStore digests_;
};

} // namespace tv
