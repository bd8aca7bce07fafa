// Hashes one file with BLAKE3 through the program's own read loop and block, and prints the digest as
// b3sum does, for timing the whole process against it:  tallyvault_b3file FILE
#include "core/Blake3.h"
#include "core/ListedRead.h"
#include "platform/FileSystem.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <string>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s FILE\n", argv[0]);
        return 2;
    }
    try {
        const std::string path = argv[1];
        tv::FileSystem& fs = tv::RealFs();
        std::unique_ptr<tv::InputFile> file = fs.OpenRead(path);
        tv::Blake3 h;
        tv::ReadAsListed(*file, fs.FileLength(path), tv::SharedReadBlock(),
                         [&](const unsigned char* data, std::size_t size) { h.Update(data, size); });
        std::uint8_t out[tv::Blake3::DigestBytes];
        h.Final(out);
        for (std::uint8_t b : out)
            std::printf("%02x", b);
        std::printf("  %s\n", argv[1]);
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
}
