// The main window's hotspot row: the track bar, the number box and the Edit button.

#include <QLineEdit>

#include "app/main_window.h"
#include "project/paths.h"
#include "toolkit/widgets.h"

void TForm1::TrackBar1Change() {
    const int position = TrackBar1->position();
    Edit5->setText(QString::number(position));
    toolkit::setHint(Edit5, QString::fromLocal8Bit(torvana::fileNamePart(state.hotspotApplication[position]).c_str()));
}

void TForm1::BitBtn3Click() {}

bool TForm1::applyHandOffFiles() { return false; }
