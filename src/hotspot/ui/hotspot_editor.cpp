#include "hotspot/ui/hotspot_editor.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "hotspot/hand_off.h"
#include "media/media_probe.h"
#include "project/file_io.h"
#include "project/staged_menu.h"
#include "toolkit/artwork.h"
#include "toolkit/message_box.h"
#include "toolkit/pointer.h"
#include "toolkit/widgets.h"
#include "toolkit/text.h"

namespace {

QLabel* label(const char* name, const QString& text, QWidget* parent, bool bold = false,
              Qt::Alignment align = Qt::AlignRight | Qt::AlignVCenter) {
    QLabel* l = bold ? torvana::toolkit::boldLabel(text, parent) : new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(align);
    return l;
}

QLineEdit* edit(const char* name, const QString& hint, int width, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMinimumWidth(width);
    torvana::toolkit::setHint(e, hint);
    return e;
}

torvana::toolkit::BrowsePicture* picture(const char* name, QWidget* parent) {
    auto* p = new torvana::toolkit::BrowsePicture(parent);
    p->setObjectName(name);
    return p;
}

}  // namespace

TForm2::TForm2(HotspotEditorOwner owner, QWidget* parent) : QWidget(parent, Qt::Window), owner_(std::move(owner)) {
    setObjectName("Form2");
    setWindowTitle("Torvana");
    setWindowIcon(torvana::toolkit::programIcon());
    setMouseTracking(true);
    installEventFilter(this);

    Label1 = torvana::toolkit::boldLabel("Editing HotSpot: ", this, 12);
    Label1->setObjectName("Label1");
    Label9 = label("Label9", "BOLD fields are required", this, false, Qt::AlignLeft | Qt::AlignVCenter);
    Label2 = label("Label2", "Application:", this, true);
    Edit1 = edit("Edit1", "Search for any type of file (or url) to launch for this HotSpot", 225, this);
    Image1 = picture("Image1", this);
    Label10 = label("Label10", "Enter 'exit' for", this, false, Qt::AlignLeft | Qt::AlignBottom);
    Label11 = label("Label11", "the exit action", this, false, Qt::AlignLeft | Qt::AlignTop);
    Label5 = label("Label5", "Rollover Image:", this, true);
    Edit2 = edit("Edit2", "Select an image to overlay the background image when the mouse is over it", 225, this);
    Image4 = picture("Image4", this);
    Label6 = label("Label6", "Images' top left", this, true, Qt::AlignRight | Qt::AlignBottom);
    Label12 = label("Label12", "coordinates:", this, true, Qt::AlignRight | Qt::AlignTop);
    const int coordinateWidth = std::max(33, fontMetrics().horizontalAdvance("0000") + 12);
    Edit5 = edit("Edit5", "Enter the Rollover images' top left X coordinate", coordinateWidth, this);
    Edit6 = edit("Edit6", "Enter the Rollover images' top left Y coordinate", coordinateWidth, this);
    Edit5->setMaximumWidth(coordinateWidth);
    Edit6->setMaximumWidth(coordinateWidth);
    Label7 = label("Label7", "X (1-640)", this, false, Qt::AlignCenter);
    Label8 = label("Label8", "Y (1-480)", this, false, Qt::AlignCenter);
    Label3 = label("Label3", "Rollover WAV:", this);
    Edit3 = edit("Edit3", "The sound when the the mouse is over this HotSpot", 225, this);
    Image2 = picture("Image2", this);
    Label4 = label("Label4", "Click WAV:", this);
    Edit4 = edit("Edit4", "The sound when a HotSpot gets clicked", 225, this);
    Image3 = picture("Image3", this);

    BitBtn1 = new QPushButton(torvana::toolkit::okGlyph(), "OK", this);
    BitBtn1->setObjectName("BitBtn1");
    torvana::toolkit::setHint(BitBtn1, "Accept changes");
    BitBtn3 = new QPushButton(torvana::toolkit::deleteGlyph(), "Delete", this);
    BitBtn3->setObjectName("BitBtn3");
    torvana::toolkit::setHint(BitBtn3, "Delete current HotSpot");
    BitBtn2 = new QPushButton(torvana::toolkit::cancelGlyph(), "Cancel", this);
    BitBtn2->setObjectName("BitBtn2");
    torvana::toolkit::setHint(BitBtn2, "Cancel and close this form");
    for (QPushButton* b : {BitBtn1, BitBtn2, BitBtn3}) {
        b->setMinimumSize(75, 25);
        b->setAutoDefault(true);  // Enter on a focused button presses that button
    }

    for (QLineEdit* e : {Edit1, Edit2, Edit3, Edit4}) {
        e->setMouseTracking(true);
        e->installEventFilter(this);
    }
    for (torvana::toolkit::BrowsePicture* p : {Image1, Image2, Image3, Image4}) p->installEventFilter(this);
    Image1->setField(Edit1);
    Image4->setField(Edit2);
    Image2->setField(Edit3);
    Image3->setField(Edit4);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm2::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm2::BitBtn3Click);
    connect(Image1, &torvana::toolkit::BrowsePicture::clicked, this, &TForm2::Image1Click);
    connect(Image2, &torvana::toolkit::BrowsePicture::clicked, this, &TForm2::Image2Click);
    connect(Image3, &torvana::toolkit::BrowsePicture::clicked, this, &TForm2::Image3Click);
    connect(Image4, &torvana::toolkit::BrowsePicture::clicked, this, &TForm2::Image4Click);

    // Arrangement: labels right-aligned before the fields, browse pictures after them.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(9);
    grid->setColumnStretch(1, 1);
    grid->addWidget(Label9, 0, 1);
    grid->addWidget(Label2, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Image1, 1, 2);
    auto* exitHint = new QVBoxLayout;
    exitHint->setSpacing(0);
    exitHint->addWidget(Label10);
    exitHint->addWidget(Label11);
    grid->addLayout(exitHint, 1, 3);
    grid->addWidget(Label5, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(Image4, 2, 2);

    auto* coordinateLabels = new QVBoxLayout;
    coordinateLabels->setSpacing(0);
    coordinateLabels->addWidget(Label6);
    coordinateLabels->addWidget(Label12);
    grid->addLayout(coordinateLabels, 3, 0, Qt::AlignTop);
    auto* coordinates = new QGridLayout;
    coordinates->setHorizontalSpacing(24);
    coordinates->setVerticalSpacing(2);
    coordinates->addWidget(Edit5, 0, 0, Qt::AlignHCenter);
    coordinates->addWidget(Edit6, 0, 1, Qt::AlignHCenter);
    coordinates->addWidget(Label7, 1, 0);
    coordinates->addWidget(Label8, 1, 1);
    coordinates->setColumnStretch(2, 1);
    grid->addLayout(coordinates, 3, 1);

    grid->addWidget(Label3, 4, 0);
    grid->addWidget(Edit3, 4, 1);
    grid->addWidget(Image2, 4, 2);
    grid->addWidget(Label4, 5, 0);
    grid->addWidget(Edit4, 5, 1);
    grid->addWidget(Image3, 5, 2);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addSpacing(29);
    buttons->addWidget(BitBtn3);
    buttons->addSpacing(29);
    buttons->addWidget(BitBtn2);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 24, 32, 24);
    layout->setSpacing(0);
    layout->addWidget(Label1, 0, Qt::AlignHCenter);
    layout->addSpacing(14);
    layout->addLayout(grid);
    layout->addSpacing(24);
    layout->addLayout(buttons);
    layout->addStretch(1);

    QWidget* order[] = {Edit1, Edit2, Edit5, Edit6, Edit3, Edit4, BitBtn1, BitBtn2, BitBtn3};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    const std::pair<QLabel*, QWidget*> captions[] = {{Label2, Edit1}, {Label5, Edit2}, {Label7, Edit5},
                                                     {Label8, Edit6}, {Label3, Edit3}, {Label4, Edit4}};
    for (const auto& [caption, field] : captions) torvana::toolkit::nameByLabel(caption, field);

    // The heading grows with the hotspot number; leave room for the widest one.
    Label1->setMinimumWidth(Label1->fontMetrics().horizontalAdvance("Editing HotSpot: 100"));
    // The size is the least: wider, the path fields grow so long paths can be read.
    setMinimumSize(QSize(506, 339).expandedTo(sizeHint()));
    resize(minimumSize());
    torvana::toolkit::prepareTextFields(this);
}

