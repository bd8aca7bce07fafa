#include "core/ContentKey.h"

namespace tv {

std::optional<HashAlgorithm> AlgorithmOfHexLength(std::size_t hexDigits) {
    // Lengths two algorithms share are taken for the older, far more common one: SHA-256 and SHA-512.
    for (const AlgorithmInfo& info : Algorithms)
        if (info.Algorithm != HashAlgorithm::Crc32 && info.Bytes * 2 == hexDigits) return info.Algorithm;
    return std::nullopt;
}

std::optional<HashAlgorithm> OtherOfHexLength(HashAlgorithm a) {
    if (a == HashAlgorithm::Sha256) return HashAlgorithm::Blake3;
    if (a == HashAlgorithm::Sha512) return HashAlgorithm::Blake2b512;
    return std::nullopt;
}

std::string KeyText(const ContentKey& k) {
    static constexpr char Lower[] = "0123456789abcdef";
    static constexpr char Upper[] = "0123456789ABCDEF";
    const char* digits = k.Algorithm == HashAlgorithm::Crc32 ? Upper : Lower;
    std::string s;
    s.reserve(k.Size() * 2);
    for (std::size_t i = 0; i < k.Size(); ++i) {
        s += digits[k.Bytes[i] >> 4];
        s += digits[k.Bytes[i] & 15];
    }
    return s;
}

std::optional<ContentKey> KeyFromHex(HashAlgorithm a, std::string_view hex) {
    if (hex.size() % 2 != 0 || !DigestLengthFits(a, hex.size() / 2)) return std::nullopt;
    auto nibble = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    ContentKey k;
    k.Algorithm = a;
    if (hex.size() / 2 != DigestBytes(a)) k.Length = static_cast<std::uint8_t>(hex.size() / 2);
    for (std::size_t i = 0; i < hex.size(); i += 2) {
        const int hi = nibble(hex[i]), lo = nibble(hex[i + 1]);
        if (hi < 0 || lo < 0) return std::nullopt;
        k.Bytes[i / 2] = static_cast<std::uint8_t>(hi << 4 | lo);
    }
    return k;
}

std::string Blake2bTag(std::size_t bytes) {
    std::string tag = InfoOf(HashAlgorithm::Blake2b512).BsdTag;
    if (bytes != DigestBytes(HashAlgorithm::Blake2b512)) tag.append(1, '-').append(std::to_string(bytes * 8));
    return tag;
}

} // namespace tv
