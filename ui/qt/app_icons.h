#pragma once
// ImageList1: the toolbar, action and menu images, drawn by the program itself.
#include <QIcon>

namespace hexloader::icons {

QIcon SelectFile();  // image 0: an open folder with a document
QIcon Port();        // image 1: a serial connector
QIcon Begin();       // image 2: a green arrow into a chip
QIcon Exit();        // image 3: a door with an arrow out
QIcon PortItem();    // image 9: a small connector for the Port menu's items

}  // namespace hexloader::icons
