#include "hotspot/ui/hotspot_layout.h"

#include <QAction>
#include <QApplication>
#include <QFileInfo>
#include <QGraphicsItem>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QUndoStack>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <iterator>

#include "document/project_document.h"
#include "gif/qt/gif_picture.h"
#include "hotspot/ui/hotspot_editor.h"
#include "project/integer.h"
#include "project/paths.h"
#include "toolkit/artwork.h"
#include "toolkit/text.h"
#include "toolkit/widgets.h"

using torvana::gif::GifPicture;
using torvana::gif::Graphic;
using torvana::toolkit::toQString;

namespace {

const QRect kStage(0, 0, torvana::kStageWidth, torvana::kStageHeight);
// Around the stage a margin shows the parts of hotspots that reach past it (the player cuts
// them off), so a hotspot at X 640 can still be grabbed.
const QRect kScene = kStage.adjusted(-24, -24, 24, 24);
constexpr double kZoomLevels[] = {0.25, 0.5, 0.75, 1.0, 1.5, 2.0, 3.0, 4.0};
constexpr int kOnTop = 1000;  // the z value of the hotspot under the mouse, above every slot

const QColor kSelectedColor(255, 170, 0);
constexpr int kLabelWidth = 160;  // a longer label is cut short with an ellipsis in its tag

// Stops an animated picture's painters; the next drawing starts them afresh.
void stopPainters(Graphic* picture) {
    if (auto* gif = dynamic_cast<GifPicture*>(picture)) gif->StopAllPainters();
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The stage: black, with the background picture at its top-left corner at its own size and cut
// at the stage's edge, as the player shows it; or a short text when no project is open.

class LayoutStageItem : public QGraphicsItem {
public:
    std::shared_ptr<Graphic> picture;
    QString message;

    QRectF boundingRect() const override { return kStage; }
    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        painter->fillRect(kStage, Qt::black);
        if (picture && !picture->Empty()) {
            painter->save();
            painter->setClipRect(kStage);
            picture->TryDraw(*painter, QRect(0, 0, picture->Width(), picture->Height()));
            painter->restore();
        }
        if (!message.isEmpty()) {
            painter->setPen(QColor(200, 200, 200));
            painter->drawText(kStage.adjusted(40, 40, -40, -40), Qt::AlignCenter | Qt::TextWordWrap, message);
        }
    }
};

// ---------------------------------------------------------------------------------------------
// A hotspot: the rectangle the player hits, with its number in a tag at the top-left corner.
// Under the mouse it shows its rollover picture, as the player does; the hotspot selected on
// the main window's track bar is marked in orange.

class LayoutHotspotItem : public QGraphicsItem {
public:
    LayoutHotspotItem(THotspotLayout* owner, int index, int slot, QSize size)
        : owner_(owner), index_(index), slot_(slot), size_(size) {
        setLabel(toQString(owner->document_.state().hotspotLabel[slot]));
    }

    // A new label widens or narrows the tag.
    void setLabel(const QString& label) {
        prepareGeometryChange();
        label_ = label;
        tag_ = QRectF(QPointF(0, 0), QSizeF(tagPicture(slot_, label_, false).deviceIndependentSize()));
        update();
    }

    // The number tags, with the hotspot's label beside the number, drawn once for each text and
    // state: text is the slowest part of painting a stage of 99 hotspots.
    static const QImage& tagPicture(int slot, const QString& label, bool selected) {
        static QHash<QString, QImage> cache;
        const QString key = QString("%1 %2 %3").arg(slot).arg(selected).arg(label);
        auto found = cache.find(key);
        if (found != cache.end()) return *found;
        QFont font = QApplication::font();
        font.setBold(true);
        font.setPixelSize(11);
        const QFontMetrics metrics(font);
        QString text = QString::number(slot);
        if (!label.isEmpty()) text += "  " + metrics.elidedText(label, Qt::ElideRight, kLabelWidth);
        const qreal scale = qApp->devicePixelRatio();
        QImage tag(QSize(metrics.horizontalAdvance(text) + 6, metrics.height() + 2) * scale, QImage::Format_ARGB32_Premultiplied);
        tag.setDevicePixelRatio(scale);
        tag.fill(selected ? kSelectedColor : QColor(Qt::black));
        QPainter painter(&tag);
        painter.setPen(selected ? Qt::black : Qt::white);
        painter.setFont(font);
        painter.drawText(QRectF(QPointF(0, 0), tag.deviceIndependentSize()), Qt::AlignCenter, text);
        if (cache.size() > 1000) cache.clear();  // labels typed one letter at a time are not kept
        return *cache.insert(key, tag);
    }

