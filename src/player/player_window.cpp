#include "player/player_window.h"

#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <chrono>
#include <future>
#include <system_error>

#include "player/launcher.h"
#include "player/picture.h"
#include "player/sounds.h"
#include "project/errors.h"

namespace torvana::player {

namespace {

// A hotspot whose rollover picture cannot be shown still answers on this square.

// The longest the window waits for a picture being decoded aside before it decodes it itself.
constexpr std::chrono::milliseconds kLongestWaitForPictures{30};

// The longest the player waits for a click sound to finish before an exit hotspot ends it.
constexpr int kLongestExitSoundMs = 3000;

// One line of text, cut with "..." when it does not fit; the whole text is in its tooltip.
class NoteLine : public QLabel {
public:
    using QLabel::QLabel;
    // The bar never widens for a note: a long one is cut with an ellipsis at the bar's width.
    QSize minimumSizeHint() const override { return {0, QLabel::minimumSizeHint().height()}; }
    QSize sizeHint() const override { return {0, QLabel::sizeHint().height()}; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.setPen(palette().color(QPalette::WindowText));
        const QRect area = contentsRect();
        painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                         fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
    }
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// PlayerStage

PlayerStage::PlayerStage(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("stage"));
    setFixedSize(kWidth, kHeight);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

PlayerStage::~PlayerStage() {
    // The pictures may outlive the stage (and their painters end as they go): no more repaints.
    if (backgroundAnimation_) backgroundAnimation_->OnChange = nullptr;
    for (const Spot& s : spots_)
        if (s.animation) s.animation->OnChange = nullptr;
}

void PlayerStage::setBackground(const QImage& background, std::shared_ptr<torvana::gif::Graphic> animation) {
    background_ = background;
    backgroundAnimation_ = std::move(animation);
    watch(backgroundAnimation_);
    update();
}

// Each frame an animated picture composes makes the stage repaint.
void PlayerStage::watch(const std::shared_ptr<torvana::gif::Graphic>& animation) {
    if (animation) animation->OnChange = [this] { update(); };
}

void PlayerStage::setSpots(std::vector<Spot> spots) {
    spots_ = std::move(spots);
    for (const Spot& s : spots_) watch(s.animation);
    current_ = mouseSpot_ = pressedSpot_ = -1;
    unsetCursor();
    update();
}

int PlayerStage::spotAt(const QPoint& point) const {
    for (int i = spotCount() - 1; i >= 0; --i) {
        if (spots_[size_t(i)].rect.contains(point)) return i;
    }
    return -1;
}

void PlayerStage::setCurrent(int index, bool byKeyboard) {
    currentByKeyboard_ = index >= 0 && byKeyboard;
    if (index == current_) return;
    // A rollover that is no longer shown stops animating, so hidden rollovers cost nothing; it
    // starts again from its first frame when it is shown again.
    if (current_ >= 0) {
        const auto& hidden = spots_[size_t(current_)].animation;
        const bool stillShown = hidden == backgroundAnimation_ || (index >= 0 && spots_[size_t(index)].animation == hidden);
        if (auto* gif = dynamic_cast<torvana::gif::GifPicture*>(hidden.get()); gif && !stillShown) gif->StopMainPainter();
    }
    current_ = index;
    update();
    if (index >= 0) emit entered(index);
}

void PlayerStage::followMouse(const QPoint& point) {
    const int hit = spotAt(point);
    if (hit == mouseSpot_) return;
    // Only a change of the hotspot under the mouse moves the highlight, so a keyboard choice
    // stays while the mouse rests or moves over the background.
    mouseSpot_ = hit;
    if (hit >= 0) {
        setCursor(Qt::PointingHandCursor);
    } else {
        unsetCursor();
    }
    setCurrent(hit, false);
}

void PlayerStage::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    // Black where no opaque still picture covers the stage (all of it under an animation, which
    // may leave pixels transparent).
    if (backgroundAnimation_ || background_.hasAlphaChannel() || !QRect(QPoint(0, 0), background_.size()).contains(rect()))
        painter.fillRect(rect(), Qt::black);
    if (!drawAnimation(painter, backgroundAnimation_.get(), QRect(QPoint(0, 0), background_.size()), -1) &&
        !background_.isNull()) {
        painter.drawImage(QPoint(0, 0), background_);
    }
    if (current_ >= 0) {
        const Spot& s = spots_[size_t(current_)];
        if (!drawAnimation(painter, s.animation.get(), QRect(s.rect.topLeft(), s.rollover.size()), current_) &&
            !s.rollover.isNull()) {
            painter.drawImage(s.rect.topLeft(), s.rollover);
        }
    }
    if (hasFocus() && currentByKeyboard_ && current_ >= 0) {
        // The keyboard's place, also for a hotspot without a visible picture: a black and
        // white dashed edge, which shows on any picture.
        const QRect edge = spots_[size_t(current_)].rect.adjusted(0, 0, -1, -1);
        painter.setPen(QPen(Qt::black, 1));
        painter.drawRect(edge);
        painter.setPen(QPen(Qt::white, 1, Qt::DashLine));
        painter.drawRect(edge);
    }
    if (!painted_) {
        painted_ = true;
        emit firstPainted();
    }
}

bool PlayerStage::drawAnimation(QPainter& painter, torvana::gif::Graphic* animation, const QRect& target, int index) {
    if (!animation || stillOnly_.count(animation)) return false;
    const std::string error = animation->TryDraw(painter, target);
    if (error.empty()) return true;
    // Tried once: every later paint shows the still, which is already in memory.
    stillOnly_.insert(animation);
    emit animationFailed(index, QString::fromLocal8Bit(error.c_str()));
    return false;
}

void PlayerStage::mouseMoveEvent(QMouseEvent* event) { followMouse(event->position().toPoint()); }

void PlayerStage::leaveEvent(QEvent*) {
    mouseSpot_ = -1;
    unsetCursor();
    if (!currentByKeyboard_) setCurrent(-1, false);
}

void PlayerStage::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    followMouse(event->position().toPoint());
    pressedSpot_ = mouseSpot_;
}

void PlayerStage::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    const int pressed = pressedSpot_;
    pressedSpot_ = -1;
    // A click is a press and a release on the same hotspot, as with a button.
    if (pressed >= 0 && spotAt(event->position().toPoint()) == pressed) emit activated(pressed);
}

