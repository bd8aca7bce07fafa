#pragma once
// The four 16 x 16 state icons of the list, by icon index: blue ring, orange exclamation mark, red
// cross, black dash. Drawn once, on first use.
#include <QIcon>

namespace tv::qt {

// The icon of a row's image index; a null icon outside 0..3.
const QIcon& StateIcon(int index);

} // namespace tv::qt
