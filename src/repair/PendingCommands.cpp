// Repair commands that are not built yet: the buttons and menu items do nothing until then.
// This file goes away when the repair commands land.
#include "app/TallyvaultMain.h"

namespace tv {

void TForm1::RenameButtonClick() {}
void TForm1::FileChangeCmdClick() {}
void TForm1::SearchButtonClick() {}
void TForm1::ComplementClick() {}
void TForm1::FilesDropped(const std::vector<std::string>&) {}

} // namespace tv
