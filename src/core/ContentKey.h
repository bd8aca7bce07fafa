#pragma once
// What a list names a file's content by: the algorithm of its lines and the value they give. CRC-32
// lists keep their value in the entry itself; digest lists (MD5, SHA-1, SHA-2, BLAKE2b and BLAKE3)
// keep it beside the table. Code that matches content compares ContentKeys, or sorts by
// their 32-bit prefix first and then compares the whole key.
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

namespace tv {

enum class HashAlgorithm : std::uint8_t { Crc32, Md5, Sha1, Sha224, Sha256, Sha384, Sha512, Blake2b512, Blake3 };
inline constexpr std::size_t HashAlgorithmCount = 9;
inline constexpr std::size_t MaxDigestBytes = 64;

// The algorithms one list needs, one bit each.
class AlgorithmSet {
public:
    constexpr AlgorithmSet() = default;
    constexpr AlgorithmSet(HashAlgorithm a) : bits_(Bit(a)) {}
    constexpr void Add(HashAlgorithm a) { bits_ = static_cast<std::uint16_t>(bits_ | Bit(a)); }
    constexpr bool Has(HashAlgorithm a) const { return (bits_ & Bit(a)) != 0; }
    constexpr bool Empty() const { return bits_ == 0; }
    // CRC-32 alone: the compact path that CRC-32 lists always took.
    constexpr bool OnlyCrc32() const { return bits_ == Bit(HashAlgorithm::Crc32); }
    constexpr std::uint16_t Bits() const { return bits_; }
    // BLAKE2b's digest length in bytes for this list: 64 unless a list of `b2sum -l` gave another.
    // One list has one length (b2sum writes one a run).
    constexpr std::size_t Blake2bBytes() const { return blake2bBytes_; }
    constexpr void SetBlake2bBytes(std::size_t bytes) { blake2bBytes_ = static_cast<std::uint8_t>(bytes); }
    // The length of a's digests in this list.
    constexpr std::size_t BytesOf(HashAlgorithm a) const;
    friend constexpr bool operator==(AlgorithmSet, AlgorithmSet) = default;

private:
    static constexpr std::uint16_t Bit(HashAlgorithm a) { return static_cast<std::uint16_t>(1u << static_cast<unsigned>(a)); }
    std::uint16_t bits_ = 0;
    std::uint8_t blake2bBytes_ = 64;
};

struct AlgorithmInfo {
    HashAlgorithm Algorithm;
    std::size_t Bytes;        // the value's length in bytes (hex digits: twice that)
    const char* ColumnTitle;  // the third column's heading: "CRC", "MD5", "SHA-256", ...
    const char* BsdTag;       // the tag GNU --tag and BSD tools write: "MD5", "SHA256", ...
    const char* Extension;    // the list extension it is written with, without the dot: "md5", "sha256"
    const char* SumsName;     // the name coreutils' lists go by: "MD5SUMS", ...
};

inline constexpr AlgorithmInfo Algorithms[HashAlgorithmCount] = {
    {HashAlgorithm::Crc32, 4, "CRC", "CRC32", "sfv", ""},
    {HashAlgorithm::Md5, 16, "MD5", "MD5", "md5", "MD5SUMS"},
    {HashAlgorithm::Sha1, 20, "SHA-1", "SHA1", "sha1", "SHA1SUMS"},
    {HashAlgorithm::Sha224, 28, "SHA-224", "SHA224", "sha224", "SHA224SUMS"},
    {HashAlgorithm::Sha256, 32, "SHA-256", "SHA256", "sha256", "SHA256SUMS"},
    {HashAlgorithm::Sha384, 48, "SHA-384", "SHA384", "sha384", "SHA384SUMS"},
    {HashAlgorithm::Sha512, 64, "SHA-512", "SHA512", "sha512", "SHA512SUMS"},
    {HashAlgorithm::Blake2b512, 64, "BLAKE2b", "BLAKE2b", "b2", "B2SUMS"},
    {HashAlgorithm::Blake3, 32, "BLAKE3", "BLAKE3", "b3", "B3SUMS"},
};

inline constexpr const AlgorithmInfo& InfoOf(HashAlgorithm a) { return Algorithms[static_cast<std::size_t>(a)]; }
inline constexpr std::size_t DigestBytes(HashAlgorithm a) { return InfoOf(a).Bytes; }
constexpr std::size_t AlgorithmSet::BytesOf(HashAlgorithm a) const {
    return a == HashAlgorithm::Blake2b512 ? blake2bBytes_ : DigestBytes(a);
}
// Whether a digest of `bytes` bytes may be one of a's: BLAKE2b takes any length from 1 to 64 bytes.
inline constexpr bool DigestLengthFits(HashAlgorithm a, std::size_t bytes) {
    return a == HashAlgorithm::Blake2b512 ? bytes >= 1 && bytes <= DigestBytes(a) : bytes == DigestBytes(a);
}

// The algorithm a digest of `hexDigits` hex digits is taken for when nothing else names it (the one
// place that decides; BLAKE3 and BLAKE2b share 64 and 128 digits with SHA-256 and SHA-512).
std::optional<HashAlgorithm> AlgorithmOfHexLength(std::size_t hexDigits);
// The other algorithm a length AlgorithmOfHexLength gives `a` for may stand for: BLAKE3 for SHA-256,
// BLAKE2b for SHA-512; nothing for a length only one algorithm has.
std::optional<HashAlgorithm> OtherOfHexLength(HashAlgorithm a);

// One content value. For CRC-32 the bytes are the CRC big-endian, so that Prefix() is the CRC itself;
// for a digest Prefix() is its first four bytes, the key the sorted orders use.
struct ContentKey {
    HashAlgorithm Algorithm = HashAlgorithm::Crc32;
    std::uint8_t Length = 0; // the digest's bytes when shorter than the algorithm's (BLAKE2b); 0: the algorithm's
    std::array<std::uint8_t, MaxDigestBytes> Bytes{};

