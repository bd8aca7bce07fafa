#pragma once
// Menu items that both windows make alike, handed to a front end's own way of adding an item.
#include "app/TallyvaultMain.h"

#include <functional>

namespace tv {

// The option menu's items above the duplicate submenu. `add(item, click, command, evenWhileRunning)`:
// options without side effects may change while a command runs, as the logic reads them when it
// needs them.
template <class Add> void AddOptionItems(TForm1& f, Add&& add) {
    add(f.ModeChangeCmd, MenuClick::Plain, std::function<void()>([&f] { f.ModeChangeCmdClick(); }), false);
    add(f.CopyComplement, MenuClick::AutoCheck, std::function<void()>([&f] { f.CopyComplementClick(); }), true);
    add(f.FixFolder, MenuClick::Plain, std::function<void()>([&f] { f.FixFolderClick(); }), false);
    add(f.AutoMove, MenuClick::AutoCheck, std::function<void()>(), true);
    add(f.WriteCp932, MenuClick::AutoCheck, std::function<void()>(), true);
    add(f.IncludeSubFolders, MenuClick::AutoCheck, std::function<void()>(), true);
    add(f.KeepGoing, MenuClick::AutoCheck, std::function<void()>(), true);
}

// The items of the submenu of the kinds of list create mode makes: a radio item per kind, then the form.
// A kind chosen in create mode scans the folder again for it.
template <class Add> void AddListKindItems(TForm1& f, Add&& add) {
    for (TMenuItem& kind : f.ListKinds)
        add(kind, MenuClick::Radio, std::function<void()>([&f] { f.ListKindClick(); }), false);
    add(f.WriteBsdTags, MenuClick::AutoCheck, std::function<void()>(), true);
}

} // namespace tv
