// The main window's build commands: Save, Test Run, Check Disc, Make Disc Image and the three
// pickers. The build's messages and progress are disc/ui's.

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

#include "app/forms.h"
#include "app/main_window.h"
#include "disc/disc_burn.h"
#include "disc/disc_check.h"
#include "disc/disc_image.h"
#include "disc/disc_tree.h"
#include "media/media_probe.h"
#include "project/file_io.h"
#include "project/paths.h"
#include "settings/settings_file.h"
#include "staging/staging_build.h"
#include "disc/ui/build_user.h"
#include "disc/ui/burn_dialog.h"
#include "disc/ui/disc_check_window.h"
#include "staging/ui/signing_dialog.h"
#include "staging/ui/staging_folder_dialog.h"
#include "toolkit/file_picker.h"
#include "toolkit/folder_widgets.h"
#include "toolkit/message_box.h"
#include "toolkit/pointer.h"
#include "toolkit/shell.h"
#include "toolkit/text.h"
#include "toolkit/widgets.h"

namespace {

using torvana::staging::InStagingBase;

constexpr const char* kNoProjectText = "Please select or open a project file from the \"File\" menu.";

}  // namespace

torvana::BuildSettings TForm1::buildSettings() const {
    torvana::BuildSettings settings;
    settings.addLinuxPlayer = LinuxPlayer1->isChecked();
    settings.addWebMenu = WebMenu1->isChecked();
    settings.keepFolderNamesOff = FolderNames1->isChecked();
    settings.signing.certificate = signCertificate_;
    settings.signing.timestampUrl = signTimestamp_;
    return settings;
}

std::string TForm1::stagingFolderPath() const {
    const std::string typed = torvana::toolkit::fieldValue(Edit2);
    if (typed.empty() || QDir::isAbsolutePath(torvana::toolkit::toQString(typed))) return typed;
    return torvana::joinPath(stagingBase_, typed);
}

torvana::BuildResult TForm1::runBuild(bool quietSuccess) {
    InStagingBase base(stagingBase_);
    torvana::staging::MessageBoxBuildUser user(
        this, quietSuccess,
        {[this](torvana::BuildField field) {
             (field == torvana::BuildField::StagingFolder ? Edit2 : Edit3)->setFocus();
         },
         [this] { BitBtn4->setEnabled(true); }});
    torvana::BuildSettings settings = buildSettings();
    torvana::Project current = document_.project();
    // A new project's one slot holds no hotspot until the hotspot editor accepts one (the track
    // bar offers that slot alone): the build is refused as for a project without hotspots.
    if (document_.offeredSlots() < 2) {
        current.hotspotCount = 0;
        current.hotspots.clear();
    }
    lastBuildNotes_.clear();
    if (settings.signing.on() && state().projectOpen()) {
        // Asked at each build and forgotten after it.
        const std::optional<std::string> password = torvana::toolkit::askPassword(
            "The password of \"" + settings.signing.certificate + "\", to sign the Windows player autorun.exe:", this);
        if (!password) {
            // The user's edits are kept; only the disc's files wait for a signing.
            if (document_.saveFileOnly(current, user) == torvana::BuildResult::Succeeded) {
                rememberProject();
                torvana::toolkit::showWarning(
                    "The project is saved, but the staging folder was not built: autorun.exe is signed with every "
                    "build, and no password was given. Save again to build it, or switch off signing in Settings > "
                    "Sign the Windows player.",
                    this);
            }
            return torvana::BuildResult::Refused;
        }
        settings.signing.password = *password;
        settings.signing.fixedTime = torvana::sourceDateEpoch();
    }
    const torvana::BuildResult result = document_.save(current, settings, user);
    lastBuildNotes_ = user.notes();
    // A build that was not refused has written the project file.
    if (result != torvana::BuildResult::Refused) rememberProject();
    return result;
}

void TForm1::BitBtn1Click() {
    torvana::toolkit::runCommand([this] { runBuild(false); });
}

void TForm1::Save1Click() { BitBtn1Click(); }

