// New, Open, Close and Exit, with the question that protects an unsaved project.

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/main_window.h"
#include "app/new_project_dialog.h"
#include "project/errors.h"
#include "project/file_io.h"
#include "project/paths.h"
#include "project/project_file.h"
#include "settings/recent_projects.h"
#include "toolkit/folder_widgets.h"
#include "toolkit/file_picker.h"
#include "toolkit/message_box.h"
#include "toolkit/widgets.h"
#include "toolkit/text.h"

namespace {

constexpr const char* kContinueText = "Warning!  Current project is not saved.  Continue?";
constexpr const char* kCloseText = "Warning!  Current project is not saved.  Close file?";
constexpr const char* kExitText = "Warning!  Current project is not saved.  Exit?";

constexpr const char* kOpenTitle = "Open a Torvana File";
constexpr const char* kOpenFilter = "Torvana Files (*.cdrom) |*.cdrom";

// Reopen of a project that is no longer there.
std::string vanishedText(const std::string& path) {
    return "Project file: \"" + torvana::visiblePath(path) + "\" does not exist. It has been removed from the \"Reopen\" list.";
}

}  // namespace

void TForm1::markUnsaved() { state.projectSaved = false; }

bool TForm1::confirmDiscard(const char* message) {
    if (!state.warnMe || !state.projectOpen() || state.projectSaved) return true;
    return torvana::toolkit::askYesNo(message, this);
}

// The project fields and the hotspot row as New, Open and Close leave them before filling.
static void resetProjectFields(TForm1* f) {
    for (QLineEdit* e : {f->Edit1, f->Edit2, f->Edit3, f->Edit4}) torvana::toolkit::setFieldValue(e, {});
    f->Edit5->setText("1");
    f->CheckBox1->setChecked(false);
    f->CheckBox2->setChecked(false);
}

// New and Close: one empty slot to edit, and empty fields.
static void startEmptyProject(TForm1* f) {
    f->state.hotspotCount = 1;
    f->TrackBar1->setMax(1);
    resetProjectFields(f);
    f->state.clearSlots(1, torvana::kClearedSlots);
    f->state.clearLabels();
    f->state.otherBlockLines.clear();
    f->nameSelectedSlot();
}

void TForm1::New1Click() {
    torvana::toolkit::runCommand([this] {
        if (!confirmDiscard(kContinueText)) return;
        TForm3* dialog = windows_.Form3;
        if (dialog->exec() != QDialog::Accepted) return;
        const std::string typed = torvana::toolkit::toLocalString(dialog->Edit1->text());
        const std::string name = typed + ".cdrom";
        const std::string path = torvana::joinPath(dialog->DirectoryListBox1->directory(), name);
        if (typed.empty()) return;
        if (torvana::toolkit::refuseLineBreakName("Folder:", dialog->DirectoryListBox1->directory(), this)) return;
        if (torvana::fileExists(path) || torvana::folderExists(path)) {
            if (!torvana::toolkit::askYesNo("Do you want to overwrite file \"" + path + "\" ?", this)) return;
        }
        state.projectName = name;
        state.projectPath = path;
        setProjectCaption();
        startEmptyProject(this);
        BitBtn3->setEnabled(true);
        state.projectSaved = false;
        emit hotspotsChanged();
    });
}

void TForm1::Open1Click() {
    torvana::toolkit::runCommand([this] {
        if (!confirmDiscard(kContinueText)) return;
        const auto chosen = OpenDialog1.pick(this, kOpenTitle, kOpenFilter);
        if (!chosen) return;
        openProjectFile(*chosen);
    });
}

void TForm1::reopenProject(const std::string path) {
    // `path` is a copy: the menu entry that holds it goes away when the list changes.
    torvana::toolkit::runCommand([&] {
        // A project that is gone leaves the list before anything is asked: there is nothing to
        // open, so the open project stays as it is.
        if (!torvana::fileExists(path)) {
            try {
                torvana::forgetRecentProject(settingsPath(), path);
            } catch (const torvana::Error&) {
                // An unwritable settings file keeps the entry; the warning below still says why
                // nothing opens.
            }
            fillReopenMenu();
            torvana::toolkit::showWarning(vanishedText(path), this);
            return;
        }
        if (!confirmDiscard(kContinueText)) return;
        openProjectFile(path);
    });
}

torvana::Project TForm1::project() const {
    torvana::Project project;
    project.hotspotCount = state.hotspotCount;
    project.showBrowse = CheckBox1->isChecked();
    project.showExit = CheckBox2->isChecked();
    project.cdTitle = torvana::toolkit::fieldValue(Edit1);
    project.stagingFolder = torvana::toolkit::fieldValue(Edit2);
    project.backgroundImage = torvana::toolkit::fieldValue(Edit3);
    project.openingWav = torvana::toolkit::fieldValue(Edit4);
    project.hotspots = torvana::hotspotsOf(state);
    project.otherBlockLines = state.otherBlockLines;
    return project;
}

// Fills the fields and the tables, the first hotspot selected; the caller has cleared them.
void TForm1::showProject(const torvana::Project& project) {
    state.hotspotCount = project.hotspotCount;
    setHotspotRange();
    TrackBar1->setPosition(1);
    CheckBox1->setChecked(project.showBrowse);
    CheckBox2->setChecked(project.showExit);
    torvana::toolkit::setFieldValue(Edit1, project.cdTitle);
    torvana::toolkit::setFieldValue(Edit2, project.stagingFolder);
    torvana::toolkit::setFieldValue(Edit3, project.backgroundImage);
    torvana::toolkit::setFieldValue(Edit4, project.openingWav);
    torvana::storeHotspots(state, project.hotspots);
    state.otherBlockLines = project.otherBlockLines;
}

void TForm1::openProjectFile(const std::string& path) {
    state.openDialogPath = path;
    OpenDialog1.setLastFile(path);
    // The whole file is read before anything changes, so a file that cannot be read leaves
    // the open project as it was.
    const torvana::Project data = torvana::readProjectFile(path);

    state.projectPath = path;
    state.projectName = torvana::fileNamePart(path);
    setProjectCaption();
    resetProjectFields(this);
    state.clearSlots(1, torvana::kClearedSlots);
    state.clearLabels();
    showProject(data);
    // A relative staging folder in a project file is read from the project's folder, also when
    // Reopen opens it while another folder is current.
    stagingBase_ = torvana::toolkit::toLocalString(QFileInfo(torvana::toolkit::toQString(path)).absolutePath());
    BitBtn3->setEnabled(true);
    torvana::toolkit::setHint(Edit5, torvana::toolkit::toQString(torvana::fileNamePart(state.hotspotApplication[1])));
    nameSelectedSlot();
    state.projectSaved = false;
    emit hotspotsChanged();
    rememberProject();
}

void TForm1::Close1Click() {
    torvana::toolkit::runCommand([this] {
        if (!confirmDiscard(kCloseText)) return;
        state.projectName.clear();
        BitBtn3->setEnabled(false);
        state.projectSaved = false;
        setStartupCaption();
        startEmptyProject(this);
        emit hotspotsChanged();
    });
}

void TForm1::Exit1Click() {
    torvana::toolkit::runCommand([this] {
        if (!confirmDiscard(kExitText)) return;
        close();
    });
}

void TForm1::BitBtn2Click() { Exit1Click(); }

void TForm1::closeEvent(QCloseEvent* event) {
    // The title bar's close control ends the program without asking.
    event->accept();
    emit closed();
}
