#pragma once
// A form over the real file system with the scripted UI, its settings file in a fresh folder.
#include "app/TallyvaultMain.h"
#include "platform/FileSystem.h"
#include "support/FakeUi.h"
#include "support/TempDir.h"

#include <memory>
#include <string>

namespace tv::test {

struct ShellForm {
    TempDir dir;
    FakeUi ui;
    std::unique_ptr<TForm1> form;

    ShellForm() { Reset(); }
    // A fresh form on the same folder: as if the program started again.
    void Reset() {
        form = std::make_unique<TForm1>(ui, RealFs());
        form->ProgramPath = dir / "bin/tallyvault";
        form->SettingsFile = dir / "Tallyvault.ini";
    }
    std::string Ini() const { return ReadFile(form->SettingsFile); }
};

// A list folder with one entry per state: "good" in place, "moved" present as "other.bin", "bad"
// with another content, "gone" nowhere.
inline std::string WriteFourStateList(const TempDir& dir, const std::string& sub = "set") {
    dir.Write(sub + "/good.bin", "good content");
    dir.Write(sub + "/other.bin", "moved content");
    dir.Write(sub + "/bad.bin", "changed");
    return dir.Write(sub + "/list.sfv", "good.bin " + CrcHex("good content") + "\r\nmoved.bin " +
                                            CrcHex("moved content") + "\r\nbad.bin " + CrcHex("original") +
                                            "\r\ngone.bin " + CrcHex("never here") + "\r\n");
}

} // namespace tv::test
