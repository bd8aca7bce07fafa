// The settings file at the end of a run: it is read again to keep the lines of other programs and of
// the user, and a failed read must not make the program write it over with its own keys alone.
#include "support/FakeUi.h"
#include "support/FaultyFileSystem.h"
#include "support/TempDir.h"

#include "app/TallyvaultMain.h"

#include <gtest/gtest.h>

namespace tv::test {
namespace {

TEST(SettingsAtExit, AFileThatCannotBeReadIsLeftAsItWas) {
    const std::string old = "[Tallyvault]\nComplement Copy=1\n; a line of the user\n[Other program]\nKey=1\n";
    for (Fault f : {Fault::NotFound, Fault::AccessDenied, Fault::ReadBeyondEnd}) {
        SCOPED_TRACE(FaultName(f));
        TempDir dir;
        FakeUi ui;
        FaultyFileSystem fs;
        TForm1 form(ui, fs);
        form.SettingsFile = dir.Write("tallyvault.ini", old);
        form.ReadSettings();
        form.AutoMove.SetChecked(true);
        fs.FailAt(f, 1); // the first operation of the kind: the read that keeps the file's other lines
        form.FormDestroy();
        EXPECT_EQ(dir.Read("tallyvault.ini"), old);
    }
}

TEST(SettingsAtExit, AFileThatIsThereIsUpdatedAndKeepsItsOtherLines) {
    TempDir dir;
    FakeUi ui;
    FaultyFileSystem fs;
    TForm1 form(ui, fs);
    form.SettingsFile = dir.Write("tallyvault.ini", "[Tallyvault]\nComplement Copy=1\n; a line of the user\n");
    form.ReadSettings();
    form.AutoMove.SetChecked(true);
    form.FormDestroy();
    const std::string now = dir.Read("tallyvault.ini");
    EXPECT_NE(now.find("; a line of the user"), std::string::npos);
    EXPECT_NE(now.find("Auto Complement=1"), std::string::npos);
    // An absent file is made.
    form.SettingsFile = dir / "new.ini";
    form.FormDestroy();
    EXPECT_NE(dir.Read("new.ini").find("Auto Complement=1"), std::string::npos);
}

} // namespace
} // namespace tv::test
