#include "readers/Par2Reader.h"

#include "platform/Hashing.h"
#include "platform/TextEncoding.h"

#include <algorithm>
#include <cstring>

namespace tv::par2 {

namespace {

constexpr std::size_t ChunkBytes = 1u << 20;
// What is kept of a body the set is not built from: a recovery slice's exponent.
constexpr std::size_t HeadBytes = 64;

bool KeptWhole(const PacketType& t) {
    return t == MainType || t == FileDescType || t == IfscType || t == UniFileNameType || t == CreatorType;
}

// The first place at or after `from` where the magic starts.
std::optional<std::uint64_t> FindMagic(ByteSource& source, std::uint64_t from, std::vector<std::uint8_t>& buffer) {
    const std::uint64_t size = source.Size();
    while (from < size && size - from >= Magic.size()) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), size - from));
        const std::size_t got = source.ReadAt(from, buffer.data(), want);
        if (got < Magic.size()) return std::nullopt;
        const auto end = buffer.begin() + static_cast<std::ptrdiff_t>(got);
        const auto at = std::search(buffer.begin(), end, Magic.begin(), Magic.end());
        if (at != end) return from + static_cast<std::uint64_t>(at - buffer.begin());
        // A magic cut by the end of this piece starts within its last 7 bytes.
        from += got - (Magic.size() - 1);
    }
    return std::nullopt;
}

// Reads the packet at `at` whose header is `h` and checks its MD5; fills `body` with what is kept of it.
bool ReadChecked(ByteSource& source, std::uint64_t at, const PacketHeader& h, const std::uint8_t* headerBytes,
                 bool whole, std::vector<std::uint8_t>& body, std::vector<std::uint8_t>& buffer) {
    const std::unique_ptr<Digester> md5 = MakeDigester(HashAlgorithm::Md5);
    md5->Update(headerBytes + HashedFrom, HeaderBytes - HashedFrom);
    const std::uint64_t bodyBytes = h.Length - HeaderBytes;
    body.clear();
    if (whole) body.resize(static_cast<std::size_t>(bodyBytes));
    std::uint64_t done = 0;
    while (done < bodyBytes) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), bodyBytes - done));
        std::uint8_t* to = whole ? body.data() + done : buffer.data();
        const std::size_t got = source.ReadAt(at + HeaderBytes + done, to, want);
        if (got == 0) return false; // the file ended (or shrank) inside the packet
        md5->Update(to, got);
        if (!whole && done < HeadBytes) {
            const std::size_t keep = static_cast<std::size_t>(std::min<std::uint64_t>(HeadBytes - done, got));
            body.insert(body.end(), to, to + keep);
        }
        done += got;
    }
    const ContentKey k = md5->Final();
    return std::memcmp(k.Bytes.data(), h.PacketMd5.data(), h.PacketMd5.size()) == 0;
}

} // namespace

std::size_t MemorySource::ReadAt(std::uint64_t offset, void* buffer, std::size_t size) {
    if (offset >= bytes_.size()) return 0;
    const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(size, bytes_.size() - offset));
    std::memcpy(buffer, bytes_.data() + offset, n);
    return n;
}

std::size_t ScanPackets(ByteSource& source, const PacketSink& sink, std::size_t keptLimit) {
    const std::uint64_t size = source.Size();
    // A small file needs no more room than it has.
    std::vector<std::uint8_t> buffer(static_cast<std::size_t>(std::clamp<std::uint64_t>(size, HeaderBytes, ChunkBytes)));
    std::vector<std::uint8_t> body;
    std::size_t passedOver = 0;
    std::uint64_t pos = 0;
    while (const std::optional<std::uint64_t> at = FindMagic(source, pos, buffer)) {
        std::array<std::uint8_t, HeaderBytes> headerBytes{};
        if (source.ReadAt(*at, headerBytes.data(), HeaderBytes) < HeaderBytes) { // cut short in its header
            ++passedOver;
            break;
        }
        const std::optional<PacketHeader> h = ParseHeader(headerBytes);
        // A packet whose length does not fit is no packet; the next magic may start inside what it claimed.
        const bool fits = h && h->Length <= size - *at && (!KeptWhole(h->Type) || h->Length - HeaderBytes <= keptLimit);
        if (!fits || !ReadChecked(source, *at, *h, headerBytes.data(), KeptWhole(h->Type), body, buffer)) {
            ++passedOver;
            pos = *at + 1;
            continue;
        }
        sink(*h, body);
        pos = *at + h->Length;
    }
    return passedOver;
}

