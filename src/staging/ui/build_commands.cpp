// Save, Test Run and the three pickers of the main window.

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/main_window.h"
#include "staging/ui/disc_check_window.h"
#include "staging/staging_build.h"
#include "disc/disc_image.h"
#include "staging/ui/staging_folder_dialog.h"
#include "project/file_io.h"
#include "toolkit/file_picker.h"
#include "toolkit/folder_widgets.h"
#include "toolkit/message_box.h"
#include "toolkit/pointer.h"
#include "toolkit/progress.h"
#include "toolkit/shell.h"
#include "toolkit/widgets.h"
#include "project/paths.h"
#include "toolkit/text.h"

namespace {

// The build's conversation with the user, in the main window's message boxes.
class WindowBuildUser : public torvana::BuildUser {
public:
    // `quietSuccess`: the closing message is left to the command the build is part of.
    WindowBuildUser(TForm1* form, bool quietSuccess) : form_(form), quietSuccess_(quietSuccess), progress_(form, "Torvana") {}

    void beep() override { toolkit::beep(); }
    void refuse(torvana::BuildField field, const std::string& message) override {
        toolkit::showError(message, form_);
        (field == torvana::BuildField::StagingFolder ? form_->Edit2 : form_->Edit3)->setFocus();
    }
    void warning(const std::string& message) override { toolkit::showWarning(message, form_); }
    void error(const std::string& message) override { toolkit::showError(message, form_); }
    void information(const std::string& message) override {
        if (!quietSuccess_) toolkit::showInformation(message, form_);
    }
    void busy(bool on) override { toolkit::setPointer(on ? toolkit::Pointer::Hourglass : toolkit::Pointer::Arrow); }
    void succeeded() override { form_->BitBtn4->setEnabled(true); }
    void progress(const std::string& file, uint64_t done, uint64_t total) override {
        progress_.update(QString::fromLocal8Bit(file.c_str()), done, total);
    }

private:
    TForm1* form_;
    bool quietSuccess_;
    toolkit::ProgressWindow progress_;
};

// While it lives, the folder a relative staging folder is read from is current, so the core's
// commands, which take the field's text, find the same folder as Test Run; the folder current
// before comes back afterwards.
class InStagingBase {
public:
    explicit InStagingBase(const std::string& base) : before_(QDir::currentPath()) {
        if (!base.empty()) QDir::setCurrent(toolkit::toQString(base));
    }
    ~InStagingBase() { QDir::setCurrent(before_); }
    InStagingBase(const InStagingBase&) = delete;
    InStagingBase& operator=(const InStagingBase&) = delete;

private:
    QString before_;
};

constexpr const char* kNoProjectText = "Please select or open a project file from the \"File\" menu.";

}  // namespace

torvana::BuildFields TForm1::buildFields() const {
    torvana::BuildFields fields;
    fields.cdTitle = toolkit::toLocalString(Edit1->text());
    fields.stagingFolder = toolkit::toLocalString(Edit2->text());
    fields.backgroundImage = toolkit::toLocalString(Edit3->text());
    fields.openingWav = toolkit::toLocalString(Edit4->text());
    fields.showBrowse = CheckBox1->isChecked();
    fields.showExit = CheckBox2->isChecked();
    fields.trackBarMaximum = TrackBar1->maximum();
    fields.addLinuxPlayer = LinuxPlayer1->isChecked();
    fields.addWebMenu = WebMenu1->isChecked();
    return fields;
}

std::string TForm1::stagingFolderPath() const {
    const std::string typed = toolkit::toLocalString(Edit2->text());
    if (typed.empty() || QDir::isAbsolutePath(toolkit::toQString(typed))) return typed;
    return torvana::joinPath(stagingBase_, typed);
}

torvana::BuildResult TForm1::runBuild(bool quietSuccess) {
    InStagingBase base(stagingBase_);
    WindowBuildUser user(this, quietSuccess);
    const torvana::BuildResult result = torvana::runStagingBuild(state, buildFields(), user);
    // A build that was not refused has written the project file.
    if (result != torvana::BuildResult::Refused) rememberProject();
    return result;
}

void TForm1::BitBtn1Click() {
    toolkit::runCommand([this] { runBuild(false); });
}

void TForm1::Save1Click() { BitBtn1Click(); }

void TForm1::BitBtn4Click() {
    toolkit::runCommand([this] {
        // The staging field as it is now, not the folder of the last build, read as Save reads
        // it; the player starts in that folder, and it stays current.
        torvana::setCurrentFolder(stagingFolderPath());
        const std::string folder = toolkit::toLocalString(QDir::currentPath());
        // The staged autorun.exe is the Windows player; here the Linux player beside the
        // editor shows the same menu, started in the staging folder, where it finds the project.
        if (!torvana::fileExists("autorun.exe") || !toolkit::startProgram(state.programFolder + "torvana-player", folder))
            toolkit::showError("ERROR! Could not launch file: \"autorun.exe\".", this);
    });
}

