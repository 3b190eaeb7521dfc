#pragma once
// Small controls the windows share.

#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <string>

namespace torvana::toolkit {

// A horizontal track bar that reports only the user's moves: setting its range or position from
// the program moves the thumb (clamped into the range) without emitting userMoved.
class TrackBar : public QSlider {
    Q_OBJECT
public:
    explicit TrackBar(QWidget* parent = nullptr);

    void setPosition(int position);
    void setMax(int maximum);
    int position() const { return value(); }
    int max() const { return maximum(); }

signals:
    void userMoved(int position);

private:
    bool programmatic_ = false;
};

// The small picture beside a field that opens a picker when clicked. Its hint is always shown.
// Mouse tracking is on so the window's pointer rule sees the mouse pass over it.
class BrowsePicture : public QLabel {
    Q_OBJECT
public:
    explicit BrowsePicture(QWidget* parent = nullptr);

    // The field the picture fills: F4 or Alt+Down in it does what a click on the picture does,
    // so every picker can be reached from the keyboard.
    void setField(QWidget* field);

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* field_ = nullptr;
};

// Tooltips that a setting switches on and off: the text is kept with the control and shown only
// while the switch is on.
void setHint(QWidget* control, const QString& hint);
void showHint(QWidget* control, bool shown);
QString hintOf(const QWidget* control);

}  // namespace torvana::toolkit

namespace torvana::toolkit {

// Prepares every single-line field of `window` (each QLineEdit, an editable combo box's too) for
// the values of a project: it stays on one line (a CR, LF or Ctrl+Z that is typed, pasted or set
// by the program becomes a blank, as the project and hand-off files hold one value per line),
// and it takes as much text as a project file can hold, so Open then Save gives back every
// character it read. Each window calls it once its fields exist.
void prepareTextFields(QWidget* window);

// The window's own Undo and Redo shortcuts (Ctrl+Z, Ctrl+Y, Ctrl+Shift+Z) act also while one of
// its single-line fields has the keyboard, in place of the field's own undo: for a window whose
// history holds what is typed into its fields as well.
void leaveUndoToWindow(QWidget* window);
// A project value in a field: the field shows its bytes as text (toQString), and keeps the bytes
// themselves, so a value the user leaves as it was is read back byte for byte (a Windows-1252
// title or file name stays what the project file held, not its UTF-8 spelling). Once the text
// differs, fieldValue is the text's UTF-8. Every value a program sets in a project field goes
// through setFieldValue.
void setFieldValue(QLineEdit* field, const std::string& bytes);
std::string fieldValue(const QLineEdit* field);

// Whether a text holds a character prepareTextFields would replace.
bool holdsLineBreak(const QString& text);

// Places a top-level window in the middle of the screen it is on (or the primary screen).
void centerOnScreen(QWidget* window);

// A bold label, optionally with a point size.
QLabel* boldLabel(const QString& text, QWidget* parent, int pointSize = 0);

// Makes `label` the caption of `field` for assistive technology: its buddy, and the field's
// accessible name the caption without its colon and access-key mark ("CD Title:" names the
// field "CD Title"). A caption without "&" gains no access key, so keys and tab order stay.
void nameByLabel(QLabel* label, QWidget* field);

// One line of text that never widens its window: cut with "..." when it does not fit, with
// the whole text in its tooltip.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);
    void setLine(const QString& text);
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

}  // namespace torvana::toolkit

class QDialog;
class QPushButton;

namespace torvana::toolkit {

// The OK and Cancel buttons of a dialog ("BitBtn1" and "BitBtn2"): OK is the default button and
// accepts, Cancel rejects, as Escape and the close box do.
struct OkCancel {
    QPushButton* ok;
    QPushButton* cancel;
};
OkCancel makeOkCancel(QDialog* dialog, int minimumWidth);

}  // namespace torvana::toolkit