    QRectF boundingRect() const override {
        return QRectF(QPointF(0, 0), QSizeF(size_)).united(tag_).adjusted(-2, -2, 2, 2);
    }

    void paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) override {
        const THotspotLayout::Placed& placed = owner_->placed_[size_t(index_)];
        const bool pointed = owner_->pointed_ == index_;
        const bool selected = owner_->selectedSlot() == placed.slot;
        const QRect area(QPoint(0, 0), size_);
        if (pointed && placed.picture && !placed.picture->Empty()) {
            placed.picture->TryDraw(*painter, area);  // a picture without memory draws nothing
        } else {
            painter->fillRect(area, selected ? QColor(255, 170, 0, 70) : QColor(255, 255, 255, 40));
        }
        const QRectF edge = QRectF(area).adjusted(0.5, 0.5, -0.5, -0.5);
        painter->setBrush(Qt::NoBrush);
        if (selected) {
            QPen pen(kSelectedColor, 2);
            pen.setCosmetic(true);
            painter->setPen(pen);
            painter->drawRect(edge);
        } else {
            // Black and white dashes show on any picture.
            QPen solid(Qt::black, 1);
            solid.setCosmetic(true);
            painter->setPen(solid);
            painter->drawRect(edge);
            QPen dashes(Qt::white, 1, Qt::DashLine);
            dashes.setCosmetic(true);
            painter->setPen(dashes);
            painter->drawRect(edge);
        }
        painter->drawImage(tag_.topLeft(), tagPicture(slot_, label_, selected));
    }

private:
    THotspotLayout* owner_;
    int index_;
    int slot_;
    QSize size_;
    QRectF tag_;
    QString label_;
};

THotspotLayout::THotspotLayout(torvana::ProjectDocument& document, HotspotLayoutOwner& owner, TForm2* editor,
                               QWidget* parent)
    : QWidget(parent, Qt::Window), document_(document), owner_(owner), editor_(editor) {
    setObjectName("HotspotLayout");
    setWindowTitle("HotSpot Layout");
    setWindowIcon(torvana::toolkit::programIcon());
    buildControls();

    // The stage follows the project, whoever changed it.
    connect(&document_, &torvana::ProjectDocument::hotspotsChanged, this, &THotspotLayout::showHotspots);
    connect(&document_, &torvana::ProjectDocument::projectReplaced, this, &THotspotLayout::scheduleRefresh);
    connect(&document_, &torvana::ProjectDocument::fieldChanged, this, [this](torvana::ProjectField field) {
        if (field == torvana::ProjectField::BackgroundImage) scheduleRefresh();
    });
    QUndoStack* history = document_.undoStack();
    connect(history, &QUndoStack::canUndoChanged, this, &THotspotLayout::updateActions);
    connect(history, &QUndoStack::canRedoChanged, this, &THotspotLayout::updateActions);
    // The buttons' tips name the change they take back or make again.
    connect(history, &QUndoStack::undoTextChanged, this, [this](const QString& text) {
        UndoAction->setToolTip(text.isEmpty() ? "Undo the last change (Ctrl+Z)" : "Undo " + text + " (Ctrl+Z)");
    });
    connect(history, &QUndoStack::redoTextChanged, this, [this](const QString& text) {
        RedoAction->setToolTip(text.isEmpty() ? "Redo the change undone last (Ctrl+Shift+Z)"
                                              : "Redo " + text + " (Ctrl+Shift+Z)");
    });
    editor_->installEventFilter(this);
    updateActions();
}

THotspotLayout::~THotspotLayout() {
    releasePictures();
    // The items ask this window how to draw themselves: they go before it does.
    delete scene_;
}

