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

QLineEdit* TForm1::fieldEdit(torvana::ProjectField field) const {
    QLineEdit* const edits[] = {Edit1, Edit2, Edit3, Edit4};
    return edits[size_t(field)];
}

QCheckBox* TForm1::switchBox(torvana::ProjectSwitch which) const {
    return which == torvana::ProjectSwitch::ShowBrowse ? CheckBox1 : CheckBox2;
}

void TForm1::showField(torvana::ProjectField field) {
    // The field keeps the document's bytes, which it gives back until the user types.
    showing_ = true;
    torvana::toolkit::setFieldValue(fieldEdit(field), document_.field(field));
    showing_ = false;
}

void TForm1::showSwitch(torvana::ProjectSwitch which) {
    showing_ = true;
    switchBox(which)->setChecked(document_.switchOn(which));
    showing_ = false;
}

// New, Open and Close: the fields and switches as the project holds them, the first slot selected.
void TForm1::showDocument() {
    for (torvana::ProjectField field : torvana::kProjectFields) showField(field);
    for (torvana::ProjectSwitch which : torvana::kProjectSwitches) showSwitch(which);
    setHotspotRange();
    TrackBar1->setPosition(1);
    Edit5->setText("1");
    nameSelectedSlot();
}

bool TForm1::confirmDiscard(const char* message) {
    if (!state().warnMe || !state().projectOpen() || !document_.modified()) return true;
    return torvana::toolkit::askYesNo(message, this);
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
        document_.newProject(name, path);
        setProjectCaption();
        BitBtn3->setEnabled(true);
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

void TForm1::openProjectFile(const std::string& path) {
    document_.setOpenDialogPath(path);
    OpenDialog1.setLastFile(path);
    // The whole file is read before anything changes, so a file that cannot be read leaves
    // the open project as it was.
    const torvana::Project data = torvana::readProjectFile(path);

    document_.openProject(path, data);
    setProjectCaption();
    // A relative staging folder in a project file is read from the project's folder, also when
    // Reopen opens it while another folder is current.
    stagingBase_ = torvana::toolkit::toLocalString(QFileInfo(torvana::toolkit::toQString(path)).absolutePath());
    BitBtn3->setEnabled(true);
    torvana::toolkit::setHint(Edit5, torvana::toolkit::toQString(torvana::fileNamePart(state().hotspotApplication[1])));
    rememberProject();
}

void TForm1::Close1Click() {
    torvana::toolkit::runCommand([this] {
        if (!confirmDiscard(kCloseText)) return;
        document_.closeProject();
        BitBtn3->setEnabled(false);
        setStartupCaption();
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