void TForm1::BitBtn4Click() {
    torvana::toolkit::runCommand([this] {
        // The staging field as it is now, not the folder of the last build, read as Save reads
        // it; the player starts in that folder, and it stays current.
        torvana::setCurrentFolder(stagingFolderPath());
        const std::string folder = torvana::toolkit::toLocalString(QDir::currentPath());
        // The staged autorun.exe is the Windows player; here the Linux player beside the
        // editor shows the same menu, started in the staging folder, where it finds the project.
        if (!torvana::fileExists("autorun.exe") || !torvana::toolkit::startProgram(state().programFolder + "torvana-player", folder))
            torvana::toolkit::showError("ERROR! Could not launch file: \"autorun.exe\".", this);
    });
}

void TForm1::Image1Click() {
    if (!state().projectOpen()) return torvana::toolkit::showWarning(kNoProjectText, this);
    TForm4* dialog = windows_.Form4;
    if (dialog->exec() != QDialog::Accepted) return;
    const std::string folder = dialog->DirectoryListBox1->directory();
    if (torvana::toolkit::refuseLineBreakName("Folder:", folder, this)) return;
    torvana::toolkit::setFieldValue(Edit2, torvana::joinPath(folder, torvana::toolkit::toLocalString(dialog->Edit1->text())));
}

void TForm1::Image2Click() {
    if (!state().projectOpen()) return torvana::toolkit::showWarning(kNoProjectText, this);
    if (const auto chosen = OpenDialog1.pick(this, "Image Files", torvana::kPictureFilesFilter,
                                             torvana::toolkit::fieldValue(Edit3)))
        torvana::toolkit::setFieldValue(Edit3, *chosen);
}

void TForm1::Image3Click() {
    if (!state().projectOpen()) return torvana::toolkit::showWarning(kNoProjectText, this);
    if (const auto chosen = OpenDialog1.pick(this, "Any WAV File", "WAV Files (*.wav) |*.wav",
                                             torvana::toolkit::fieldValue(Edit4)))
        torvana::toolkit::setFieldValue(Edit4, *chosen);
}