void THotspotLayout::buildControls() {
    scene_ = new QGraphicsScene(kScene, this);
    LayoutView = new QGraphicsView(scene_, this);
    LayoutView->setObjectName("LayoutView");
    LayoutView->setSceneRect(kScene);
    LayoutView->setAlignment(Qt::AlignCenter);
    LayoutView->setBackgroundBrush(QColor(96, 96, 96));
    LayoutView->setTransformationAnchor(QGraphicsView::AnchorUnderMouse);
    LayoutView->setFocusPolicy(Qt::StrongFocus);
    LayoutView->viewport()->setMouseTracking(true);
    LayoutView->viewport()->installEventFilter(this);
    LayoutView->installEventFilter(this);

    StatusLine = new torvana::toolkit::ElidedLabel(this);
    StatusLine->setObjectName("StatusLine");

    auto action = [this](const char* name, const QString& text, const QString& shown,
                         std::initializer_list<QKeySequence> keys, const QString& hint) {
        auto* a = new QAction(text, this);
        a->setObjectName(name);
        a->setIconText(shown);
        a->setShortcuts(QList<QKeySequence>(keys));
        a->setToolTip(hint);
        addAction(a);
        return a;
    };
    UndoAction = action("UndoAction", "Undo", "Undo", {QKeySequence(Qt::CTRL | Qt::Key_Z)},
                        "Undo the last change (Ctrl+Z)");
    RedoAction = action("RedoAction", "Redo", "Redo",
                        {QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), QKeySequence(Qt::CTRL | Qt::Key_Y)},
                        "Redo the change undone last (Ctrl+Shift+Z)");
    ZoomOutAction = action("ZoomOutAction", "Zoom Out", QString::fromUtf8("\u2212"),
                           {QKeySequence(Qt::CTRL | Qt::Key_Minus)}, "Zoom out (Ctrl+minus or Ctrl+wheel)");
    ActualSizeAction = action("ActualSizeAction", "Actual Size", "100%", {QKeySequence(Qt::CTRL | Qt::Key_0)},
                              "Show the background at its actual size (Ctrl+0)");
    ZoomInAction = action("ZoomInAction", "Zoom In", "+",
                          {QKeySequence(Qt::CTRL | Qt::Key_Plus), QKeySequence(Qt::CTRL | Qt::Key_Equal)},
                          "Zoom in (Ctrl+plus or Ctrl+wheel)");
    connect(UndoAction, &QAction::triggered, this, &THotspotLayout::undo);
    connect(RedoAction, &QAction::triggered, this, &THotspotLayout::redo);
    connect(ZoomOutAction, &QAction::triggered, this, &THotspotLayout::zoomOut);
    connect(ActualSizeAction, &QAction::triggered, this, [this] { setZoom(1.0); });
    connect(ZoomInAction, &QAction::triggered, this, &THotspotLayout::zoomIn);

    auto button = [this](const char* name, QAction* a) {
        auto* b = new QToolButton(this);
        b->setObjectName(name);
        b->setDefaultAction(a);
        b->setToolButtonStyle(Qt::ToolButtonTextOnly);
        b->setFocusPolicy(Qt::NoFocus);  // the keyboard has the shortcuts; focus stays on the stage
        return b;
    };
    UndoButton = button("UndoButton", UndoAction);
    RedoButton = button("RedoButton", RedoAction);
    ZoomOutButton = button("ZoomOutButton", ZoomOutAction);
    ActualSizeButton = button("ActualSizeButton", ActualSizeAction);
    ZoomInButton = button("ZoomInButton", ZoomInAction);
    // The percentage changes; the button keeps the width of the widest one.
    ActualSizeButton->setMinimumWidth(ActualSizeButton->fontMetrics().horizontalAdvance("400%") + 16);

    // The selected hotspot's label: what the players show as its tooltip and a screen reader
    // speaks. Alt+L reaches it; Enter or leaving the field applies what was typed.
    LabelEdit = new QLineEdit(this);
    LabelEdit->setObjectName("LabelEdit");
    LabelEdit->setToolTip("What the selected HotSpot does, in a few words: the menu shows it as the HotSpot's "
                          "tooltip and a screen reader speaks it");
    LabelCaption = new QLabel("&Label:", this);
    LabelCaption->setObjectName("LabelCaption");
    torvana::toolkit::nameByLabel(LabelCaption, LabelEdit);
    connect(LabelEdit, &QLineEdit::editingFinished, this, &THotspotLayout::applyLabelField);
    auto* labelRow = new QHBoxLayout;
    labelRow->setContentsMargins(6, 4, 6, 0);
    labelRow->addWidget(LabelCaption);
    labelRow->addWidget(LabelEdit, 1);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(6, 2, 6, 4);
    bar->addWidget(StatusLine, 1);
    bar->addSpacing(8);
    bar->addWidget(UndoButton);
    bar->addWidget(RedoButton);
    bar->addSpacing(12);
    bar->addWidget(ZoomOutButton);
    bar->addWidget(ActualSizeButton);
    bar->addWidget(ZoomInButton);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(LayoutView, 1);
    page->addLayout(labelRow);
    page->addLayout(bar);
    LayoutView->setMinimumSize(160, 120);
    // A label is one line of the project file: a line break or Ctrl+Z becomes a blank.
    torvana::toolkit::prepareTextFields(this);
    torvana::toolkit::leaveUndoToWindow(this);
}

