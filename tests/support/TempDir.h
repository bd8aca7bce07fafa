#pragma once
// A fresh temporary folder per test, removed with everything in it at the end.
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tv::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Path() const { return path_; }
    // The full path of a name inside the folder ("/" separated sub-folders allowed).
    std::string operator/(std::string_view name) const;

    // Writes a file (creating its folders); returns its full path.
    std::string Write(std::string_view name, std::string_view content) const;
    std::string Read(std::string_view name) const;
    bool Exists(std::string_view name) const;
    std::string MakeFolder(std::string_view name) const;

private:
    std::string path_;
};

// Reads a whole file by its full path.
std::string ReadFile(const std::string& path);
// A UTF-8 path as std::filesystem takes it, and back: on Windows a plain std::string path would be
// read in the ANSI code page.
std::filesystem::path PathOf(const std::string& utf8);
std::string Utf8Of(const std::filesystem::path& path);
// Sets or removes an environment variable of the process.
void SetEnv(const char* name, const std::string& value);
void UnsetEnv(const char* name);
// CRC-32 of a text, as eight upper-case hex digits.
std::string CrcHex(std::string_view content);
// Deterministic pseudo-random bytes.
std::string RandomBytes(std::size_t size, std::uint32_t seed);

} // namespace tv::test