std::uint64_t SetPackets::InputSlices() const {
    if (!Main) return 0;
    std::uint64_t n = 0;
    for (const SetFile& f : Files)
        if (f.Recovery && f.Desc) n += SliceCount(f.Desc->Length, Main->SliceSize);
    return n;
}

std::size_t SetPackets::Undescribed() const {
    return static_cast<std::size_t>(
        std::count_if(Files.begin(), Files.end(), [](const SetFile& f) { return !f.Desc; }));
}

void SetBuilder::Read(ByteSource& source) {
    passedOver_ += ScanPackets(source, [&](const PacketHeader& h, std::span<const std::uint8_t> body) {
        ById& set = sets_[h.SetId];
        if (h.Type == MainType) {
            // The set ID is the MD5 of the Main packet's body: a Main packet of another set is not this one's.
            std::optional<MainPacket> main = ParseMain(body);
            if (!main || set.Main || SetIdOf(*main) != h.SetId) return;
            set.Main = std::move(main);
            if (!chosen_) chosen_ = h.SetId;
        } else if (h.Type == FileDescType) {
            if (std::optional<FileDescPacket> d = ParseFileDesc(body)) set.Descs.try_emplace(d->FileId, std::move(*d));
        } else if (h.Type == IfscType) {
            if (std::optional<IfscPacket> p = ParseIfsc(body)) set.Ifsc.try_emplace(p->FileId, std::move(*p));
        } else if (h.Type == UniFileNameType) {
            if (std::optional<UniNamePacket> p = ParseUniName(body))
                if (std::optional<std::string> utf8 = Utf16ToUtf8(p->Utf16Le, false); utf8 && !utf8->empty())
                    set.Names.try_emplace(p->FileId, std::move(*utf8));
        } else if (h.Type == CreatorType) {
            if (set.Creator.empty()) set.Creator = ParseCreator(body);
            if (anyCreator_.empty()) anyCreator_ = ParseCreator(body);
        } else if (h.Type == RecvSlicType) {
            if (body.size() >= 4) set.Exponents.try_emplace(Le32(body.data()), h.Length - HeaderBytes - 4);
        }
    });
}

SetPackets SetBuilder::Finish() const {
    SetPackets out;
    out.PassedOver = passedOver_;
    out.Creator = anyCreator_;
    if (!chosen_) return out;
    const ById& set = sets_.at(*chosen_);
    out.SetId = *chosen_;
    out.Main = set.Main;
    if (!set.Creator.empty()) out.Creator = set.Creator;
    // Recovery slices count only when they are as long as the set's slices.
    for (const auto& [exponent, bytes] : set.Exponents)
        if (bytes == set.Main->SliceSize) out.RecoveryExponents.insert(exponent);
    const auto add = [&](const Md5Bytes& id, bool recovery) {
        SetFile f;
        f.Id = id;
        f.Recovery = recovery;
        if (const auto d = set.Descs.find(id); d != set.Descs.end()) f.Desc = d->second;
        if (const auto n = set.Names.find(id); n != set.Names.end()) f.UnicodeName = n->second;
        if (const auto p = set.Ifsc.find(id);
            p != set.Ifsc.end() && f.Desc &&
            p->second.Slices.size() == SliceCount(f.Desc->Length, set.Main->SliceSize)) {
            f.Slices = p->second.Slices;
            f.HasSlices = true;
        }
        out.Files.push_back(std::move(f));
    };
    for (const Md5Bytes& id : set.Main->RecoveryFiles)
        add(id, true);
    for (const Md5Bytes& id : set.Main->NonRecoveryFiles)
        add(id, false);
    return out;
}

} // namespace tv::par2
