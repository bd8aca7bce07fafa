#include "support/TempDir.h"

#include "core/Crc32.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace tv::test {

TempDir::TempDir() {
    std::string templ = (fs::temp_directory_path() / "tallyvault-test-XXXXXX").string();
    if (!::mkdtemp(templ.data())) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

std::string TempDir::Write(std::string_view name, std::string_view content) const {
    std::string p = *this / name;
    fs::create_directories(fs::path(p).parent_path());
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + p);
    return p;
}

std::string TempDir::Read(std::string_view name) const { return ReadFile(*this / name); }

bool TempDir::Exists(std::string_view name) const { return fs::exists(*this / name); }

std::string TempDir::MakeFolder(std::string_view name) const {
    std::string p = *this / name;
    fs::create_directories(p);
    return p;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string CrcHex(std::string_view content) {
    char buf[9];
    std::snprintf(buf, sizeof buf, "%08X", Crc32(content.data(), content.size()));
    return buf;
}

std::string RandomBytes(std::size_t size, std::uint32_t seed) {
    std::mt19937 rng(seed);
    std::string out(size, '\0');
    for (char& c : out) c = static_cast<char>(rng() & 0xFF);
    return out;
}

} // namespace tv::test
