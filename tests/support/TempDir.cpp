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
    // A fresh name made by trial: create_directory reports a name already taken.
    std::random_device seed;
    std::mt19937_64 rng(seed());
    const fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "tallyvault-test-%012llx",
                      static_cast<unsigned long long>(rng() & 0xFFFFFFFFFFFFull));
        std::error_code ec;
        if (fs::create_directory(base / name, ec)) {
            path_ = Utf8Of(base / name);
            return;
        }
    }
    throw std::runtime_error("no temporary folder could be made");
}

TempDir::~TempDir() {
    std::error_code ec;
    fs::permissions(PathOf(path_), fs::perms::owner_all, fs::perm_options::add, ec);
    fs::remove_all(PathOf(path_), ec);
}

std::string TempDir::operator/(std::string_view name) const {
    std::string path = path_ + "/" + std::string(name);
#ifdef _WIN32
    // The native form, as the program's own joins and the system's full paths spell it.
    for (char& c : path)
        if (c == '/') c = '\\';
#endif
    return path;
}

std::string TempDir::Write(std::string_view name, std::string_view content) const {
    std::string p = *this / name;
    fs::create_directories(PathOf(p).parent_path());
    std::ofstream out(PathOf(p), std::ios::binary | std::ios::trunc);
    out.write(content.data(), static_cast<std::streamsize>(content.size()));
    if (!out) throw std::runtime_error("cannot write " + p);
    return p;
}

std::string TempDir::Read(std::string_view name) const { return ReadFile(*this / name); }

bool TempDir::Exists(std::string_view name) const { return fs::exists(PathOf(*this / name)); }

std::string TempDir::MakeFolder(std::string_view name) const {
    std::string p = *this / name;
    fs::create_directories(PathOf(p));
    return p;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(PathOf(path), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

fs::path PathOf(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void SetEnv(const char* name, const std::string& value) {
#ifdef _WIN32
    ::_putenv_s(name, value.c_str());
#else
    ::setenv(name, value.c_str(), 1);
#endif
}

void UnsetEnv(const char* name) {
#ifdef _WIN32
    ::_putenv_s(name, "");
#else
    ::unsetenv(name);
#endif
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
