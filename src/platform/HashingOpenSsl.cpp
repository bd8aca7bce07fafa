// Digests through OpenSSL's libcrypto (EVP), which picks the processor's SHA and AVX code paths.
#ifndef _WIN32
#include "platform/Hashing.h"

#include "platform/Errors.h"

#include <openssl/err.h>
#include <openssl/evp.h>

#include <array>
#include <string>

namespace tv {

namespace {

const char* EvpName(HashAlgorithm a) {
    switch (a) {
    case HashAlgorithm::Md5:
        return "MD5";
    case HashAlgorithm::Sha1:
        return "SHA1";
    case HashAlgorithm::Sha224:
        return "SHA2-224";
    case HashAlgorithm::Sha256:
        return "SHA2-256";
    case HashAlgorithm::Sha384:
        return "SHA2-384";
    case HashAlgorithm::Sha512:
        return "SHA2-512";
    case HashAlgorithm::Blake2b512:
        return "BLAKE2B-512";
    case HashAlgorithm::Crc32:
    case HashAlgorithm::Blake3:
        break;
    }
    return nullptr;
}

// The library's last error in words, and the queue cleared for the next call.
std::string LastReason() {
    const unsigned long code = ERR_get_error();
    ERR_clear_error();
    if (code == 0) return {};
    std::array<char, 256> text{};
    ERR_error_string_n(code, text.data(), text.size());
    return text.data();
}

[[noreturn]] void Fail(HashAlgorithm a) {
    throw IoError(std::string("Cannot compute ") + InfoOf(a).ColumnTitle, LastReason());
}

// Each algorithm is looked up once for the process: a lookup per file would cost as much as hashing a
// small one. The methods are kept to the end of the process on purpose.
const EVP_MD* Method(HashAlgorithm a) {
    struct Methods {
        std::array<EVP_MD*, HashAlgorithmCount> Of{};
        Methods() {
            for (const AlgorithmInfo& info : Algorithms)
                if (const char* name = EvpName(info.Algorithm))
                    Of[static_cast<std::size_t>(info.Algorithm)] = EVP_MD_fetch(nullptr, name, nullptr);
            ERR_clear_error();
        }
    };
    static const Methods methods;
    const EVP_MD* md = methods.Of[static_cast<std::size_t>(a)];
    if (md == nullptr) Fail(a);
    return md;
}

struct ContextFree {
    void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

class EvpDigester final : public Digester {
public:
    explicit EvpDigester(HashAlgorithm a) : algorithm_(a), ctx_(EVP_MD_CTX_new()) {
        if (!ctx_ || EVP_DigestInit_ex2(ctx_.get(), Method(a), nullptr) != 1) Fail(a);
    }

    void Update(const void* data, std::size_t size) override {
        if (size != 0 && EVP_DigestUpdate(ctx_.get(), data, size) != 1) Fail(algorithm_);
    }

    ContentKey Final() override {
        std::array<unsigned char, EVP_MAX_MD_SIZE> out{};
        unsigned int length = 0;
        if (EVP_DigestFinal_ex(ctx_.get(), out.data(), &length) != 1 || length != DigestBytes(algorithm_))
            Fail(algorithm_);
        return ContentKey::Of(algorithm_, out.data());
    }

private:
    HashAlgorithm algorithm_;
    std::unique_ptr<EVP_MD_CTX, ContextFree> ctx_;
};

} // namespace

std::unique_ptr<Digester> MakeDigester(HashAlgorithm algorithm) {
    if (algorithm == HashAlgorithm::Blake3)
        if (std::unique_ptr<Digester> own = MakeOwnDigester(algorithm)) return own;
    if (EvpName(algorithm) == nullptr) throw IoError(std::string("Cannot compute ") + InfoOf(algorithm).ColumnTitle);
    return std::make_unique<EvpDigester>(algorithm);
}

} // namespace tv
#endif
