#include "readers/Par2Packets.h"

#include "platform/Hashing.h"

#include <algorithm>

namespace tv::par2 {

namespace {

Md5Bytes Md5At(const std::uint8_t* p) {
    Md5Bytes m;
    std::memcpy(m.data(), p, m.size());
    return m;
}

Md5Bytes Md5Of(std::span<const std::uint8_t> bytes) {
    const ContentKey k = DigestOf(HashAlgorithm::Md5, bytes.data(), bytes.size());
    return Md5At(k.Bytes.data());
}

// The bytes of a text field without its zero padding (a text may end in zeros of its own only as padding).
std::string_view Unpadded(std::span<const std::uint8_t> bytes) {
    std::size_t n = bytes.size();
    while (n > 0 && bytes[n - 1] == 0)
        --n;
    return {reinterpret_cast<const char*>(bytes.data()), n};
}

void PadTo4(std::vector<std::uint8_t>& out) {
    while (out.size() % 4 != 0)
        out.push_back(0);
}

} // namespace

std::optional<PacketHeader> ParseHeader(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < HeaderBytes || !std::equal(Magic.begin(), Magic.end(), bytes.begin())) return std::nullopt;
    PacketHeader h;
    h.Length = Le64(bytes.data() + 8);
    if (h.Length < HeaderBytes || h.Length % 4 != 0) return std::nullopt;
    h.PacketMd5 = Md5At(bytes.data() + 16);
    h.SetId = Md5At(bytes.data() + 32);
    std::memcpy(h.Type.data(), bytes.data() + 48, h.Type.size());
    return h;
}

std::optional<MainPacket> ParseMain(std::span<const std::uint8_t> body) {
    if (body.size() < 12 || (body.size() - 12) % 16 != 0) return std::nullopt;
    MainPacket m;
    m.SliceSize = Le64(body.data());
    const std::uint64_t recovery = Le32(body.data() + 8);
    const std::uint64_t ids = (body.size() - 12) / 16;
    if (m.SliceSize == 0 || m.SliceSize % 4 != 0 || recovery > ids) return std::nullopt;
    m.RecoveryFiles.reserve(static_cast<std::size_t>(recovery));
    m.NonRecoveryFiles.reserve(static_cast<std::size_t>(ids - recovery));
    for (std::uint64_t i = 0; i < ids; ++i) {
        const Md5Bytes id = Md5At(body.data() + 12 + 16 * i);
        (i < recovery ? m.RecoveryFiles : m.NonRecoveryFiles).push_back(id);
    }
    return m;
}

std::optional<FileDescPacket> ParseFileDesc(std::span<const std::uint8_t> body) {
    if (body.size() < 56) return std::nullopt;
    FileDescPacket d;
    d.FileId = Md5At(body.data());
    d.Hash = Md5At(body.data() + 16);
    d.Hash16k = Md5At(body.data() + 32);
    d.Length = Le64(body.data() + 48);
    d.Name = std::string(Unpadded(body.subspan(56)));
    return d;
}

std::optional<IfscPacket> ParseIfsc(std::span<const std::uint8_t> body) {
    if (body.size() < 16 || (body.size() - 16) % 20 != 0) return std::nullopt;
    IfscPacket p;
    p.FileId = Md5At(body.data());
    const std::size_t n = (body.size() - 16) / 20;
    p.Slices.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        const std::uint8_t* at = body.data() + 16 + 20 * i;
        p.Slices[i].Hash = Md5At(at);
        p.Slices[i].Crc = Le32(at + 16);
    }
    return p;
}

std::optional<UniNamePacket> ParseUniName(std::span<const std::uint8_t> body) {
    if (body.size() < 16) return std::nullopt;
    UniNamePacket p;
    p.FileId = Md5At(body.data());
    // Padding is whole zero code units: trailing pairs of zero bytes.
    std::size_t n = body.size() - 16;
    while (n >= 2 && body[16 + n - 1] == 0 && body[16 + n - 2] == 0)
        n -= 2;
    if (n % 2 != 0) return std::nullopt;
    p.Utf16Le.assign(reinterpret_cast<const char*>(body.data() + 16), n);
    return p;
}

std::optional<RecoverySliceHeader> ParseRecoverySliceHeader(std::span<const std::uint8_t> body) {
    if (body.size() < 4) return std::nullopt;
    return RecoverySliceHeader{Le32(body.data()), body.size() - 4};
}

std::string ParseCreator(std::span<const std::uint8_t> body) {
    return std::string(Unpadded(body));
}

std::vector<std::uint8_t> MainBody(const MainPacket& main) {
    std::vector<std::uint8_t> out;
    PutLe64(out, main.SliceSize);
    PutLe32(out, static_cast<std::uint32_t>(main.RecoveryFiles.size()));
    for (const Md5Bytes& id : main.RecoveryFiles)
        PutBytes(out, id);
    for (const Md5Bytes& id : main.NonRecoveryFiles)
        PutBytes(out, id);
    return out;
}

std::vector<std::uint8_t> FileDescBody(const FileDescPacket& desc) {
    std::vector<std::uint8_t> out;
    PutBytes(out, desc.FileId);
    PutBytes(out, desc.Hash);
    PutBytes(out, desc.Hash16k);
    PutLe64(out, desc.Length);
    out.insert(out.end(), desc.Name.begin(), desc.Name.end());
    PadTo4(out);
    return out;
}

std::vector<std::uint8_t> IfscBody(const IfscPacket& ifsc) {
    std::vector<std::uint8_t> out;
    PutBytes(out, ifsc.FileId);
    for (const SliceCheck& s : ifsc.Slices) {
        PutBytes(out, s.Hash);
        PutLe32(out, s.Crc);
    }
    return out;
}

std::vector<std::uint8_t> CreatorBody(std::string_view text) {
    std::vector<std::uint8_t> out(text.begin(), text.end());
    PadTo4(out);
    return out;
}

std::vector<std::uint8_t> UniNameBody(const UniNamePacket& name) {
    std::vector<std::uint8_t> out;
    PutBytes(out, name.FileId);
    out.insert(out.end(), name.Utf16Le.begin(), name.Utf16Le.end());
    PadTo4(out);
    return out;
}

std::vector<std::uint8_t> MakePacket(const Md5Bytes& setId, const PacketType& type,
                                     std::span<const std::uint8_t> body) {
    std::vector<std::uint8_t> out(Magic.begin(), Magic.end());
    const std::uint64_t padded = (body.size() + 3) / 4 * 4;
    PutLe64(out, HeaderBytes + padded);
    out.resize(out.size() + 16); // the MD5, filled in below
    PutBytes(out, setId);
    PutBytes(out, type);
    PutBytes(out, body);
    PadTo4(out);
    const Md5Bytes md5 = Md5Of(std::span(out).subspan(HashedFrom));
    std::copy(md5.begin(), md5.end(), out.begin() + 16);
    return out;
}

Md5Bytes SetIdOf(const MainPacket& main) {
    return Md5Of(MainBody(main));
}

Md5Bytes FileIdOf(const Md5Bytes& hash16k, std::uint64_t length, std::string_view name) {
    std::vector<std::uint8_t> bytes;
    PutBytes(bytes, hash16k);
    PutLe64(bytes, length);
    bytes.insert(bytes.end(), name.begin(), name.end());
    return Md5Of(bytes);
}

} // namespace tv::par2