void THotspotLayout::showLayout() {
    if (!property("shownOnce").toBool()) {
        // The first showing fits the whole stage at its actual size, when the screen has room.
        const int frame = 2 * LayoutView->frameWidth();
        QSize size = sizeHint() - LayoutView->sizeHint() + QSize(kScene.width() + frame, kScene.height() + frame);
        size = size.expandedTo(minimumSizeHint());
        if (QScreen* screen = QGuiApplication::primaryScreen())
            size = size.boundedTo(screen->availableGeometry().size() * 0.9);
        resize(size);
        torvana::toolkit::centerOnScreen(this);
        setProperty("shownOnce", true);
    }
    show();
    raise();
    activateWindow();
    LayoutView->setFocus();
}

// ---------------------------------------------------------------------------------------------
// Following the project

void THotspotLayout::scheduleRefresh() {
    stale_ = true;
    // Several changes in one command (Open fills every field) are drawn once, after it.
    if (!isVisible() || refreshPending_) return;
    refreshPending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (refreshPending_) refresh();
    });
}

void THotspotLayout::refreshNow() {
    if (stale_) refresh();
}

void THotspotLayout::showHotspots(int first, int last) {
    // A drag under way started from where the hotspot was before.
    if (drag_.index >= 0) {
        place(drag_.index, drag_.start);
        drag_ = Drag{};
    }
    const torvana::ProjectState& state = document_.state();
    struct Update {
        int index;
        QPoint topLeft;
    };
    std::vector<Update> updates;
    for (int slot = first; slot <= last && !stale_; ++slot) {
        const int index = placedIndex(slot);
        const auto x = torvana::tryStrToInt(state.hotspotX[slot]);
        const auto y = torvana::tryStrToInt(state.hotspotY[slot]);
        // A hotspot that comes or goes, or shows another picture, changes the stage.
        if (index < 0 || slot > state.hotspotCount || !x || !y ||
            state.hotspotRolloverImage[slot] != placed_[size_t(index)].rolloverImage)
            return scheduleRefresh();
        updates.push_back({index, QPoint(*x, *y)});
    }
    if (stale_) return scheduleRefresh();
    for (const Update& u : updates) {
        const Placed& p = placed_[size_t(u.index)];
        p.item->setLabel(toQString(state.hotspotLabel[p.slot]));
        if (p.rect.topLeft() == u.topLeft) continue;
        place(u.index, u.topLeft);
        showPosition(u.index);
    }
    showLabelField();
}

void THotspotLayout::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (stale_) refresh();
}

void THotspotLayout::hideEvent(QHideEvent* event) {
    // Nothing animates in a hidden window.
    setPointed(-1);
    if (background_) stopPainters(background_.get());
    QWidget::hideEvent(event);
}

void THotspotLayout::releasePictures() {
    auto release = [](const std::shared_ptr<Graphic>& picture) {
        if (!picture) return;
        picture->OnChange = nullptr;
        stopPainters(picture.get());
    };
    release(background_);
    for (const CachedPicture& cached : pictures_) release(cached.picture);
}