QList<QWidget*> TForm2::hintControls() const { return {Edit1, Edit2, Edit5, Edit6, Edit3, Edit4, BitBtn1, BitBtn2, BitBtn3}; }

void TForm2::editHotspot(const torvana::Hotspot& hotspot, bool hintsShown) {
    using torvana::toolkit::setFieldValue;
    // Each editing starts afresh: setting a text leaves nothing of the last one to undo.
    for (QLineEdit* e : {Edit1, Edit2, Edit5, Edit6, Edit3, Edit4}) e->setText(QString());
    setFieldValue(Edit1, hotspot.application);
    setFieldValue(Edit2, hotspot.rolloverImage);
    setFieldValue(Edit5, hotspot.x);
    setFieldValue(Edit6, hotspot.y);
    setFieldValue(Edit3, hotspot.rolloverWav);
    setFieldValue(Edit4, hotspot.clickWav);
    for (QWidget* w : hintControls()) torvana::toolkit::showHint(w, hintsShown);
    Label1->setText("Editing HotSpot: " + torvana::toolkit::toQString(owner_.hotspotNumber()));
    Edit1->setFocus();
    show();
    raise();
    activateWindow();
}

void TForm2::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    torvana::toolkit::centerOnScreen(this);
}

void TForm2::leave() {
    owner_.showAgain();
    hide();
}

