// Create-mode commands that are not built yet: the buttons and menu items do nothing until then.
// This file goes away when the create mode lands.
#include "app/TallyvaultMain.h"

namespace tv {

void TForm1::ModeButtonClick() {}
void TForm1::ModeChangeCmdClick() {}
void TForm1::FolderOpenCmdClick() {}
void TForm1::MakeCrcCmdClick() {}
void TForm1::MakeRequestCmdClick() {}

} // namespace tv