std::shared_ptr<Graphic> THotspotLayout::picture(const QString& role, const std::string& path, QString* error,
                                                 QHash<QString, CachedPicture>& used) {
    const QString key = role + '\n' + toQString(path);
    const QFileInfo info(toQString(path));
    const QString stamp =
        info.exists() ? QString("%1 %2").arg(info.size()).arg(info.lastModified().toMSecsSinceEpoch()) : QString();
    auto cached = pictures_.constFind(key);
    if (cached == pictures_.constEnd() || cached->stamp != stamp || stamp.isEmpty()) {
        CachedPicture fresh;
        fresh.stamp = stamp;
        try {
            fresh.picture = torvana::gif::LoadGraphic(path);
            if (fresh.picture->Empty()) {
                fresh.picture.reset();
                fresh.error = "the file holds no picture";
            }
        } catch (const std::exception& e) {
            fresh.error = toQString(e.what());
        }
        cached = pictures_.insert(key, fresh);
    }
    used.insert(key, *cached);
    *error = cached->error;
    return cached->picture;
}

void THotspotLayout::refresh() {
    refreshPending_ = false;
    stale_ = false;
    drag_ = Drag{};
    releasePictures();
    pointed_ = -1;
    scene_->clear();
    placed_.clear();
    notes_.clear();
    background_.reset();
    LayoutView->viewport()->unsetCursor();

    stageItem_ = new LayoutStageItem;
    scene_->addItem(stageItem_);
    const torvana::ProjectState& state = document_.state();
    if (!state.projectOpen()) {
        stageItem_->message = "No project is open.\nCreate or open one with the File menu of the main window.";
        pictures_.clear();
        showIdleStatus();
        showLabelField();
        return;
    }

    QHash<QString, CachedPicture> used;
    QString error;
    const std::string backgroundPath = document_.field(torvana::ProjectField::BackgroundImage);
    if (!backgroundPath.empty()) {
        background_ = picture("background", backgroundPath, &error, used);
        if (!background_)
            notes_ << QString("Background Image \"%1\" not shown: %2.").arg(toQString(backgroundPath), error);
    }
    stageItem_->picture = background_;
    if (background_) background_->OnChange = [this] { stageItem_->update(); };

    for (int slot = 1; slot <= std::min(state.hotspotCount, torvana::kMaxHotspots); ++slot) {
        const torvana::Hotspot h = state.hotspot(slot);
        if (h == torvana::Hotspot{}) continue;  // the empty slot of a new project
        const auto x = torvana::tryStrToInt(h.x);
        const auto y = torvana::tryStrToInt(h.y);
        if (!x || !y) {
            // The players leave such a hotspot out as well.
            notes_ << QString("HotSpot %1 left out: %2.").arg(slot).arg(toQString(torvana::invalidIntegerText(!x ? h.x : h.y)));
            continue;
        }
        std::shared_ptr<Graphic> rollover;
        if (!h.rolloverImage.empty()) {
            rollover = picture("rollover", h.rolloverImage, &error, used);
            if (!rollover)
                notes_ << QString("Rollover Image \"%1\" of HotSpot %2 not shown: %3.")
                              .arg(toQString(h.rolloverImage))
                              .arg(slot)
                              .arg(error);
        }
        const torvana::HotspotRect r =
            torvana::hotspotRect(*x, *y, rollover ? rollover->Width() : 0, rollover ? rollover->Height() : 0);
        auto* item = new LayoutHotspotItem(this, int(placed_.size()), slot, QSize(r.width, r.height));
        item->setPos(r.x, r.y);
        item->setZValue(slot);  // a later hotspot lies above an earlier one, as the player hits them
        scene_->addItem(item);
        placed_.push_back({slot, QRect(r.x, r.y, r.width, r.height), h.rolloverImage, rollover, item});
    }
    pictures_ = std::move(used);  // pictures no longer named are freed
    showIdleStatus();
    showLabelField();
}

// ---------------------------------------------------------------------------------------------
// What the stage shows

int THotspotLayout::placedIndex(int slot) const {
    for (size_t i = 0; i < placed_.size(); ++i)
        if (placed_[i].slot == slot) return int(i);
    return -1;
}

int THotspotLayout::hotspotAt(const QPointF& scenePoint) const {
    // The player's rule: the last hotspot that contains the point.
    const int px = int(std::floor(scenePoint.x()));
    const int py = int(std::floor(scenePoint.y()));
    for (int i = int(placed_.size()) - 1; i >= 0; --i) {
        const QRect& r = placed_[size_t(i)].rect;
        if (torvana::HotspotRect{r.x(), r.y(), r.width(), r.height()}.contains(px, py)) return i;
    }
    return -1;
}

