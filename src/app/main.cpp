// Program entry. "torvana check|build|image ..." and "torvana --help" run on the command line
// without windows, so they need no display. Otherwise: sets the application title, creates the
// six windows in order, opens the project named on the command line if there is one, and runs
// the event loop, which ends when the main window closes.

#include <unistd.h>

#include <QApplication>
#include <iostream>
#include <set>

#include "app/forms.h"
#include "app/main_window.h"
#include "cli/command_line.h"
#include "hotspot/hand_off.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "toolkit/message_box.h"

namespace {

std::vector<std::string> argumentsOf(int argc, char** argv) { return {argv + 1, argv + argc}; }

// The arguments without the toolkit's own options ("-platform offscreen", "-style Fusion", ...),
// which the windowed program hands to the toolkit.
std::vector<std::string> withoutToolkitOptions(const std::vector<std::string>& arguments) {
    static const std::set<std::string> withValue = {"-platform", "-platformpluginpath", "-platformtheme", "-plugin",
                                                     "-qwindowgeometry", "-qwindowicon", "-qwindowtitle", "-session",
                                                     "-style", "-stylesheet", "-display", "-geometry", "-name",
                                                     "-title"};
    static const std::set<std::string> alone = {"-reverse", "-widgetcount", "-nograb", "-dograb", "-sync"};
    std::vector<std::string> rest;
    for (size_t i = 0; i < arguments.size(); ++i) {
        if (withValue.count(arguments[i])) ++i;
        else if (!alone.count(arguments[i])) rest.push_back(arguments[i]);
    }
    return rest;
}

int runWithoutWindows(int argc, char** argv) {
    // A core application finds the program's folder (for the player the build copies) and
    // needs no display.
    QCoreApplication app(argc, argv);
    const std::string programFolder = QCoreApplication::applicationDirPath().toLocal8Bit().toStdString() + "/";
    return torvana::runConsoleCommand(torvana::parseCommandLine(argumentsOf(argc, argv)), programFolder, std::cout,
                                      std::cerr, isatty(STDERR_FILENO), defaultSettingsPath());
}

}  // namespace

int main(int argc, char** argv) {
    // A write past a file size limit fails and is reported like a full disk.
    torvana::ignoreFileSizeSignal();
    if (argc > 1 && torvana::isConsoleCommand(argv[1])) return runWithoutWindows(argc, argv);
    // Arguments it does not understand are said on the command line, before any window.
    const torvana::CommandLine command = torvana::parseCommandLine(withoutToolkitOptions(argumentsOf(argc, argv)));
    if (command.kind != torvana::CommandKind::Editor && command.kind != torvana::CommandKind::OpenProject)
        return torvana::runConsoleCommand(command, "", std::cout, std::cerr, false);

    QApplication app(argc, argv);
    // The hotspot editor's hand-off folder exists from the start; a failure is said at once.
    try {
        torvana::handOffFolder();
    } catch (const torvana::Error& e) {
        std::cerr << "torvana: the hotspot editor's hand-off folder cannot be made: " << e.what() << "\n";
        return 2;
    }

    QApplication::setApplicationName("Torvana");
    // The desktop matches the windows with the menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName("org.torvana.Torvana");
    // The main window ends the program; hidden windows do not keep it running, and a hidden
    // main window (while the hotspot editor is open) does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    createForms(defaultSettingsPath());
    QObject::connect(forms().Form1, &TForm1::closed, &app, &QCoreApplication::quit);
    // A project that cannot be read is said in the error box; the start-up chooser follows.
    if (command.kind == torvana::CommandKind::OpenProject)
        torvana::toolkit::runCommand([&] { forms().Form1->openProjectFile(command.project); });
    forms().Form1->showAndActivate();
    const int result = app.exec();
    destroyForms();
    return result;
}
