#include "app/Elements.h"

#include "core/EntryNames.h"

namespace tv {

std::string Hex8(std::uint32_t v) {
    static constexpr char Digits[] = "0123456789ABCDEF";
    std::string s(8, '0');
    for (int i = 7; i >= 0; --i, v >>= 4)
        s[static_cast<std::size_t>(i)] = Digits[v & 0xFu];
    return s;
}

namespace {
const std::string NoText;
} // namespace

const TCrcTable* TListItem::Source() const {
    const TEntryTable* table = View ? View->Table() : nullptr;
    // A row outlives its entry only between a table change and the next ShowEntries: it shows nothing.
    if (!table || Entry < 0 || Entry >= table->Capacity()) return nullptr;
    return &(*table)[Entry];
}

std::string TListItem::Caption() const {
    const TCrcTable* e = Source();
    return e ? ShownName(*e) : std::string();
}

const EntryName& TListItem::FileName() const {
    static const EntryName none;
    const TCrcTable* e = Source();
    return e ? e->FileName : none;
}

const std::string& TListItem::ListBytes() const {
    const TCrcTable* e = Source();
    return e ? e->ListBytes : NoText;
}

std::string TListItem::SubItem(std::size_t i) const {
    const TCrcTable* e = Source();
    if (!e) return {};
    switch (i) {
    case 0:
        return View->ShowsSizes() && e->FileSize != NoSize ? std::to_string(e->FileSize) : std::string();
    case 1:
        // A digest list's key is kept beside the table; a CRC is the entry's own.
        return e->DigestSlot != 0 ? KeyText(View->Table()->KeyOf(*e)) : Hex8(e->Crc);
    // Only a row whose content was found elsewhere says where.
    case 2:
        return ImageIndex == static_cast<int>(VerifyResult::SameFileFound) ? e->SameFile : std::string();
    default:
        return {};
    }
}

std::vector<std::string> TListItem::SubItems() const {
    return {SubItem(0), SubItem(1), SubItem(2)};
}

} // namespace tv
