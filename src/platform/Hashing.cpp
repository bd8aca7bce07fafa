#include "platform/Hashing.h"

#include "core/Blake2b.h"
#include "core/Blake3.h"
#include "core/Sha224.h"

namespace tv {

namespace {

template <class Hash, HashAlgorithm A> class OwnDigester final : public Digester {
public:
    void Update(const void* data, std::size_t size) override { hash_.Update(data, size); }
    ContentKey Final() override { return ContentKey::Of(A, hash_.Final().data()); }

private:
    Hash hash_;
};

class Blake3Digester final : public Digester {
public:
    void Update(const void* data, std::size_t size) override { hash_.Update(data, size); }
    ContentKey Final() override {
        std::uint8_t out[32];
        hash_.Final(out);
        return ContentKey::Of(HashAlgorithm::Blake3, out);
    }

private:
    Blake3 hash_;
};

class Blake2bDigester final : public Digester {
public:
    explicit Blake2bDigester(std::size_t bytes) : hash_(bytes), bytes_(bytes) {}
    void Update(const void* data, std::size_t size) override { hash_.Update(data, size); }
    ContentKey Final() override { return ContentKey::Of(HashAlgorithm::Blake2b512, hash_.Final().data(), bytes_); }

private:
    Blake2b hash_;
    std::size_t bytes_;
};

} // namespace

std::unique_ptr<Digester> MakeDigester(HashAlgorithm algorithm, std::size_t bytes) {
    if (algorithm == HashAlgorithm::Blake2b512 && bytes != DigestBytes(algorithm) &&
        DigestLengthFits(algorithm, bytes))
        return std::make_unique<Blake2bDigester>(bytes);
    return MakeDigester(algorithm);
}

std::unique_ptr<Digester> MakeOwnDigester(HashAlgorithm algorithm) {
    switch (algorithm) {
    case HashAlgorithm::Sha224:
        return std::make_unique<OwnDigester<Sha224, HashAlgorithm::Sha224>>();
    case HashAlgorithm::Blake2b512:
        return std::make_unique<OwnDigester<Blake2b, HashAlgorithm::Blake2b512>>();
    case HashAlgorithm::Blake3:
        return std::make_unique<Blake3Digester>();
    default:
        return nullptr;
    }
}

ContentKey DigestOf(HashAlgorithm algorithm, const void* data, std::size_t size) {
    std::unique_ptr<Digester> d = MakeDigester(algorithm);
    d->Update(data, size);
    return d->Final();
}

} // namespace tv
