#pragma once
// The program's small pictures, drawn in code: the program icon, the browse picture and the
// Edit button's glyph.

#include <QIcon>
#include <QPixmap>

namespace torvana::toolkit {

QIcon programIcon();       // 16 to 256 pixels, the desktop's icon of the program
QPixmap browseBitmap();    // 20 x 17, an open folder
QIcon editGlyph();         // 16 x 16, a pencil; Qt derives the disabled image
QIcon deleteGlyph();       // 16 x 16, a waste bin; Qt derives the disabled image
QIcon okGlyph();
QIcon cancelGlyph();

}  // namespace torvana::toolkit
