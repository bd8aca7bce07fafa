// Random bytes as a list file: the first byte picks the extension (and with it the dialect rules and
// the CRC1632 path), the rest is the file. The list is read through the open command in a folder of a
// few files, then read again; nothing may crash, hang, leak, write or leave the window inconsistent.
#include "FuzzSupport.h"

#include <array>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace tv::fuzz;
    if (size == 0) return 0;
    static constexpr std::array<const char*, 8> Extensions = {".sfv", ".crc", ".csv", ".txt",
                                                               ".SFV", ".Crc", ".CSV", ".TXT"};
    const std::string name = std::string("list") + Extensions[data[0] % Extensions.size()];
    FixtureFolder& folder = SharedFixture();
    const std::string path =
        folder.Write(name, std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
    LoadAndCheck(path);
    folder.CheckIntact({name});
    folder.Remove(name);
    return 0;
}
