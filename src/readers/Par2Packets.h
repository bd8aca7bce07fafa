#pragma once
// The packets of a PAR 2.0 recovery set: their layout, constants and the parsing of each packet's body.
// Every packet starts with a 64-byte header:
//     "PAR2\0PKT"  length (8, header included, a multiple of 4)  MD5 (16)  set ID (16)  type (16)
// and the MD5 covers everything from the set ID to the packet's end. Integers are little-endian and
// every field starts 4-byte aligned; names and texts are padded with zero bytes to a multiple of 4.
// The parsers here only parse: they take a body that passed its MD5 check, check every length and count
// against the body's own size, and never allocate more than the body holds.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tv::par2 {

using Md5Bytes = std::array<std::uint8_t, 16>;
using PacketType = std::array<std::uint8_t, 16>;

inline constexpr std::array<std::uint8_t, 8> Magic = {'P', 'A', 'R', '2', 0, 'P', 'K', 'T'};
inline constexpr std::size_t HeaderBytes = 64;
// Where the packet's MD5 starts counting: the set ID.
inline constexpr std::size_t HashedFrom = 32;
// The first 16 KiB of a file have an MD5 of their own in its description.
inline constexpr std::uint64_t Hash16kBytes = 16 * 1024;
// The code's constants are numbered by 16 bits: no set has more input slices.
inline constexpr std::uint64_t MaxInputSlices = 32768;

constexpr PacketType TypeOf(const char (&text)[17]) {
    PacketType t{};
    for (std::size_t i = 0; i < 16; ++i)
        t[i] = static_cast<std::uint8_t>(text[i]);
    return t;
}

inline constexpr PacketType MainType = TypeOf("PAR 2.0\0Main\0\0\0\0");
inline constexpr PacketType FileDescType = TypeOf("PAR 2.0\0FileDesc");
inline constexpr PacketType IfscType = TypeOf("PAR 2.0\0IFSC\0\0\0\0");
inline constexpr PacketType RecvSlicType = TypeOf("PAR 2.0\0RecvSlic");
inline constexpr PacketType CreatorType = TypeOf("PAR 2.0\0Creator\0");
inline constexpr PacketType UniFileNameType = TypeOf("PAR 2.0\0UniFileN");
inline constexpr PacketType AsciiCommentType = TypeOf("PAR 2.0\0CommASCI");
inline constexpr PacketType UniCommentType = TypeOf("PAR 2.0\0CommUni\0");

struct PacketHeader {
    std::uint64_t Length = 0; // the whole packet, header included
    Md5Bytes PacketMd5{};
    Md5Bytes SetId{};
    PacketType Type{};
};

// The header at the start of `bytes` (64 of them at least): nothing when the magic is not there, or the
// length is shorter than a header or no multiple of 4.
std::optional<PacketHeader> ParseHeader(std::span<const std::uint8_t> bytes);

struct MainPacket {
    std::uint64_t SliceSize = 0;
    std::vector<Md5Bytes> RecoveryFiles;    // in the set's order: the order of the input slices
    std::vector<Md5Bytes> NonRecoveryFiles; // listed, but without slices in the recovery data
};

struct FileDescPacket {
    Md5Bytes FileId{};
    Md5Bytes Hash{};    // of the whole file
    Md5Bytes Hash16k{}; // of the first 16 KiB, or of the whole file when it is shorter
    std::uint64_t Length = 0;
    std::string Name; // the name's bytes, the zero padding taken off; "/" separates folders
};

struct SliceCheck {
    Md5Bytes Hash{};
    std::uint32_t Crc = 0; // CRC-32 (zlib's), of the slice padded with zeros to the slice size
};

struct IfscPacket {
    Md5Bytes FileId{};
    std::vector<SliceCheck> Slices;
};

struct UniNamePacket {
    Md5Bytes FileId{};
    std::string Utf16Le; // the name's UTF-16LE bytes, the zero padding taken off
};

struct RecoverySliceHeader {
    std::uint32_t Exponent = 0;
    std::uint64_t DataBytes = 0; // the slice's bytes after the exponent
};

// Each takes the body (the bytes after the header) of a packet of its type. Nothing when the lengths
// and counts do not fit the body: a slice size that is 0 or no multiple of 4, a file count beyond the
// IDs the body holds, a body cut short.
std::optional<MainPacket> ParseMain(std::span<const std::uint8_t> body);
std::optional<FileDescPacket> ParseFileDesc(std::span<const std::uint8_t> body);
std::optional<IfscPacket> ParseIfsc(std::span<const std::uint8_t> body);
std::optional<UniNamePacket> ParseUniName(std::span<const std::uint8_t> body);
std::optional<RecoverySliceHeader> ParseRecoverySliceHeader(std::span<const std::uint8_t> body);
// The creator's text (ASCII), the zero padding taken off.
std::string ParseCreator(std::span<const std::uint8_t> body);

// How many slices a file of `length` bytes has with `sliceSize` (> 0): the last one may be short.
constexpr std::uint64_t SliceCount(std::uint64_t length, std::uint64_t sliceSize) {
    return length / sliceSize + (length % sliceSize != 0 ? 1 : 0);
}

// Little-endian fields.
inline std::uint32_t Le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
inline std::uint64_t Le64(const std::uint8_t* p) {
    return static_cast<std::uint64_t>(Le32(p)) | static_cast<std::uint64_t>(Le32(p + 4)) << 32;
}
inline void PutLe32(std::vector<std::uint8_t>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutLe64(std::vector<std::uint8_t>& out, std::uint64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}
inline void PutBytes(std::vector<std::uint8_t>& out, std::span<const std::uint8_t> bytes) {
    out.insert(out.end(), bytes.begin(), bytes.end());
}

// ---- making packets (for writers of sets and for tests) ----
// The bodies of the packets above, padded as the format wants.
std::vector<std::uint8_t> MainBody(const MainPacket& main);
std::vector<std::uint8_t> FileDescBody(const FileDescPacket& desc);
std::vector<std::uint8_t> IfscBody(const IfscPacket& ifsc);
std::vector<std::uint8_t> CreatorBody(std::string_view text);
std::vector<std::uint8_t> UniNameBody(const UniNamePacket& name);
// A whole packet: the header with its length and MD5, then the body (padded to a multiple of 4).
std::vector<std::uint8_t> MakePacket(const Md5Bytes& setId, const PacketType& type, std::span<const std::uint8_t> body);
// The set ID: the MD5 of the Main packet's body.
Md5Bytes SetIdOf(const MainPacket& main);
// A file's ID: the MD5 of its 16 KiB hash, its length and its name (as the description holds them).
Md5Bytes FileIdOf(const Md5Bytes& hash16k, std::uint64_t length, std::string_view name);

} // namespace tv::par2
