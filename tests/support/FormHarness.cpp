#include "support/FormHarness.h"

#include "core/Entry.h"

#include <gtest/gtest.h>

namespace tv::test {

void FormHarness::Load(const std::string& name, const std::string& text) { LoadPath(dir.Write(name, text)); }

void FormHarness::LoadPath(const std::string& path) {
    form.ListPath = path;
    form.RunCommand([&] { form.OpenListFile(); }, true);
}

std::vector<std::string> FormHarness::Names() const {
    std::vector<std::string> out;
    for (std::int32_t i = 0; i < form.EntryCount; ++i) out.push_back(form.EntryTable[i].FileName);
    return out;
}

std::vector<std::string> FormHarness::Rows() const {
    std::vector<std::string> out;
    for (const TListItem& r : form.CrcList.Items()) out.push_back(std::string(MarkOfIcon(r.ImageIndex)) + " " + r.Caption());
    return out;
}

const TListItem& FormHarness::Row(const std::string& name) const {
    for (const TListItem& r : form.CrcList.Items())
        if (r.Caption() == name) return r;
    ADD_FAILURE() << "no row named " << name;
    static const TListItem none;
    return none;
}

std::string FormHarness::Mark(const std::string& name) const { return MarkOfIcon(Row(name).ImageIndex); }

} // namespace tv::test