void PlayerStage::keyPressEvent(QKeyEvent* event) {
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && current_ >= 0) {
        emit activated(current_);
        return;
    }
    QWidget::keyPressEvent(event);
}

bool PlayerStage::focusNextPrevChild(bool next) {
    if (spots_.empty()) return QWidget::focusNextPrevChild(next);
    int index = currentByKeyboard_ ? current_ + (next ? 1 : -1) : (next ? 0 : spotCount() - 1);
    if (index < 0 || index >= spotCount()) {
        if (!wrapsFocus_) {
            setCurrent(-1, true);
            return QWidget::focusNextPrevChild(next);
        }
        index = next ? 0 : spotCount() - 1;
    }
    setCurrent(index, true);
    return true;
}

void PlayerStage::focusInEvent(QFocusEvent* event) {
    if (!spots_.empty()) {
        if (event->reason() == Qt::TabFocusReason) setCurrent(0, true);
        if (event->reason() == Qt::BacktabFocusReason) setCurrent(spotCount() - 1, true);
    }
    QWidget::focusInEvent(event);
}

void PlayerStage::focusOutEvent(QFocusEvent* event) {
    if (currentByKeyboard_) setCurrent(mouseSpot_, false);
    QWidget::focusOutEvent(event);
}

// ---------------------------------------------------------------------------------------------
// PlayerWindow