void TForm2::refuse(const char* message, QLineEdit* field) {
    torvana::toolkit::showError(message, this);
    field->setFocus();
}

void TForm2::BitBtn1Click() {
    torvana::toolkit::runCommand([this] {
        // The fields go on as typed; the checks only look at them.
        using torvana::toolkit::fieldValue;
        const torvana::Hotspot fields{fieldValue(Edit1), fieldValue(Edit2), fieldValue(Edit5),
                                      fieldValue(Edit6), fieldValue(Edit3), fieldValue(Edit4)};
        if (const auto refusal = torvana::checkHotspotFields(fields)) {
            QLineEdit* const byField[] = {Edit1, Edit2, Edit5, Edit6, Edit3, Edit4};
            return refuse(refusal->message.c_str(), byField[int(refusal->field)]);
        }
        const std::string number = owner_.hotspotNumber();
        torvana::replaceFileContents(torvana::acceptFilePath(), torvana::formatAcceptFile(number, fields));
        leave();
    });
}

void TForm2::BitBtn2Click() { leave(); }

void TForm2::BitBtn3Click() {
    torvana::toolkit::runCommand([this] {
        const std::string number = owner_.hotspotNumber();
        if (!torvana::toolkit::askYesNo("Do you sure you want to delete HotSpot \"" + number + "\" ?", this)) return;
        torvana::replaceFileContents(torvana::deleteFilePath(), torvana::formatDeleteFile(number));
        torvana::toolkit::showInformation("HotSpot \"" + number + "\" deleted.", this);
        leave();
    });
}

void TForm2::browse(QLineEdit* field, const char* title, const char* filter) {
    // The dialog starts at the field's file: for the application, the program it starts.
    std::string fieldFile = torvana::toolkit::fieldValue(field);
    if (field == Edit1) {
        const torvana::HotspotAction action = torvana::hotspotAction(fieldFile, torvana::fileExists);
        fieldFile = action.kind == torvana::ActionKind::File ? action.target : std::string();
    }
    if (const auto chosen = OpenDialog1.pick(this, title, filter, fieldFile))
        torvana::toolkit::setFieldValue(field, *chosen);
}

void TForm2::Image1Click() { browse(Edit1, "Any File", "Any File (*.*) |*.*"); }
void TForm2::Image4Click() { browse(Edit2, "Image Files", torvana::kPictureFilesFilter); }
void TForm2::Image2Click() { browse(Edit3, "Any WAV File", "WAV Files (*.wav) |*.wav"); }
void TForm2::Image3Click() { browse(Edit4, "Any WAV File", "WAV Files (*.wav) |*.wav"); }

void TForm2::keyPressEvent(QKeyEvent* event) {
    // Enter presses OK wherever the focused control does not use it; Escape presses Cancel.
    if (event->key() == Qt::Key_Escape) {
        BitBtn2->click();
        return;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        BitBtn1->click();
        return;
    }
    QWidget::keyPressEvent(event);
}

void TForm2::closeEvent(QCloseEvent* event) {
    // The close box does what Cancel does: the main window comes back.
    event->accept();
    owner_.showAgain();
}

bool TForm2::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        if (watched == Image1 || watched == Image2 || watched == Image3 || watched == Image4) {
            torvana::toolkit::setPointer(torvana::toolkit::Pointer::Hand);
        } else if (watched == Edit1 || watched == Edit2 || watched == Edit3 || watched == Edit4) {
            torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow);
        } else if (watched == this) {
            const auto* move = static_cast<QMouseEvent*>(event);
            if (!childAt(move->position().toPoint())) torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow);
        }
    }
    return QWidget::eventFilter(watched, event);
}
