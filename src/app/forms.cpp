#include "app/forms.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardPaths>
#include <memory>

#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "app/startup_chooser.h"
#include "document/project_document.h"
#include "hotspot/ui/hotspot_editor.h"
#include "hotspot/ui/hotspot_layout.h"
#include "settings/ui/about_box.h"
#include "staging/ui/staging_folder_dialog.h"
#include "toolkit/text.h"
#include "toolkit/widgets.h"

namespace {

// The main window as the HotSpot Layout window sees it: the track bar's slot and the Edit button.
class MainWindowLayoutOwner : public HotspotLayoutOwner {
public:
    explicit MainWindowLayoutOwner(TForm1& main) : main_(main) {}

    int selectedSlot() const override { return main_.TrackBar1->position(); }
    void selectSlot(int slot) override {
        main_.TrackBar1->setPosition(slot);
        main_.showSelectedSlot();
    }
    void editSelectedSlot() override {
        if (main_.BitBtn3->isEnabled()) main_.BitBtn3Click();
    }

private:
    TForm1& main_;
};

Forms g_forms;
std::unique_ptr<MainWindowLayoutOwner> g_layoutOwner;

}  // namespace

Forms& forms() { return g_forms; }

void createForms(const std::string& settingsPath) {
    g_forms.Document = new torvana::ProjectDocument;
    g_forms.Form1 = new TForm1(settingsPath, g_forms);
    g_forms.Form2 = new TForm2({[] { return torvana::toolkit::toLocalString(g_forms.Form1->Edit5->text()); },
                                [] { g_forms.Form1->showAndActivate(); }});
    g_forms.Form3 = new TForm3;
    g_forms.AboutBox = new TAboutBox;
    g_forms.Form4 = new TForm4;
    g_forms.Form5 = new TForm5;
    g_layoutOwner = std::make_unique<MainWindowLayoutOwner>(*g_forms.Form1);
    THotspotLayout* layout = new THotspotLayout(*g_forms.Document, *g_layoutOwner, g_forms.Form2);
    g_forms.Layout = layout;
    // The layout window follows the main window's selection; the project it follows itself.
    QObject::connect(g_forms.Form1->TrackBar1, &QSlider::valueChanged, layout, &THotspotLayout::showSelection);
}

void destroyForms() {
    // In reverse order of creation; the main window goes last.
    delete g_forms.Layout;
    g_layoutOwner.reset();
    delete g_forms.Form5;
    delete g_forms.Form4;
    delete g_forms.AboutBox;
    delete g_forms.Form3;
    delete g_forms.Form2;
    delete g_forms.Form1;
    delete g_forms.Document;
    g_forms = Forms{};
}

std::string defaultSettingsPath() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    return QDir(folder).filePath("torvana.ini").toLocal8Bit().toStdString();
}