QRect THotspotLayout::hotspotArea(int slot) const {
    const int index = placedIndex(slot);
    return index < 0 ? QRect() : placed_[size_t(index)].rect;
}

int THotspotLayout::pointedHotspot() const { return pointed_ < 0 ? 0 : placed_[size_t(pointed_)].slot; }

Graphic* THotspotLayout::rolloverPicture(int slot) const {
    const int index = placedIndex(slot);
    return index < 0 ? nullptr : placed_[size_t(index)].picture.get();
}

int THotspotLayout::selectedSlot() const {
    return document_.state().projectOpen() ? owner_.selectedSlot() : 0;
}

void THotspotLayout::showSelection() {
    for (const Placed& p : placed_) p.item->update();
    showLabelField();
}

void THotspotLayout::showLabelField() {
    const int slot = selectedSlot();
    const torvana::ProjectState& state = document_.state();
    const bool hotspot = slot >= 1 && slot <= std::min(state.hotspotCount, torvana::kMaxHotspots) &&
                         !(state.hotspot(slot) == torvana::Hotspot{});
    torvana::toolkit::setFieldValue(LabelEdit, hotspot ? state.hotspotLabel[slot] : std::string());
    const QString label = LabelEdit->text();
    LabelEdit->setEnabled(hotspot && !editorOpen_);
    LabelCaption->setEnabled(LabelEdit->isEnabled());
    // A screen reader names the stage by the selected hotspot, its label included.
    QString name = "HotSpot Layout";
    if (hotspot) name = QString("HotSpot %1").arg(slot) + (label.isEmpty() ? QString() : ": " + label);
    LayoutView->setAccessibleName(name);
}

void THotspotLayout::applyLabelField() {
    if (!LabelEdit->isEnabled()) return;
    labelHotspot(selectedSlot(), torvana::toolkit::fieldValue(LabelEdit));
}

void THotspotLayout::setPointed(int index) {
    if (index == pointed_) return;
    if (pointed_ >= 0) {
        Placed& old = placed_[size_t(pointed_)];
        old.item->setZValue(old.slot);
        if (old.picture) {
            old.picture->OnChange = nullptr;
            stopPainters(old.picture.get());
        }
        old.item->update();
    }
    pointed_ = index;
    if (index >= 0) {
        Placed& now = placed_[size_t(index)];
        now.item->setZValue(kOnTop);
        // An animated rollover repaints its hotspot with each frame.
        if (now.picture) now.picture->OnChange = [this] {
            if (pointed_ >= 0) placed_[size_t(pointed_)].item->update();
        };
        now.item->update();
        LayoutView->viewport()->setCursor(editorOpen_ ? Qt::ArrowCursor : Qt::SizeAllCursor);
        showPosition(index);
    } else {
        LayoutView->viewport()->unsetCursor();
        showIdleStatus();
    }
}

void THotspotLayout::showIdleStatus() {
    if (editorOpen_) {
        // Short enough for the line beside the buttons at the window's first size.
        StatusLine->setLine("HotSpots can be moved again when the HotSpot editor closes.");
    } else if (!document_.state().projectOpen()) {
        StatusLine->setLine("No project is open.");
    } else if (!notes_.isEmpty()) {
        StatusLine->setLine(notes_.size() == 1 ? notes_.first()
                                               : QString("%1 (%2 more)").arg(notes_.last()).arg(notes_.size() - 1));
        StatusLine->setToolTip(notes_.join('\n'));
    } else {
        StatusLine->setLine("Drag to move a HotSpot, arrows to nudge it; double-click edits it.");
        StatusLine->setToolTip("Drag a HotSpot to move it, or select it (click or Tab) and use the arrow keys "
                               "(Shift: ten pixels); double-click or Enter edits it.");
    }
}

void THotspotLayout::showPosition(int index) {
    const Placed& p = placed_[size_t(index)];
    QString text = QString("HotSpot %1: X %2, Y %3").arg(p.slot).arg(p.rect.x()).arg(p.rect.y());
    if (drag_.moving) {
        StatusLine->setLine(text);
        return;
    }
    text += QString(", %1 x %2").arg(p.rect.width()).arg(p.rect.height());
    const std::string& application = document_.state().hotspotApplication[p.slot];
    if (!application.empty()) text += " - " + toQString(torvana::fileNamePart(application));
    StatusLine->setLine(text);
}