    static ContentKey OfCrc(std::uint32_t crc) {
        ContentKey k;
        for (int i = 0; i < 4; ++i)
            k.Bytes[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(crc >> (24 - 8 * i));
        return k;
    }
    static ContentKey Of(HashAlgorithm a, const std::uint8_t* bytes) {
        ContentKey k;
        k.Algorithm = a;
        std::memcpy(k.Bytes.data(), bytes, DigestBytes(a));
        return k;
    }
    // A digest of `length` bytes (DigestLengthFits), as a BLAKE2b of another length than 64.
    static ContentKey Of(HashAlgorithm a, const std::uint8_t* bytes, std::size_t length) {
        ContentKey k;
        k.Algorithm = a;
        if (length != DigestBytes(a)) k.Length = static_cast<std::uint8_t>(length);
        std::memcpy(k.Bytes.data(), bytes, length);
        return k;
    }
    std::size_t Size() const { return Length != 0 ? Length : DigestBytes(Algorithm); }
    std::uint32_t Prefix() const {
        return static_cast<std::uint32_t>(Bytes[0]) << 24 | static_cast<std::uint32_t>(Bytes[1]) << 16 |
               static_cast<std::uint32_t>(Bytes[2]) << 8 | Bytes[3];
    }
    std::string_view View() const { return {reinterpret_cast<const char*>(Bytes.data()), Size()}; }
    friend bool operator==(const ContentKey& a, const ContentKey& b) {
        return a.Algorithm == b.Algorithm && a.Size() == b.Size() &&
               std::memcmp(a.Bytes.data(), b.Bytes.data(), a.Size()) == 0;
    }
};

// The value as its tools show it: CRC-32 as 8 upper-case digits, digests in lower-case hex.
std::string KeyText(const ContentKey& k);
// Hex digits (either case) of exactly DigestBytes(a) bytes (for BLAKE2b, of any length that fits);
// nothing for anything else.
std::optional<ContentKey> KeyFromHex(HashAlgorithm a, std::string_view hex);
// BLAKE2b's tag for a digest of `bytes` bytes as b2sum writes it: "BLAKE2b" for 64, else "BLAKE2b-256".
std::string Blake2bTag(std::size_t bytes);

} // namespace tv
