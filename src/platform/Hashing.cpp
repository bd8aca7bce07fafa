#include "platform/Hashing.h"

namespace tv {

ContentKey DigestOf(HashAlgorithm algorithm, const void* data, std::size_t size) {
    std::unique_ptr<Digester> d = MakeDigester(algorithm);
    d->Update(data, size);
    return d->Final();
}

} // namespace tv
