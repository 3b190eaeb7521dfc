// Program entry: sets the application title, creates the six windows in order and runs the
// event loop, which ends when the main window closes.

#include <QApplication>

#include "app/forms.h"
#include "app/main_window.h"
#include "project/file_io.h"

int main(int argc, char** argv) {
    // A write past a file size limit fails and is reported like a full disk.
    torvana::ignoreFileSizeSignal();
    QApplication app(argc, argv);
    QApplication::setApplicationName("Torvana");
    // The desktop matches the windows with the menu entry and its icon by this name.
    QGuiApplication::setDesktopFileName("org.torvana.Torvana");
    // The main window ends the program; hidden windows do not keep it running, and a hidden
    // main window (while the hotspot editor is open) does not end it.
    QApplication::setQuitOnLastWindowClosed(false);

    createForms(defaultSettingsPath());
    QObject::connect(forms().Form1, &TForm1::closed, &app, &QCoreApplication::quit);
    forms().Form1->showAndActivate();
    const int result = app.exec();
    destroyForms();
    return result;
}
