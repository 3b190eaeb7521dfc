#pragma once
// How the program speaks to the user: a beep and a modal box of one of three kinds for its own
// questions and reports, and the error box for failures it does not foresee.

#include <functional>
#include <optional>
#include <string>

#include "toolkit/test_hook.h"

class QWidget;

namespace torvana::toolkit {

// The short system beep that comes before each message box.
void beep();

// Beeps, then shows a modal box with the kind's caption ("Warning", "Error", "Information")
// and icon and the buttons "OK" or "&Yes" and "&No". Returns the button pressed.
Answer messageBox(MessageKind kind, const std::string& text, Buttons buttons = Buttons::Ok,
                  QWidget* parent = nullptr);

// Shorthands for the common cases.
bool askYesNo(const std::string& warningText, QWidget* parent = nullptr);
void showWarning(const std::string& text, QWidget* parent = nullptr);
void showError(const std::string& text, QWidget* parent = nullptr);
void showInformation(const std::string& text, QWidget* parent = nullptr);

// Asks for a password in a modal box captioned "Torvana", the typed characters hidden. The text
// is never kept. nullopt when the user cancels.
std::optional<std::string> askPassword(const std::string& prompt, QWidget* parent = nullptr);

// The error box for failures the program does not foresee: caption the application title, the
// critical icon, OK. A full stop is added when the text's last character sorts after ".".
void errorBox(const std::string& text);

// The text errorBox shows for `text`.
std::string errorBoxText(const std::string& text);

// Runs one command. A failure it does not foresee (torvana::Error, or any other exception)
// ends the command at that step and is shown in the error box; the program goes on.
void runCommand(const std::function<void()>& command);

}  // namespace torvana::toolkit
