# Writes OUT, a C++ source holding each catalogue of CATALOGUES (po/<code>.po) as bytes, for
# EmbeddedCatalogues(). Run as cmake -P at build time.
set(body "")
set(list "")
set(n 0)
foreach(po ${CATALOGUES})
    get_filename_component(code ${po} NAME_WE)
    file(READ ${po} hex HEX)
    string(LENGTH "${hex}" digits)
    math(EXPR size "${digits} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "'\\\\x\\1'," bytes "${hex}")
    string(REGEX REPLACE "(('[^']*',){32})" "\\1\n" bytes "${bytes}")
    string(APPEND body "const char Po${n}[] = {\n${bytes}'\\0'};\n")
    string(APPEND list "        {\"${code}\", std::string_view(Po${n}, ${size})},\n")
    math(EXPR n "${n} + 1")
endforeach()
file(WRITE ${OUT}.new "// Made by cmake/EmbedCatalogues.cmake from po/*.po: do not edit.
#include \"app/Language.h\"

namespace tv {
namespace {
${body}} // namespace

const std::vector<EmbeddedCatalogue>& EmbeddedCatalogues() {
    static const std::vector<EmbeddedCatalogue> catalogues = {
${list}    };
    return catalogues;
}

} // namespace tv
")
file(COPY_FILE ${OUT}.new ${OUT} ONLY_IF_DIFFERENT)
file(REMOVE ${OUT}.new)
