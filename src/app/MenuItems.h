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

// The items of the submenu of the kinds of list create mode makes: a radio item per kind (a PAR2 set last,
// with the command that asks for its redundancy), then the form of digest lists.
// A kind chosen in create mode scans the folder again for it.
template <class Add> void AddListKindItems(TForm1& f, Add&& add) {
    for (TMenuItem& kind : f.ListKinds)
        add(kind, MenuClick::Radio, std::function<void()>([&f] { f.ListKindClick(); }), false);
    add(f.ListKindPar2, MenuClick::Radio, std::function<void()>([&f] { f.ListKindClick(); }), false);
    add(f.Par2RedundancyCmd, MenuClick::Plain, std::function<void()>([&f] { f.Par2RedundancyCmdClick(); }), false);
    add(f.WriteBsdTags, MenuClick::AutoCheck, std::function<void()>(), true);
}

// The items of the hashing submenu: the radio group of thread counts, then that of the disks. They change
// how later commands read, never the one running.
template <class Add> void AddWorkerItems(TForm1& f, Add&& add) {
    for (TMenuItem& n : f.ThreadChoices)
        add(n, MenuClick::Radio, std::function<void()>(), false);
    for (TMenuItem& d : f.DiskChoices)
        add(d, MenuClick::Radio, std::function<void()>(), false);
}

// The items of the language submenu: a radio item per choice, applied at once.
template <class Add> void AddLanguageItems(TForm1& f, Add&& add) {
    for (TMenuItem* item : {&f.LanguageAuto, &f.LanguageJa, &f.LanguageEn})
        add(*item, MenuClick::Radio, std::function<void()>([&f, item] { f.LanguageClick(*item); }), false);
}

} // namespace tv
