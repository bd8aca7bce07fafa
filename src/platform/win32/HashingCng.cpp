// Digests through Windows' own service, CNG (BCrypt). CNG has no SHA-224, BLAKE2b or BLAKE3: ours serve them.
#include "platform/Errors.h"
#include "platform/Hashing.h"

#include <windows.h>

#include <bcrypt.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string>

namespace tv {

namespace {

const wchar_t* CngName(HashAlgorithm a) {
    switch (a) {
    case HashAlgorithm::Md5:
        return BCRYPT_MD5_ALGORITHM;
    case HashAlgorithm::Sha1:
        return BCRYPT_SHA1_ALGORITHM;
    case HashAlgorithm::Sha256:
        return BCRYPT_SHA256_ALGORITHM;
    case HashAlgorithm::Sha384:
        return BCRYPT_SHA384_ALGORITHM;
    case HashAlgorithm::Sha512:
        return BCRYPT_SHA512_ALGORITHM;
    case HashAlgorithm::Crc32:
    case HashAlgorithm::Sha224:
    case HashAlgorithm::Blake2b512:
    case HashAlgorithm::Blake3:
        break;
    }
    return nullptr;
}

[[noreturn]] void Fail(HashAlgorithm a, NTSTATUS status) {
    char reason[32];
    std::snprintf(reason, sizeof reason, "NTSTATUS 0x%08lX", static_cast<unsigned long>(status));
    throw IoError(std::string("Cannot compute ") + InfoOf(a).ColumnTitle, reason);
}

// Each provider is opened once for the process and shared by every hash made from it: opening one
// costs far more than hashing a small file.
class Providers {
public:
    Providers() {
        for (const AlgorithmInfo& info : Algorithms) {
            const std::size_t i = static_cast<std::size_t>(info.Algorithm);
            if (const wchar_t* name = CngName(info.Algorithm))
                status_[i] = BCryptOpenAlgorithmProvider(&handles_[i], name, nullptr, 0);
        }
    }
    ~Providers() {
        for (BCRYPT_ALG_HANDLE h : handles_)
            if (h) BCryptCloseAlgorithmProvider(h, 0);
    }
    Providers(const Providers&) = delete;
    Providers& operator=(const Providers&) = delete;

    BCRYPT_ALG_HANDLE Of(HashAlgorithm a) const {
        const std::size_t i = static_cast<std::size_t>(a);
        if (!handles_[i]) Fail(a, status_[i]);
        return handles_[i];
    }

private:
    std::array<BCRYPT_ALG_HANDLE, HashAlgorithmCount> handles_{};
    std::array<NTSTATUS, HashAlgorithmCount> status_{};
};

const Providers& SharedProviders() {
    static const Providers providers;
    return providers;
}

class CngDigester final : public Digester {
public:
    explicit CngDigester(HashAlgorithm a) : algorithm_(a) {
        // The hash object's memory is CNG's own (no buffer given).
        const NTSTATUS status = BCryptCreateHash(SharedProviders().Of(a), &hash_, nullptr, 0, nullptr, 0, 0);
        if (!BCRYPT_SUCCESS(status)) Fail(a, status);
    }
    ~CngDigester() override {
        if (hash_) BCryptDestroyHash(hash_);
    }
    CngDigester(const CngDigester&) = delete;
    CngDigester& operator=(const CngDigester&) = delete;

    void Update(const void* data, std::size_t size) override {
        // BCryptHashData takes at most 4 GiB less a byte at a time.
        auto* p = static_cast<PUCHAR>(const_cast<void*>(data));
        while (size > 0) {
            const ULONG n = static_cast<ULONG>(std::min<std::size_t>(size, 0x40000000u));
            const NTSTATUS status = BCryptHashData(hash_, p, n, 0);
            if (!BCRYPT_SUCCESS(status)) Fail(algorithm_, status);
            p += n;
            size -= n;
        }
    }

    ContentKey Final() override {
        std::array<std::uint8_t, MaxDigestBytes> out{};
        const NTSTATUS status = BCryptFinishHash(hash_, out.data(), static_cast<ULONG>(DigestBytes(algorithm_)), 0);
        if (!BCRYPT_SUCCESS(status)) Fail(algorithm_, status);
        return ContentKey::Of(algorithm_, out.data());
    }

private:
    HashAlgorithm algorithm_;
    BCRYPT_HASH_HANDLE hash_ = nullptr;
};

} // namespace

std::unique_ptr<Digester> MakeDigester(HashAlgorithm algorithm) {
    if (CngName(algorithm) == nullptr)
        if (std::unique_ptr<Digester> own = MakeOwnDigester(algorithm)) return own;
    if (CngName(algorithm) == nullptr) throw IoError(std::string("Cannot compute ") + InfoOf(algorithm).ColumnTitle);
    return std::make_unique<CngDigester>(algorithm);
}

} // namespace tv
