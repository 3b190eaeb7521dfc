// Save, Test Run and the three pickers of the main window.

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/main_window.h"
#include "build/staging_build.h"
#include "build/staging_folder_dialog.h"
#include "project/file_io.h"
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
    explicit WindowBuildUser(TForm1* form) : form_(form), progress_(form, "Torvana") {}

    void beep() override { toolkit::beep(); }
    void refuse(torvana::BuildField field, const std::string& message) override {
        toolkit::showError(message, form_);
        (field == torvana::BuildField::StagingFolder ? form_->Edit2 : form_->Edit3)->setFocus();
    }
    void warning(const std::string& message) override { toolkit::showWarning(message, form_); }
    void error(const std::string& message) override { toolkit::showError(message, form_); }
    void information(const std::string& message) override { toolkit::showInformation(message, form_); }
    void busy(bool on) override { toolkit::setPointer(on ? toolkit::Pointer::Hourglass : toolkit::Pointer::Arrow); }
    void succeeded() override { form_->BitBtn4->setEnabled(true); }
    void progress(const std::string& file, uint64_t done, uint64_t total) override {
        progress_.update(QString::fromLocal8Bit(file.c_str()), done, total);
    }

private:
    TForm1* form_;
    toolkit::ProgressWindow progress_;
};

constexpr const char* kNoProjectText = "Please select or open a project file from the \"File\" menu.";

}  // namespace

void TForm1::BitBtn1Click() {
    toolkit::runCommand([this] {
        torvana::BuildFields fields;
        fields.cdTitle = toolkit::toLocalString(Edit1->text());
        fields.stagingFolder = toolkit::toLocalString(Edit2->text());
        fields.backgroundImage = toolkit::toLocalString(Edit3->text());
        fields.openingWav = toolkit::toLocalString(Edit4->text());
        fields.showBrowse = CheckBox1->isChecked();
        fields.showExit = CheckBox2->isChecked();
        fields.trackBarMaximum = TrackBar1->maximum();
        WindowBuildUser user(this);
        torvana::runStagingBuild(state, fields, user);
    });
}

void TForm1::Save1Click() { BitBtn1Click(); }

void TForm1::BitBtn4Click() {
    toolkit::runCommand([this] {
        // The staging field as it is now, not the folder of the last build.
        const std::string folder = toolkit::toLocalString(Edit2->text());
        torvana::setCurrentFolder(folder);
        if (!toolkit::startProgram("./autorun.exe", folder))
            toolkit::showError("ERROR! Could not launch file: \"autorun.exe\".", this);
    });
}

void TForm1::Image1Click() {
    if (!state.projectOpen()) return toolkit::showWarning(kNoProjectText, this);
    TForm4* dialog = forms().Form4;
    if (dialog->exec() != QDialog::Accepted) return;
    const std::string folder = dialog->DirectoryListBox1->directory();
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
