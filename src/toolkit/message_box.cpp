#include "toolkit/message_box.h"

#include <QApplication>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

#include "project/errors.h"
#include "toolkit/pointer.h"
#include "toolkit/text.h"

namespace torvana::toolkit {

namespace {

const char* captionOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning: return "Warning";
    case MessageKind::Error: return "Error";
    case MessageKind::Information: return "Information";
    }
    return "";
}

QMessageBox::Icon iconOf(MessageKind kind) {
    switch (kind) {
    case MessageKind::Warning: return QMessageBox::Warning;
    case MessageKind::Error: return QMessageBox::Critical;
    case MessageKind::Information: return QMessageBox::Information;
    }
    return QMessageBox::NoIcon;
}

const char* iconName(QMessageBox::Icon icon) {
    switch (icon) {
    case QMessageBox::Warning: return "warning";
    case QMessageBox::Critical: return "critical";
    case QMessageBox::Information: return "information";
    default: return "none";
    }
}

QWidget* ownerFor(QWidget* parent) {
    if (parent) return parent->window();
    QWidget* w = QApplication::activeModalWidget();
    if (!w) w = QApplication::activeWindow();
    return w;
}

// Shows the box; the pointer is the arrow while the user reads it, whatever the program had set.
Answer runBox(const BoxRecord& record, QMessageBox::Icon icon, Buttons buttons, QWidget* parent) {
    if (TestHook* hook = testHook()) return hook->takeAnswer(record, buttons);

    QMessageBox box(ownerFor(parent));
    box.setWindowTitle(toQString(record.caption));
    box.setTextFormat(Qt::PlainText);
    box.setText(toQString(record.text));
    box.setIcon(icon);
    QPushButton* yes = nullptr;
    QPushButton* no = nullptr;
    QPushButton* ok = nullptr;
    if (buttons == Buttons::YesNo) {
        yes = box.addButton(QStringLiteral("&Yes"), QMessageBox::YesRole);
        no = box.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
        box.setDefaultButton(yes);
        box.setEscapeButton(no);
    } else {
        ok = box.addButton(QStringLiteral("OK"), QMessageBox::AcceptRole);
        box.setDefaultButton(ok);
        box.setEscapeButton(ok);
    }
    PointerPause arrow;
    box.exec();
    if (buttons == Buttons::YesNo) return box.clickedButton() == yes ? Answer::Yes : Answer::No;
    return Answer::Ok;
}

std::vector<std::string> buttonTexts(Buttons buttons) {
    if (buttons == Buttons::YesNo) return {"&Yes", "&No"};
    return {"OK"};
}

}  // namespace

std::optional<std::string> askPassword(const std::string& prompt, QWidget* parent) {
    if (TestHook* hook = testHook()) return hook->takePassword(prompt);
    QInputDialog dialog(ownerFor(parent));
    dialog.setWindowTitle(QStringLiteral("Torvana"));
    dialog.setLabelText(toQString(prompt));
    dialog.setTextEchoMode(QLineEdit::Password);
    dialog.setInputMode(QInputDialog::TextInput);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.textValue().toLocal8Bit().toStdString();
}

void beep() {
    if (TestHook* hook = testHook()) {
        ++hook->beeps;
        return;
    }
    QApplication::beep();
}

Answer messageBox(MessageKind kind, const std::string& text, Buttons buttons, QWidget* parent) {
    beep();
    const QMessageBox::Icon icon = iconOf(kind);
    const BoxRecord record{captionOf(kind), captionOf(kind), text, buttonTexts(buttons), iconName(icon)};
    return runBox(record, icon, buttons, parent);
}

bool askYesNo(const std::string& warningText, QWidget* parent) {
    return messageBox(MessageKind::Warning, warningText, Buttons::YesNo, parent) == Answer::Yes;
}

void showWarning(const std::string& text, QWidget* parent) {
    messageBox(MessageKind::Warning, text, Buttons::Ok, parent);
}

void showError(const std::string& text, QWidget* parent) {
    messageBox(MessageKind::Error, text, Buttons::Ok, parent);
}

void showInformation(const std::string& text, QWidget* parent) {
    messageBox(MessageKind::Information, text, Buttons::Ok, parent);
}

std::string errorBoxText(const std::string& text) {
    if (!text.empty() && static_cast<unsigned char>(text.back()) > static_cast<unsigned char>('.'))
        return text + ".";
    return text;
}

void errorBox(const std::string& text) {
    const std::string caption = QCoreApplication::applicationName().toLocal8Bit().toStdString();
    const BoxRecord record{"ErrorBox", caption, errorBoxText(text), {"OK"}, "critical"};
    runBox(record, QMessageBox::Critical, Buttons::Ok, nullptr);
}

void runCommand(const std::function<void()>& command) {
    try {
        command();
    } catch (const torvana::Error& e) {
        errorBox(e.what());
    } catch (const std::bad_alloc&) {
        errorBox(torvana::kOutOfMemoryText);
    } catch (const std::exception& e) {
        errorBox(e.what());
    }
}

}  // namespace torvana::toolkit
