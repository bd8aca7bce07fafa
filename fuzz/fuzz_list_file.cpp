// Random bytes as a list file: the first byte picks the extension (and with it the dialect rules and
// the CRC1632 path) and whether the list is read a second time, the rest is the file. The list is read
// through the open command in a folder of a few files; nothing may crash, hang, leak, write or leave
// the window inconsistent, and a second read must give what the first gave.
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
    LoadAndCheck(path, (data[0] & 0x40) != 0);
    folder.CheckIntact({name});
    folder.Remove(name);
    return 0;
}