// ---------------------------------------------------------------------------------------------
// Selecting, editing and moving

void THotspotLayout::select(int slot) { owner_.selectSlot(slot); }

void THotspotLayout::openEditor(int slot) {
    select(slot);
    owner_.editSelectedSlot();
}

void THotspotLayout::place(int index, const QPoint& topLeft) {
    Placed& p = placed_[size_t(index)];
    const torvana::HotspotRect r = torvana::hotspotRect(topLeft.x(), topLeft.y(), p.rect.width(), p.rect.height());
    p.rect = QRect(r.x, r.y, r.width, r.height);
    p.item->setPos(r.x, r.y);
}

void THotspotLayout::moveHotspot(int slot, int x, int y) {
    if (placedIndex(slot) < 0 || editorOpen_) return;
    document_.moveHotspot(slot, torvana::placedCoordinates(x, y));
}

void THotspotLayout::labelHotspot(int slot, const std::string& text) {
    if (editorOpen_ || slot < 1 || slot > std::min(document_.state().hotspotCount, torvana::kMaxHotspots)) return;
    document_.labelHotspot(slot, text);
}

void THotspotLayout::undo() {
    // A label typed and not yet applied is the last change, which the user takes back.
    applyLabelField();
    if (!editorOpen_) document_.undo();
}

void THotspotLayout::redo() {
    applyLabelField();
    if (!editorOpen_) document_.redo();
}

void THotspotLayout::nudge(int dx, int dy) {
    const int index = placedIndex(selectedSlot());
    if (index < 0) return;
    const QRect& r = placed_[size_t(index)].rect;
    moveHotspot(placed_[size_t(index)].slot, r.x() + dx, r.y() + dy);
}

void THotspotLayout::setEditorOpen(bool open) {
    if (open == editorOpen_) return;
    editorOpen_ = open;
    if (open && drag_.index >= 0) {
        place(drag_.index, drag_.start);
        drag_ = Drag{};
    }
    updateActions();
    showIdleStatus();
    showLabelField();
}

void THotspotLayout::updateActions() {
    UndoAction->setEnabled(!editorOpen_ && document_.undoStack()->canUndo());
    RedoAction->setEnabled(!editorOpen_ && document_.undoStack()->canRedo());
    ZoomOutAction->setEnabled(zoom_ > kZoomLevels[0]);
    ZoomInAction->setEnabled(zoom_ < kZoomLevels[std::size(kZoomLevels) - 1]);
}

// ---------------------------------------------------------------------------------------------
// Zoom

void THotspotLayout::setZoom(double factor) {
    zoom_ = std::clamp(factor, kZoomLevels[0], kZoomLevels[std::size(kZoomLevels) - 1]);
    LayoutView->setTransform(QTransform::fromScale(zoom_, zoom_));
    ActualSizeAction->setIconText(QString("%1%").arg(qRound(zoom_ * 100)));
    updateActions();
}

void THotspotLayout::zoomIn() {
    for (double level : kZoomLevels)
        if (level > zoom_ + 1e-9) return setZoom(level);
}

void THotspotLayout::zoomOut() {
    for (auto it = std::rbegin(kZoomLevels); it != std::rend(kZoomLevels); ++it)
        if (*it < zoom_ - 1e-9) return setZoom(*it);
}

// ---------------------------------------------------------------------------------------------
// Mouse and keys

bool THotspotLayout::mousePress(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return false;
    LayoutView->setFocus();
    const QPoint pos = event->position().toPoint();
    const int index = hotspotAt(LayoutView->mapToScene(pos));
    if (index < 0) return false;
    select(placed_[size_t(index)].slot);
    if (editorOpen_) return true;
    drag_ = Drag{index, pos, LayoutView->mapToScene(pos), placed_[size_t(index)].rect.topLeft(), {}, false};
    drag_.now = drag_.start;
    return true;
}

