// The name conversion through iconv: glibc's CP932 table maps the Windows code points (～ U+FF5E,
// ∥ U+2225, the NEC and IBM extensions) as Windows does.
#ifndef _WIN32
#include "platform/TextEncoding.h"

#include <iconv.h>

#include <cerrno>
#include <stdexcept>

namespace tv {

namespace {

class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {
        if (cd_ == reinterpret_cast<iconv_t>(-1)) throw std::runtime_error(std::string("No converter for ") + from);
    }
    ~Converter() { iconv_close(cd_); }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    std::optional<std::string> Run(std::string_view in) {
        iconv(cd_, nullptr, nullptr, nullptr, nullptr);
        // Three bytes out for each byte in covers every direction here (a half-width kana takes three).
        std::string out(in.size() * 3 + 4, '\0');
        char* src = const_cast<char*>(in.data());
        std::size_t srcLeft = in.size();
        char* dst = out.data();
        std::size_t dstLeft = out.size();
        if (iconv(cd_, &src, &srcLeft, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
        if (iconv(cd_, nullptr, nullptr, &dst, &dstLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
        out.resize(out.size() - dstLeft);
        return out;
    }

private:
    iconv_t cd_;
};

} // namespace

std::optional<std::string> Cp932ToUtf8(std::string_view cp932) {
    thread_local Converter c("UTF-8", "CP932");
    return c.Run(cp932);
}

std::optional<std::string> Utf8ToCp932(std::string_view utf8) {
    thread_local Converter c("CP932", "UTF-8");
    return c.Run(utf8);
}

std::optional<std::string> Utf16ToUtf8(std::string_view utf16, bool bigEndian) {
    thread_local Converter le("UTF-8", "UTF-16LE"), be("UTF-8", "UTF-16BE");
    return (bigEndian ? be : le).Run(utf16);
}

} // namespace tv
#endif
