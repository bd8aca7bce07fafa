#pragma once
// Digests by the platform's own service: OpenSSL's libcrypto (EVP) on Linux, CNG (BCrypt) on Windows;
// BLAKE3 by our own code everywhere, and SHA-224 and BLAKE2b by ours where CNG lacks them. CRC-32 is not
// here: its kernels are our own (core/Crc32.h).
#include "core/ContentKey.h"

#include <cstddef>
#include <memory>

namespace tv {

class Digester {
public:
    virtual ~Digester() = default;
    virtual void Update(const void* data, std::size_t size) = 0;
    // The digest of everything given so far; the digester is spent afterwards.
    virtual ContentKey Final() = 0;
};

// A digester of `algorithm` (any but CRC-32). A platform that cannot make one raises IoError.
std::unique_ptr<Digester> MakeDigester(HashAlgorithm algorithm);

// A digester of our own code for `algorithm` (SHA-224, BLAKE2b, BLAKE3); nothing for the others.
std::unique_ptr<Digester> MakeOwnDigester(HashAlgorithm algorithm);

// A digester of `bytes` bytes (1 to 64): `algorithm`'s own when that is its length, else BLAKE2b of the
// length asked for (our own code on every platform; the others have one length only).
std::unique_ptr<Digester> MakeDigester(HashAlgorithm algorithm, std::size_t bytes);

// The digest of a block in memory, for tests and small inputs.
ContentKey DigestOf(HashAlgorithm algorithm, const void* data, std::size_t size);

} // namespace tv
