#pragma once
// The lines of the digest lists we write, as coreutils' checkers read them back.
#include "core/ContentKey.h"

#include <string>
#include <string_view>

namespace tv {

// "HEX  name": a name holding "\" or a line break is written in GNU's escaped form ("\" before the
// digest, "\\" and "\n" in the name), as md5sum writes it. `escape` false writes the name as it stands
// (a name whose "\" are folder separators, as a list read gave them).
std::string GnuDigestLine(const ContentKey& key, std::string_view name, bool escape = true);
// "ALGO (name) = HEX", as `sha256sum --tag` writes it (escaped the same way).
std::string BsdDigestLine(const ContentKey& key, std::string_view name, bool escape = true);

} // namespace tv