void TForm1::CheckDisc1Click() {
    torvana::toolkit::runCommand([this] {
        if (!state().projectOpen()) return torvana::toolkit::showWarning(kNoProjectText, this);
        TDiscCheckForm window(this);
        {
            InStagingBase base(stagingBase_);
            window.check(state(), document_.project(), buildSettings());
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
            if (!finding.file.empty()) path = QFileInfo(torvana::toolkit::toQString(path)).absolutePath().toLocal8Bit().toStdString();
            torvana::toolkit::openOrSay(path, this);
            break;
        }
        case Subject::Project:
            break;
    }
}

void TForm1::MakeDiscImage1Click() {
    torvana::toolkit::runCommand([this] {
        if (!state().projectOpen()) return torvana::toolkit::showWarning(kNoProjectText, this);
        // The CD title's image beside the staging folder, unless the user named another before.
        const std::string proposed = torvana::proposedImagePath(document_.field(torvana::ProjectField::StagingFolder), document_.field(torvana::ProjectField::CdTitle));
        if (SaveDialog1.lastFile().empty() || proposedImage_ != proposed) SaveDialog1.setLastFile(proposed);
        proposedImage_ = proposed;
        const auto image = SaveDialog1.pickToSave(this, "Make Disc Image", "Disc Images (*.iso) |*.iso", "iso");
        if (!image) return;
        if (const std::string refusal = torvana::imageTargetRefusal(state(), document_.project(), buildSettings(), *image); !refusal.empty())
            return torvana::toolkit::showError(refusal, this);
        InStagingBase base(stagingBase_);
        const torvana::BuildResult built = runBuild(true);
        if (built == torvana::BuildResult::Refused || built == torvana::BuildResult::Cancelled) return;
        if (built == torvana::BuildResult::CompletedWithFailures)
            return torvana::toolkit::showError("The disc image was not made, since files could not be copied into the staging folder.", this);

        const torvana::Project current = document_.project();
        if (const std::string renamed = torvana::windowsNameFailure(state(), current, buildSettings()); !renamed.empty())
            return torvana::toolkit::showError(renamed, this);
        // What the image leaves out of the staging folder is told before it is written.
        std::string leftOut;
        for (const torvana::DiscTreeLeftOut& entry : torvana::readDiscTree(current.stagingFolder).leftOut)
            leftOut += "\n" + torvana::leftOutText(entry);
        if (!leftOut.empty()) torvana::toolkit::showWarning("The disc image leaves out:" + leftOut, this);
        const torvana::staging::WrittenImage written = torvana::staging::writeDiscImageWithProgress(
            this, current.stagingFolder, torvana::volumeNameFor(current.cdTitle), *image);
        if (written.result == torvana::ImageResult::Written)
            torvana::toolkit::showInformation(
                torvana::staging::withNotes("All Files copied over to \"" + current.stagingFolder + "\", and the disc image \"" +
                                                *image + "\" is written (" + torvana::discSizeText(written.size) + ").",
                                            lastBuildNotes_),
                this);
    });
}

void TForm1::SignPlayer1Click() {
    torvana::toolkit::runCommand([this] {
        TSigningForm dialog(this);
        dialog.setValues(signCertificate_, signTimestamp_);
        if (dialog.exec() != QDialog::Accepted) return;
        torvana::writeSetting(settingsPath_, torvana::kSignCertificateKey, dialog.certificate());
        signCertificate_ = dialog.certificate();
        torvana::writeSetting(settingsPath_, torvana::kSignTimestampKey, dialog.timestampUrl());
        signTimestamp_ = dialog.timestampUrl();
        InStagingBase base(stagingBase_);
        if (const std::string warning = torvana::certificateInStagingWarning(signCertificate_, stagingFolderPath());
            !warning.empty())
            torvana::toolkit::showWarning(warning, this);
    });
}

void TForm1::BurnDisc1Click() {
    torvana::toolkit::runCommand([this] {
        if (!state().projectOpen()) return torvana::toolkit::showWarning(kNoProjectText, this);
        TBurnForm dialog(this);
        {
            // Looking for drives takes a few seconds.
            torvana::toolkit::setPointer(torvana::toolkit::Pointer::Hourglass);
            const std::vector<torvana::BurnDrive> drives = torvana::listBurnDrives();
            torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow);
            dialog.setDrives(drives);
        }
        if (dialog.exec() != QDialog::Accepted) return;
        torvana::BurnOptions options = dialog.options();

        InStagingBase base(stagingBase_);
        // Where the disc goes and the drive are settled before anything is built.
        const torvana::BurnTarget target = torvana::burnTargetCheck(state(), document_.project(), buildSettings(), options.drive);
        if (!target.refusal.empty()) return torvana::toolkit::showError(target.refusal, this);
        if (target.replacedBytes > 0 &&
            !torvana::toolkit::askYesNo(torvana::burnOverFileQuestion(options.drive, target.replacedBytes), this))
            return;
        {
            // Looking for the drive takes a moment too.
            torvana::toolkit::setPointer(torvana::toolkit::Pointer::Hourglass);
            struct ArrowAtEnd {
                ~ArrowAtEnd() { torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow); }
            } arrow;
            options.drive = torvana::findBurnDrive(options.drive);
        }
        const torvana::BuildResult built = runBuild(true);
        if (built == torvana::BuildResult::Refused || built == torvana::BuildResult::Cancelled) return;
        if (built == torvana::BuildResult::CompletedWithFailures)
            return torvana::toolkit::showError("The disc was not burned, since files could not be copied into the staging folder.", this);

        // The image is made beside the staging folder under a name of its own, removed at the end.
        const torvana::Project current = document_.project();
        if (const std::string renamed = torvana::windowsNameFailure(state(), current, buildSettings()); !renamed.empty())
            return torvana::toolkit::showError(renamed, this);
        const torvana::BurnImageFile temporary(current.stagingFolder);
        const std::string& image = temporary.path();
        const torvana::staging::WrittenImage written = torvana::staging::writeDiscImageWithProgress(
            this, current.stagingFolder, torvana::volumeNameFor(current.cdTitle), image);
        if (written.result != torvana::ImageResult::Written) return;
        const torvana::BurnResult burned = torvana::staging::burnImageWithProgress(this, image, options);
        if (burned == torvana::BurnResult::CheckCancelled)
            return torvana::toolkit::showInformation("The disc in \"" + options.drive + "\" is burned; its check was cancelled.", this);
        if (burned != torvana::BurnResult::Burned) return;
        torvana::toolkit::showInformation(
            torvana::staging::withNotes(options.verify ? "The disc in \"" + options.drive + "\" is burned and holds the image exactly."
                                                       : "The disc in \"" + options.drive + "\" is burned.",
                                        lastBuildNotes_),
            this);
    });
}