void TForm1::Image1Click() {
    if (!state.projectOpen()) return toolkit::showWarning(kNoProjectText, this);
    TForm4* dialog = forms().Form4;
    if (dialog->exec() != QDialog::Accepted) return;
    const std::string folder = dialog->DirectoryListBox1->directory();
    if (toolkit::refuseLineBreakName("Folder:", folder, this)) return;
    Edit2->setText(QString::fromLocal8Bit(torvana::joinPath(folder, toolkit::toLocalString(dialog->Edit1->text())).c_str()));
}

void TForm1::Image2Click() {
    if (!state.projectOpen()) return toolkit::showWarning(kNoProjectText, this);
    if (const auto chosen = OpenDialog1.pick(this, "Image Files", "Image Files (*.gif;*.bmp) |*.gif;*.bmp"))
        Edit3->setText(QString::fromLocal8Bit(chosen->c_str()));
}

void TForm1::Image3Click() {
    if (!state.projectOpen()) return toolkit::showWarning(kNoProjectText, this);
    if (const auto chosen = OpenDialog1.pick(this, "Any WAV File", "WAV Files (*.wav) |*.wav"))
        Edit4->setText(QString::fromLocal8Bit(chosen->c_str()));
}

void TForm1::CheckDisc1Click() {
    toolkit::runCommand([this] {
        if (!state.projectOpen()) return toolkit::showWarning(kNoProjectText, this);
        TDiscCheckForm window(this);
        {
            InStagingBase base(stagingBase_);
            window.check(state, buildFields());
            if (window.exec() != QDialog::Accepted || !window.chosen()) return;
        }
        openFinding(*window.chosen());
    });
}

void TForm1::openFinding(const torvana::Finding& finding) {
    using torvana::Subject;
    const std::string staging = stagingFolderPath();
    switch (finding.subject) {
        case Subject::StagingFolder:
        case Subject::BackgroundImage:
        case Subject::OpeningWav: {
            QLineEdit* field = finding.subject == Subject::StagingFolder     ? Edit2
                               : finding.subject == Subject::BackgroundImage ? Edit3
                                                                             : Edit4;
            field->setFocus();
            field->selectAll();
            break;
        }
        case Subject::Hotspot:
            if (finding.hotspot >= 1 && finding.hotspot <= TrackBar1->maximum()) {
                TrackBar1->setPosition(finding.hotspot);
                showSelectedSlot();
                BitBtn3Click();
            }
            break;
        case Subject::StagingContent: {
            // The folder that holds what the finding names, in the file manager.
            std::string path = finding.file.empty() ? staging
                               : finding.file.front() == '/' ? finding.file
                                                             : torvana::joinPath(staging, finding.file);
            if (!finding.file.empty()) path = QFileInfo(toolkit::toQString(path)).absolutePath().toLocal8Bit().toStdString();
            toolkit::openOrSay(path, this);
            break;
        }
        case Subject::Project:
            break;
    }
}

void TForm1::MakeDiscImage1Click() {
    toolkit::runCommand([this] {
        if (!state.projectOpen()) return toolkit::showWarning(kNoProjectText, this);
        const auto image = SaveDialog1.pickToSave(this, "Make Disc Image", "Disc Images (*.iso) |*.iso", "iso");
        if (!image) return;
        InStagingBase base(stagingBase_);
        const torvana::BuildResult built = runBuild(true);
        if (built == torvana::BuildResult::Refused) return;
        if (built == torvana::BuildResult::CompletedWithFailures)
            return toolkit::showError("The disc image was not made, since files could not be copied into the staging folder.", this);

        const torvana::BuildFields fields = buildFields();
        toolkit::ProgressWindow progress(this, "Torvana");
        progress.setLabel("Writing %1");
        progress.setCancellable();
        const QString name = toolkit::toQString(torvana::fileNamePart(*image));
        uint64_t size = 0;
        const torvana::ImageResult result = torvana::writeDiscImage(
            fields.stagingFolder, torvana::volumeNameFor(fields.cdTitle), *image, [&](uint64_t done, uint64_t total) {
                progress.update(name, done, total);
                size = total;
                return !progress.cancelled();
            });
        if (result == torvana::ImageResult::Written)
            toolkit::showInformation("All Files copied over to \"" + fields.stagingFolder + "\", and the disc image \"" +
                                         *image + "\" is written (" + torvana::discSizeText(size) + ").",
                                     this);
    });
}
