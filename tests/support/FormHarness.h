#pragma once
// A fresh TForm1 over the real file system with the scripted UI, and helpers to load a list text.
#include "app/TallyvaultMain.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <string>
#include <vector>

namespace tv::test {

struct FormHarness {
    FakeUi ui;
    TForm1 form{ui, RealFs()};
    TempDir dir;
    FormHarness() { form.SteadyClock = EveryStepClock(); }

    // Writes the list text as `name` in the temp folder and loads it as the open command does.
    void Load(const std::string& name, const std::string& text);
    // Loads an existing list file by its full path.
    void LoadPath(const std::string& path);

    // Entry names 0..EntryCount-1 in table order.
    std::vector<std::string> Names() const;
    // The rows as "mark name" texts, in row order.
    std::vector<std::string> Rows() const;
    // The row whose caption is `name`; fails the test when there is none.
    const TListItem& Row(const std::string& name) const;
    // The mark of the row named `name`.
    std::string Mark(const std::string& name) const;
};

} // namespace tv::test
