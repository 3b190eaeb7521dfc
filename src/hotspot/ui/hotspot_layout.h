#pragma once
// The HotSpot Layout window: the project's background on the 640 x 480 stage, as the player
// shows it, with every hotspot drawn as the rectangle the player hits, to see where the
// rollovers land and to move them with the mouse or the arrow keys.
//
// It shows the project document and follows it: every change of the background field or of the
// hotspots, wherever it was made, and New, Open and Close. It changes only the X and Y of a
// hotspot it moves and the labels, each move or label one step of the document's history, which
// Undo and Redo here walk as the main window's do. Clicking a hotspot selects it on the main
// window's track bar; a double-click opens the hotspot editor for it. While the editor is open,
// nothing can be moved or undone here.

#include <QHash>
#include <QPointF>
#include <QRect>
#include <QWidget>
#include <memory>
#include <string>
#include <vector>

#include "project/staged_menu.h"

class QAction;
class QLabel;
class QLineEdit;
class QGraphicsScene;
class QGraphicsView;
class QToolButton;
class TForm2;

namespace torvana {
class ProjectDocument;
}
namespace torvana::gif {
class Graphic;
}
namespace torvana::toolkit {
class ElidedLabel;
}

class LayoutStageItem;
class LayoutHotspotItem;

// What the layout window needs of the window that selects hotspots, given at creation. The
// owner tells the window of another selected slot through showSelection.
class HotspotLayoutOwner {
public:
    virtual ~HotspotLayoutOwner() = default;
    // The slot selected in the owner, and selecting another.
    virtual int selectedSlot() const = 0;
    virtual void selectSlot(int slot) = 0;
    // Opens the hotspot editor for the selected slot, when the owner can now.
    virtual void editSelectedSlot() = 0;
};

class THotspotLayout : public QWidget {
    Q_OBJECT
public:
    // `document` is the project shown and `owner` the window that selects; both outlive this
    // window. `editor` is the hotspot editor a double-click opens, watched so that nothing
    // moves while it is open.
    THotspotLayout(torvana::ProjectDocument& document, HotspotLayoutOwner& owner, TForm2* editor,
                   QWidget* parent = nullptr);
    ~THotspotLayout() override;

    QGraphicsView* LayoutView;
    torvana::toolkit::ElidedLabel* StatusLine;
    QToolButton* UndoButton;
    QToolButton* RedoButton;
    QToolButton* ZoomOutButton;
    QToolButton* ActualSizeButton;
    QToolButton* ZoomInButton;
    QLabel* LabelCaption;       // "&Label:", the buddy of LabelEdit
    QLineEdit* LabelEdit;       // the selected hotspot's label; Enter or leaving the field applies it
    QAction* UndoAction;        // Ctrl+Z
    QAction* RedoAction;        // Ctrl+Shift+Z, Ctrl+Y
    QAction* ZoomInAction;      // Ctrl++, Ctrl+=
    QAction* ZoomOutAction;     // Ctrl+-
    QAction* ActualSizeAction;  // Ctrl+0

    // Shows the window in front, drawn from the project as it is now.
    void showLayout();

    // Moves hotspot `slot` so that its top-left corner is at (x, y), kept on the stage, as one
    // step that Undo takes back. Nothing happens when that does not change its X and Y texts.
    void moveHotspot(int slot, int x, int y);

    // Gives hotspot `slot` the label `text` as one step that Undo takes back. Nothing happens
    // when the label is already that, or the slot holds no hotspot.
    void labelHotspot(int slot, const std::string& text);

    // The zoom factor of the stage (1 is one screen pixel per picture pixel).
    double zoom() const { return zoom_; }
    void setZoom(double factor);
    void zoomIn();
    void zoomOut();

    // What the stage shows: the rectangle of hotspot `slot` (empty when it is not shown), the
    // hotspot under the mouse (0 for none), its rollover picture, and the problems met
    // while drawing (pictures that cannot be read, coordinates that are not numbers).
    QRect hotspotArea(int slot) const;
    int pointedHotspot() const;
    torvana::gif::Graphic* rolloverPicture(int slot) const;
    QStringList notes() const { return notes_; }
    // Redraws now any change of the project that is still waiting to be drawn.
    void refreshNow();

    // The project changed (drawn once after the command that changed it, when the window is
    // shown); another slot is selected.
    void scheduleRefresh();
    void showSelection();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    friend class LayoutHotspotItem;

    struct Placed {
        int slot;
        QRect rect;
        std::string rolloverImage;  // the file its picture was read from
        std::shared_ptr<torvana::gif::Graphic> picture;
        LayoutHotspotItem* item;
    };
    struct CachedPicture {
        QString stamp;  // size and time of change of the file it was read from
        std::shared_ptr<torvana::gif::Graphic> picture;
        QString error;
    };

    void buildControls();
    void refresh();
    void releasePictures();
    std::shared_ptr<torvana::gif::Graphic> picture(const QString& role, const std::string& path, QString* error,
                                                   QHash<QString, CachedPicture>& used);
    int placedIndex(int slot) const;
    int hotspotAt(const QPointF& scenePoint) const;
    int selectedSlot() const;
    void setPointed(int index);
    void select(int slot);
    void openEditor(int slot);
    void place(int index, const QPoint& topLeft);
    // Slots first to last of the document changed: a hotspot moved or labelled is shown in
    // place, any other change redraws the stage.
    void showHotspots(int first, int last);
    void applyLabelField();
    void undo();
    void redo();
    void showLabelField();
    void nudge(int dx, int dy);
    void setEditorOpen(bool open);
    void updateActions();
    void showIdleStatus();
    void showPosition(int index);

    bool mousePress(QMouseEvent* event);
    bool mouseMove(QMouseEvent* event);
    bool mouseRelease(QMouseEvent* event);

    torvana::ProjectDocument& document_;
    HotspotLayoutOwner& owner_;
    TForm2* editor_;
    QGraphicsScene* scene_;
    LayoutStageItem* stageItem_ = nullptr;
    std::shared_ptr<torvana::gif::Graphic> background_;
    std::vector<Placed> placed_;
    QHash<QString, CachedPicture> pictures_;
    QStringList notes_;
    int pointed_ = -1;  // index into placed_ of the hotspot under the mouse
    double zoom_ = 1.0;
    bool editorOpen_ = false;
    bool refreshPending_ = false;
    bool stale_ = true;

    // A drag of a hotspot with the mouse: where it started, and whether it has moved yet.
    struct Drag {
        int index = -1;
        QPoint pressPos;  // in the view
        QPointF pressScene;
        QPoint start;     // the hotspot's top-left corner when pressed
        QPoint now;
        bool moving = false;
    } drag_;
};
