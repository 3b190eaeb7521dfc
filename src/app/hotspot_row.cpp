// The main window's hotspot row (the track bar, the number box and the Edit button) and the
// application of the hand-off files when the main window is activated.

#include <QAction>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/main_window.h"
#include "hotspot/hand_off.h"
#include "hotspot/ui/hotspot_editor.h"
#include "project/file_io.h"
#include "project/paths.h"
#include "toolkit/widgets.h"
#include "toolkit/text.h"

void TForm1::setHotspotRange() { TrackBar1->setMax(document_.offeredSlots()); }

void TForm1::showHotspots() {
    // The selection stays where it is, within the slots now offered.
    setHotspotRange();
    showSelectedSlot();
}

void TForm1::showSelectedSlot() {
    const int position = TrackBar1->position();
    Edit5->setText(QString::number(position));
    torvana::toolkit::setHint(Edit5, torvana::toolkit::toQString(torvana::fileNamePart(state().hotspotApplication[position])));
    nameSelectedSlot();
}

void TForm1::nameSelectedSlot() {
    // A screen reader hears the selected hotspot by its number and label.
    const int position = TrackBar1->position();
    QString name = "HotSpot " + QString::number(position);
    if (!state().hotspotLabel[position].empty())
        name += ": " + torvana::toolkit::toQString(state().hotspotLabel[position]);
    Edit5->setAccessibleName(name);
    TrackBar1->setAccessibleDescription(name);
}

void TForm1::TrackBar1Change() { showSelectedSlot(); }

void TForm1::BitBtn3Click() {
    windows_.Form2->editHotspot(state().hotspot(TrackBar1->position()), ToolTipHelp1->isChecked());
    hide();
}

bool TForm1::applyHandOffFiles() {
    using namespace torvana;
    const std::string deletePath = deleteFilePath(), acceptPath = acceptFilePath();
    if (fileExists(deletePath)) {
        const int32_t number = parseDeleteFile(readFileContents(deletePath));
        deleteFile(deletePath);
        document_.deleteHotspot(number);
        // The free slot after the last hotspot changes nothing, but the selection moves to the
        // last hotspot as after any delete.
        TrackBar1->setPosition(state().hotspotCount);
        showSelectedSlot();
    }
    if (!fileExists(acceptPath)) return false;
    const AcceptedHotspot accepted = parseAcceptFile(readFileContents(acceptPath));
    // A number outside the slots is refused; the file goes, so it is not applied again.
    if (accepted.number < 1 || accepted.number > kMaxHotspots) deleteFile(acceptPath);
    document_.acceptHotspot(accepted);
    torvana::toolkit::setHint(Edit5, torvana::toolkit::toQString(fileNamePart(accepted.fields.application)));
    BitBtn3->setEnabled(true);
    deleteFile(acceptPath);
    return true;
}