bool THotspotLayout::mouseMove(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (drag_.index < 0) {
        setPointed(hotspotAt(LayoutView->mapToScene(pos)));
        return false;
    }
    if (!(event->buttons() & Qt::LeftButton)) {
        // The button was let go where this window did not see it.
        place(drag_.index, drag_.start);
        drag_ = Drag{};
        return false;
    }
    if (!drag_.moving && (pos - drag_.pressPos).manhattanLength() < QApplication::startDragDistance()) return true;
    drag_.moving = true;
    // The whole distance from the press counts, in picture pixels at any zoom.
    const QPointF delta = LayoutView->mapToScene(pos) - drag_.pressScene;
    const QPoint target = drag_.start + QPoint(qRound(delta.x()), qRound(delta.y()));
    drag_.now = QPoint(std::clamp(target.x(), 1, torvana::kStageWidth), std::clamp(target.y(), 1, torvana::kStageHeight));
    place(drag_.index, drag_.now);
    setPointed(drag_.index);
    showPosition(drag_.index);
    return true;
}

bool THotspotLayout::mouseRelease(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drag_.index < 0) return false;
    const Drag drag = drag_;
    drag_ = Drag{};
    if (drag.moving && drag.now != drag.start) {
        moveHotspot(placed_[size_t(drag.index)].slot, drag.now.x(), drag.now.y());
    } else {
        place(drag.index, drag.start);
    }
    showPosition(drag.index);
    return true;
}

bool THotspotLayout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == editor_) {
        if (event->type() == QEvent::Show) setEditorOpen(true);
        if (event->type() == QEvent::Hide) setEditorOpen(false);
        return false;
    }
    if (watched == LayoutView->viewport()) {
        switch (event->type()) {
        case QEvent::MouseButtonPress:
            return mousePress(static_cast<QMouseEvent*>(event));
        case QEvent::MouseMove:
            return mouseMove(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonRelease:
            return mouseRelease(static_cast<QMouseEvent*>(event));
        case QEvent::MouseButtonDblClick: {
            const auto* mouse = static_cast<QMouseEvent*>(event);
            const int index = hotspotAt(LayoutView->mapToScene(mouse->position().toPoint()));
            if (mouse->button() != Qt::LeftButton || index < 0) return false;
            if (!editorOpen_) openEditor(placed_[size_t(index)].slot);
            return true;
        }
        case QEvent::Wheel: {
            const auto* wheel = static_cast<QWheelEvent*>(event);
            if (!(wheel->modifiers() & Qt::ControlModifier)) return false;
            if (wheel->angleDelta().y() > 0) zoomIn();
            if (wheel->angleDelta().y() < 0) zoomOut();
            return true;
        }
        case QEvent::Leave:
            if (drag_.index < 0) setPointed(-1);
            return false;
        default:
            return false;
        }
    }
    if (watched == LayoutView && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const Qt::KeyboardModifiers mods = key->modifiers() & ~Qt::KeypadModifier;
        if (key->key() == Qt::Key_Escape) {
            keyPressEvent(const_cast<QKeyEvent*>(key));
            return true;
        }
        // Tab and Shift+Tab go through the hotspots; Enter edits the selected one.
        if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
            if (!placed_.empty() && drag_.index < 0) {
                const int count = int(placed_.size());
                const int index = placedIndex(selectedSlot());
                const int next = index < 0 ? (key->key() == Qt::Key_Tab ? 0 : count - 1)
                                           : (index + (key->key() == Qt::Key_Tab ? 1 : count - 1)) % count;
                select(placed_[size_t(next)].slot);
            }
            return true;
        }
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && mods == Qt::NoModifier) {
            if (!editorOpen_ && drag_.index < 0 && placedIndex(selectedSlot()) >= 0) openEditor(selectedSlot());
            return true;
        }
        if (mods != Qt::NoModifier && mods != Qt::ShiftModifier) return false;
        const int step = mods == Qt::ShiftModifier ? 10 : 1;
        int dx = 0;
        int dy = 0;
        switch (key->key()) {
        case Qt::Key_Left: dx = -step; break;
        case Qt::Key_Right: dx = step; break;
        case Qt::Key_Up: dy = -step; break;
        case Qt::Key_Down: dy = step; break;
        default: return false;
        }
        // The arrows belong to the selected hotspot; the view does not scroll with them.
        if (!editorOpen_ && drag_.index < 0) nudge(dx, dy);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void THotspotLayout::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        // Escape takes back a drag under way, and otherwise closes the window.
        if (drag_.index >= 0) {
            place(drag_.index, drag_.start);
            const int index = drag_.index;
            drag_ = Drag{};
            showPosition(index);
        } else {
            close();
        }
        return;
    }
    QWidget::keyPressEvent(event);
}