PlayerWindow::PlayerWindow(PlayerProject project, Launcher& launcher,
                           std::shared_ptr<torvana::gif::PainterClock> clock, QWidget* parent,
                           PreparedMenu prepared)
    : QWidget(parent), project_(std::move(project)), launcher_(launcher) {
    setObjectName(QStringLiteral("PlayerWindow"));
    setWindowTitle(QString::fromLocal8Bit(project_.title.c_str()));

    // The pictures are decoded on a thread of their own (unless the caller started that
    // already) while the widgets and their fonts are set up here. The first frame needs only the
    // background; the rollover pictures are taken once it is on the screen.
    picturePaths_ = menuPicturePaths(project_);
    pictures_ = prepared.pictures;
    if (!pictures_) {
        pictures_ = std::make_shared<SharedPictureLoad>(picturePaths_.paths, clock);
        try {
            loadingAside_ = std::async(std::launch::async, [load = pictures_] { load->loadAside(); });
        } catch (const std::system_error&) {
            // No thread: the pictures are decoded here when they are taken.
        }
    }

    sounds_ = new SoundBank(this);

    stage_ = new PlayerStage(this);
    bar_ = new QWidget(this);
    bar_->setObjectName(QStringLiteral("bar"));
    noteLine_ = new NoteLine(bar_);
    noteLine_->setObjectName(QStringLiteral("noteLine"));
    auto* barLayout = new QHBoxLayout(bar_);
    barLayout->setContentsMargins(8, 6, 8, 6);
    barLayout->addWidget(noteLine_, 1);
    if (project_.showBrowse) {
        browseButton_ = new QPushButton(tr("&Browse"), bar_);
        browseButton_->setObjectName(QStringLiteral("browseButton"));
        browseButton_->setAutoDefault(true);  // Enter presses it when it has the focus
        connect(browseButton_, &QPushButton::clicked, this, &PlayerWindow::browse);
        barLayout->addWidget(browseButton_);
    }
    if (project_.showExit) {
        exitButton_ = new QPushButton(tr("E&xit"), bar_);
        exitButton_->setObjectName(QStringLiteral("exitButton"));
        exitButton_->setAutoDefault(true);
        connect(exitButton_, &QPushButton::clicked, this, &PlayerWindow::exitPlayer);
        barLayout->addWidget(exitButton_);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(stage_);
    layout->addWidget(bar_);
    stage_->setWrapsFocus(!browseButton_ && !exitButton_);

    for (const std::string& note : project_.notes) addNote(QString::fromLocal8Bit(note.c_str()));
    // Lays out the bar, which loads the fonts of its buttons, before waiting for the pictures.
    if (prepared.beforeFirstFont) prepared.beforeFirstFont();
    updateBar();

    if (!project_.background.empty()) {
        const Picture background =
            std::move(pictures_->take(0, 1, std::chrono::steady_clock::now() + kLongestWaitForPictures).front());
        if (background.isNull()) {
            addNote(tr("Background picture %1 not shown: %2.").arg(shown(project_.background), background.error));
        }
        stage_->setBackground(background.first(), background.animation);
    }

    connect(sounds_, &SoundBank::failed, this, [this](const QString& path, const QString& reason) {
        addNote(tr("Sound %1 not played: %2.").arg(shown(path.toLocal8Bit().toStdString()), reason));
    });
    connect(sounds_, &SoundBank::unavailable, this, [this](const QString& reason) {
        addNote(tr("Sounds not played: %1.").arg(reason));
    });

    connect(stage_, &PlayerStage::entered, this, [this](int index) {
        playSound(project_.hotspots[size_t(index)].rolloverWav);
    });
    connect(stage_, &PlayerStage::activated, this, &PlayerWindow::activateHotspot);
    // Said after the paint that found it, which must not change the window's layout.
    connect(
        stage_, &PlayerStage::animationFailed, this,
        [this](int index, const QString& reason) {
            if (index < 0) {
                addNote(tr("Background picture %1 not animated: %2.").arg(shown(project_.background), reason));
            } else {
                addNote(tr("Rollover picture %1 not animated: %2.")
                            .arg(shown(project_.hotspots[size_t(index)].rolloverImage), reason));
            }
        },
        Qt::QueuedConnection);
    // What the first frame does not need waits until it is on the screen.
    connect(stage_, &PlayerStage::firstPainted, this, &PlayerWindow::menuShown, Qt::QueuedConnection);

    updateBar();
    stage_->setFocus();
}

QString PlayerWindow::shown(const std::string& path) const {
    // Paths inside the player's folder are shown relative to it, which is what the user sees
    // on the disc. The names come from the project file: bytes that cannot be shown are escaped.
    const std::string inside = project_.folder + "/";
    std::string text = path;
    if (!project_.folder.empty() && text.compare(0, inside.size(), inside) == 0) {
        text.erase(0, inside.size());
    } else {
        const QString full = QString::fromLocal8Bit(path.c_str());
        const QString relative = QDir(QString::fromLocal8Bit(project_.folder.c_str())).relativeFilePath(full);
        if (!relative.startsWith(QLatin1String(".."))) text = relative.toLocal8Bit().toStdString();
    }
    return QStringLiteral("\"%1\"").arg(QString::fromLocal8Bit(torvana::visiblePath(text).c_str()));
}

void PlayerWindow::prepareSound(const std::string& path) {
    if (path.empty()) return;
    const QString problem = sounds_->prepare(QString::fromLocal8Bit(path.c_str()));
    if (!problem.isEmpty()) addNote(tr("Sound %1 not played: %2.").arg(shown(path), problem));
}

void PlayerWindow::playSound(const std::string& path) {
    if (!path.empty()) sounds_->play(QString::fromLocal8Bit(path.c_str()));
}

void PlayerWindow::addNote(const QString& note) {
    if (notes_.contains(note)) return;
    notes_.append(note);
    updateBar();
}

void PlayerWindow::updateBar() {
    if (notes_.isEmpty()) {
        noteLine_->clear();
        noteLine_->setToolTip(QString());
    } else {
        // The latest problem, which is the one the user just met, with the count of the others.
        noteLine_->setText(notes_.size() == 1 ? notes_.back()
                                              : tr("%1 (and %n more)", nullptr, int(notes_.size() - 1)).arg(notes_.back()));
        noteLine_->setToolTip(notes_.join(QLatin1Char('\n')));
    }
    bar_->setVisible(!notes_.isEmpty() || browseButton_ || exitButton_);
}

void PlayerWindow::activateHotspot(int index) {
    if (ending_ || index < 0 || index >= int(project_.hotspots.size())) return;
    const PlayerHotspot& h = project_.hotspots[size_t(index)];
    const int heardMs = h.clickWav.empty() ? 0 : sounds_->play(QString::fromLocal8Bit(h.clickWav.c_str()));
    switch (h.kind) {
    case ActionKind::Exit:
        if (heardMs > 0) {
            // Let the click sound be heard before the window goes.
            ending_ = true;
            setEnabled(false);
            QTimer::singleShot(qMin(heardMs, kLongestExitSoundMs), this, [this] { launcher_.quit(); });
        } else {
            exitPlayer();
        }
        break;
    case ActionKind::WebAddress: {
        const QString address = QString::fromLocal8Bit(h.target.c_str());
        if (!launcher_.openUrl(QUrl(address)))
            addNote(tr("Could not open %1.").arg(QString::fromLocal8Bit(torvana::visiblePath(h.target).c_str())));
        break;
    }
    case ActionKind::File:
        openStagedFile(h);
        break;
    }
}

void PlayerWindow::openStagedFile(const PlayerHotspot& h) {
    const QString path = QString::fromLocal8Bit(h.target.c_str());
    const QFileInfo info(path);
    if (!info.isFile()) {
        addNote(tr("Hotspot %1: the file %2 is missing.").arg(h.number).arg(shown(h.target)));
        return;
    }
    const QString absolute = info.absoluteFilePath();
    // A program is started in its own folder; if it cannot be started (a data file that merely
    // carries the executable mark, as every file on some discs does), it is opened instead.
    if (info.isExecutable() && launcher_.startProgram(absolute, info.absolutePath())) return;
    if (!launcher_.openUrl(QUrl::fromLocalFile(absolute))) {
        addNote(tr("Hotspot %1: no program could open %2.").arg(h.number).arg(shown(h.target)));
    }
}

void PlayerWindow::browse() {
    const QString folder = QFileInfo(QString::fromLocal8Bit(project_.folder.c_str())).absoluteFilePath();
    if (!launcher_.openUrl(QUrl::fromLocalFile(folder))) addNote(tr("Could not open the folder %1.").arg(folder));
}

void PlayerWindow::exitPlayer() {
    ending_ = true;
    launcher_.quit();
}

void PlayerWindow::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        exitPlayer();
        return;
    }
    QWidget::keyPressEvent(event);
}

