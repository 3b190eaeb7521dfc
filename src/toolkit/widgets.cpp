#include "toolkit/widgets.h"

#include <algorithm>

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QRegularExpression>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QValidator>

#include "project/file_io.h"
#include "toolkit/artwork.h"
#include "toolkit/text.h"

namespace torvana::toolkit {

namespace {

bool breaksLine(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n') || c == QChar(26); }

// Turns every line break and Ctrl+Z into a blank. The field runs it after every change, also
// one made by setText, and keeps the repaired text; the length, and so the cursor, stays.
// A validator the field had before goes on checking the repaired text.
class OneLineValidator : public QValidator {
public:
    OneLineValidator(const QValidator* inner, QObject* parent) : QValidator(parent), inner_(inner) {}
    State validate(QString& text, int& position) const override {
        for (QChar& c : text)
            if (breaksLine(c)) c = QLatin1Char(' ');
        return inner_ ? inner_->validate(text, position) : Acceptable;
    }

private:
    const QValidator* inner_;
};

bool undoesOrRedoes(const QKeyEvent* key) {
    return key->matches(QKeySequence::Undo) || key->matches(QKeySequence::Redo) ||
           key->keyCombination() == QKeyCombination(Qt::CTRL, Qt::Key_Y);
}

// Keeps a field from taking the keys of Undo and Redo, so they reach the window's shortcuts.
class UndoKeysToWindow : public QObject {
public:
    using QObject::QObject;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress) return false;
        if (!undoesOrRedoes(static_cast<QKeyEvent*>(event))) return false;
        // Not accepted: the shortcut goes to the window. A key press that no shortcut took is
        // dropped rather than undone inside the field, which would pass the window's history by.
        event->ignore();
        return true;
    }
};

}  // namespace

void leaveUndoToWindow(QWidget* window) {
    auto* filter = new UndoKeysToWindow(window);
    for (QLineEdit* field : window->findChildren<QLineEdit*>()) field->installEventFilter(filter);
}

bool holdsLineBreak(const QString& text) { return std::any_of(text.begin(), text.end(), breaksLine); }

void prepareTextFields(QWidget* window) {
    for (QLineEdit* field : window->findChildren<QLineEdit*>()) {
        field->setMaxLength(int(kTextFileLimit));
        if (dynamic_cast<const OneLineValidator*>(field->validator())) continue;
        field->setValidator(new OneLineValidator(field->validator(), field));
        if (holdsLineBreak(field->text())) field->setText(field->text());
    }
}

namespace {
// The property under which a field keeps the bytes of the value last set in it.
constexpr const char* kValueBytes = "torvanaValueBytes";
}  // namespace

void setFieldValue(QLineEdit* field, const std::string& bytes) {
    field->setProperty(kValueBytes, QByteArray::fromStdString(bytes));
    // The same text is left alone, so the cursor stays where the user is typing.
    const QString text = toQString(bytes);
    if (field->text() != text) field->setText(text);
}

std::string fieldValue(const QLineEdit* field) {
    const QVariant kept = field->property(kValueBytes);
    if (kept.isValid()) {
        const std::string bytes = kept.toByteArray().toStdString();
        if (field->text() == toQString(bytes)) return bytes;
    }
    return toLocalString(field->text());
}

TrackBar::TrackBar(QWidget* parent) : QSlider(Qt::Horizontal, parent) {
    setTickPosition(QSlider::TicksBelow);
    setTickInterval(1);
    setPageStep(1);
    connect(this, &QSlider::valueChanged, this, [this](int v) {
        if (!programmatic_) emit userMoved(v);
    });
}

void TrackBar::setPosition(int position) {
    programmatic_ = true;
    setValue(position);
    programmatic_ = false;
}

void TrackBar::setMax(int maximum) {
    programmatic_ = true;
    setMaximum(maximum);
    programmatic_ = false;
}

BrowsePicture::BrowsePicture(QWidget* parent) : QLabel(parent) {
    setPixmap(browseBitmap());
    setAlignment(Qt::AlignCenter);
    setFixedSize(25, 25);
    setMouseTracking(true);
    setToolTip(QStringLiteral("Browse"));
}

void BrowsePicture::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) emit clicked();
    QLabel::mouseReleaseEvent(event);
}

void BrowsePicture::setField(QWidget* field) {
    field_ = field;
    field->installEventFilter(this);
}

bool BrowsePicture::eventFilter(QObject* watched, QEvent* event) {
    if (watched == field_ && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_F4 && key->modifiers() == Qt::NoModifier) ||
            (key->key() == Qt::Key_Down && key->modifiers() == Qt::AltModifier)) {
            emit clicked();
            return true;
        }
    }
    return QLabel::eventFilter(watched, event);
}

void setHint(QWidget* control, const QString& hint) {
    control->setProperty("hint", hint);
    control->setToolTip(control->property("hintShown").toBool() ? hint : QString());
}

void showHint(QWidget* control, bool shown) {
    control->setProperty("hintShown", shown);
    control->setToolTip(shown ? hintOf(control) : QString());
}

QString hintOf(const QWidget* control) { return control->property("hint").toString(); }

}  // namespace torvana::toolkit

namespace torvana::toolkit {

void centerOnScreen(QWidget* window) {
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    QRect frame = window->frameGeometry();
    frame.moveCenter(area.center());
    window->move(frame.topLeft());
}

void nameByLabel(QLabel* label, QWidget* field) {
    label->setBuddy(field);
    QString name = label->text();
    name.remove(QRegularExpression("&(?!&)"));
    name = name.trimmed();
    if (name.endsWith(':')) name.chop(1);
    field->setAccessibleName(name);
}

QLabel* boldLabel(const QString& text, QWidget* parent, int pointSize) {
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    if (pointSize > 0) f.setPointSize(pointSize);
    label->setFont(f);
    return label;
}

ElidedLabel::ElidedLabel(QWidget* parent) : QLabel(parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void ElidedLabel::setLine(const QString& text) {
    setText(text);
    setToolTip(text);
}

QSize ElidedLabel::minimumSizeHint() const { return {0, QLabel::minimumSizeHint().height()}; }

void ElidedLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRect area = contentsRect();
    painter.drawText(area, Qt::AlignLeft | Qt::AlignVCenter,
                     fontMetrics().elidedText(text(), Qt::ElideRight, area.width()));
}

}  // namespace torvana::toolkit

#include <QDialog>
#include <QPushButton>

namespace torvana::toolkit {

OkCancel makeOkCancel(QDialog* dialog, int minimumWidth) {
    auto* ok = new QPushButton(okGlyph(), "OK", dialog);
    ok->setObjectName("BitBtn1");
    ok->setDefault(true);
    auto* cancel = new QPushButton(cancelGlyph(), "Cancel", dialog);
    cancel->setObjectName("BitBtn2");
    for (QPushButton* b : {ok, cancel}) b->setMinimumSize(minimumWidth, 25);
    QObject::connect(ok, &QPushButton::clicked, dialog, &QDialog::accept);
    QObject::connect(cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    return {ok, cancel};
}

}  // namespace torvana::toolkit
