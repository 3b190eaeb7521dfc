#pragma once
// The menu window: the CD title on its bar, the 640 x 480 stage with the background picture and
// the hotspots, and below it, when there is anything to show, a bar with the note line and the
// Browse and Exit buttons.

#include <QImage>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <future>
#include <memory>
#include <set>
#include <vector>

#include "gif/qt/gif_picture.h"
#include "player/picture.h"

#include "project/staged_menu.h"

class QLabel;
class QPushButton;

namespace torvana::player {

using torvana::ActionKind;
using torvana::PlayerHotspot;
using torvana::PlayerProject;

class Launcher;
class SoundBank;

// The picture area. It knows hotspots only as rectangles with their rollover pictures; what a
// hotspot does is the window's business.
class PlayerStage : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 640;
    static constexpr int kHeight = 480;

    struct Spot {
        QRect rect;
        QImage rollover;  // drawn at rect's top-left while highlighted; null draws nothing
        // An animated rollover, drawn instead of `rollover` (its first frame).
        std::shared_ptr<torvana::gif::Graphic> animation;
    };

    explicit PlayerStage(QWidget* parent = nullptr);
    ~PlayerStage() override;

    // `animation`, when given, is drawn instead of the still background (its first frame).
    void setBackground(const QImage& background, std::shared_ptr<torvana::gif::Graphic> animation = nullptr);
    void setSpots(std::vector<Spot> spots);
    // With nothing else to move the focus to, Tab wraps from the last hotspot to the first.
    void setWrapsFocus(bool wraps) { wrapsFocus_ = wraps; }

    int spotCount() const { return int(spots_.size()); }
    const Spot& spot(int index) const { return spots_[size_t(index)]; }
    // The highlighted hotspot (under the mouse or chosen with Tab), -1 for none.
    int current() const { return current_; }
    // The hotspot at a point of the stage: the last one in the list that contains it, -1 for none.
    int spotAt(const QPoint& point) const;

    QSize sizeHint() const override { return {kWidth, kHeight}; }

signals:
    // A hotspot became highlighted.
    void entered(int index);
    // A hotspot was clicked, or Enter was pressed on it.
    void activated(int index);
    // The stage has painted for the first time: the menu is on the screen.
    void firstPainted();
    // An animated picture cannot be animated (not enough memory for its painter) and shows its
    // first frame from now on: the background (-1) or a hotspot's rollover.
    void animationFailed(int index, const QString& reason);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    bool focusNextPrevChild(bool next) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void setCurrent(int index, bool byKeyboard);
    void followMouse(const QPoint& point);

    void watch(const std::shared_ptr<torvana::gif::Graphic>& animation);
    // Draws an animated picture (of the background, -1, or a hotspot); false when there is
    // none or it cannot be animated, and its still is to be drawn instead.
    bool drawAnimation(QPainter& painter, torvana::gif::Graphic* animation, const QRect& target, int index);

    QImage background_;
    std::shared_ptr<torvana::gif::Graphic> backgroundAnimation_;
    std::vector<Spot> spots_;
    int current_ = -1;
    bool currentByKeyboard_ = false;
    int mouseSpot_ = -1;    // the hotspot the mouse was last seen over
    int pressedSpot_ = -1;  // the hotspot a left button press started on
    bool wrapsFocus_ = true;
    bool painted_ = false;
    std::set<const torvana::gif::Graphic*> stillOnly_;  // animations that failed to start
};

// What was prepared for a window before it was made (see prepareMenu).
struct PreparedMenu {
    // When set, the menu's pictures already being loaded: those of menuPicturePaths(project),
    // timed by the window's clock.
    std::shared_ptr<SharedPictureLoad> pictures;
    // When set, called before the window needs its first font.
    std::function<void()> beforeFirstFont;
};

class PlayerWindow : public QWidget {
    Q_OBJECT
public:
    // `launcher` must outlive the window. Animated pictures are timed by `clock` (the system
    // clock when null). What `prepared` does not give, the window does itself.
    PlayerWindow(PlayerProject project, Launcher& launcher,
                 std::shared_ptr<torvana::gif::PainterClock> clock = nullptr, QWidget* parent = nullptr,
                 PreparedMenu prepared = {});
    ~PlayerWindow() override;

    const PlayerProject& project() const { return project_; }
    PlayerStage* stage() const { return stage_; }
    SoundBank* sounds() const { return sounds_; }
    // The notes shown at the bottom, oldest first.
    QStringList notes() const { return notes_; }

    // What a click on hotspot `index` (of project().hotspots) does.
    void activateHotspot(int index);
    void browse();
    void exitPlayer();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void menuShown();
    void setUpHotspots();
    void addNote(const QString& note);
    void updateBar();
    QString shown(const std::string& path) const;
    void prepareSound(const std::string& path);
    void playSound(const std::string& path);
    void openStagedFile(const PlayerHotspot& hotspot);

    PlayerProject project_;
    Launcher& launcher_;
    SoundBank* sounds_;
    MenuPicturePaths picturePaths_;
    std::shared_ptr<SharedPictureLoad> pictures_;
    std::future<void> loadingAside_;  // the window's own loading, when nothing was prepared
    PlayerStage* stage_;
    QWidget* bar_;
    QLabel* noteLine_;
    QPushButton* browseButton_ = nullptr;
    QPushButton* exitButton_ = nullptr;
    QStringList notes_;
    bool ending_ = false;
};

}  // namespace torvana::player