PlayerWindow::~PlayerWindow() {
    if (pictures_) pictures_->cancel();  // and loadingAside_ waits for the picture in hand
}

// The hotspots with their rollover pictures, and a note for each picture that cannot be shown
// (once for a picture that several hotspots share).
void PlayerWindow::setUpHotspots() {
    const size_t rollovers = picturePaths_.paths.size() - picturePaths_.firstRollover;
    std::vector<Picture> loaded = pictures_->take(picturePaths_.firstRollover, rollovers,
                                                  std::chrono::steady_clock::now() + kLongestWaitForPictures);
    std::vector<PlayerStage::Spot> spots;
    for (const PlayerHotspot& h : project_.hotspots) {
        QImage rollover;
        std::shared_ptr<torvana::gif::Graphic> animation;
        if (!h.rolloverImage.empty()) {
            const Picture& found = loaded[picturePaths_.rollover(h.rolloverImage) - picturePaths_.firstRollover];
            if (found.isNull()) addNote(tr("Rollover picture %1 not shown: %2.").arg(shown(h.rolloverImage), found.error));
            rollover = found.first();
            animation = found.animation;
        }
        const torvana::HotspotRect r = torvana::hotspotRect(h.x, h.y, rollover.width(), rollover.height());
        spots.push_back({QRect(r.x, r.y, r.width, r.height), rollover, animation});
    }
    stage_->setSpots(std::move(spots));
}

// The menu's first frame is on the screen (this runs once): the hotspots get their rollover
// pictures, the sounds are checked, the sound output opens and the opening sound plays.
void PlayerWindow::menuShown() {
    setUpHotspots();
    prepareSound(project_.openingWav);
    for (const PlayerHotspot& h : project_.hotspots) {
        prepareSound(h.rolloverWav);
        prepareSound(h.clickWav);
    }
    sounds_->startOutput();
    playSound(project_.openingWav);
}

}  // namespace torvana::player
