#include "app/forms.h"

#include <QDir>
#include <QLineEdit>
#include <QStandardPaths>

#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "app/startup_chooser.h"
#include "staging/ui/staging_folder_dialog.h"
#include "hotspot/ui/hotspot_editor.h"
#include "hotspot/ui/hotspot_layout.h"
#include "settings/ui/about_box.h"
#include "toolkit/text.h"

namespace {
Forms g_forms;
}

Forms& forms() { return g_forms; }

void createForms(const std::string& settingsPath) {
    g_forms.Form1 = new TForm1(settingsPath);
    g_forms.Form2 = new TForm2({[] { return toolkit::toLocalString(g_forms.Form1->Edit5->text()); },
                                [] { g_forms.Form1->showAndActivate(); }});
    g_forms.Form3 = new TForm3;
    g_forms.AboutBox = new TAboutBox;
    g_forms.Form4 = new TForm4;
    g_forms.Form5 = new TForm5;
    g_forms.Layout = new THotspotLayout(g_forms.Form1, g_forms.Form2);
}

void destroyForms() {
    // In reverse order of creation; the main window goes last.
    delete g_forms.Layout;
    delete g_forms.Form5;
    delete g_forms.Form4;
    delete g_forms.AboutBox;
    delete g_forms.Form3;
    delete g_forms.Form2;
    delete g_forms.Form1;
    g_forms = Forms{};
}

std::string defaultSettingsPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(folder).filePath("torvana.ini").toLocal8Bit().toStdString();
}
