#include "disc/ui/build_user.h"

#include <QDir>

#include "project/paths.h"
#include "toolkit/message_box.h"
#include "toolkit/pointer.h"
#include "toolkit/text.h"

namespace torvana::staging {

MessageBoxBuildUser::MessageBoxBuildUser(QWidget* owner, bool quietSuccess, Hooks hooks)
    : owner_(owner), quietSuccess_(quietSuccess), hooks_(std::move(hooks)), progress_(owner, "Torvana") {
    progress_.setCancellable();
}

void MessageBoxBuildUser::beep() { torvana::toolkit::beep(); }

void MessageBoxBuildUser::refuse(BuildField field, const std::string& message) {
    torvana::toolkit::showError(message, owner_);
    if (hooks_.focusField) hooks_.focusField(field);
}

// The progress window steps aside while a box is up: it would stand unpainted behind it, and
// comes back at the next file.
void MessageBoxBuildUser::warning(const std::string& message) {
    progress_.hide();
    torvana::toolkit::showWarning(message, owner_);
}

void MessageBoxBuildUser::error(const std::string& message) {
    progress_.hide();
    torvana::toolkit::showError(message, owner_);
}

void MessageBoxBuildUser::information(const std::string& message) {
    progress_.hide();
    if (!quietSuccess_) torvana::toolkit::showInformation(withNotes(message, notes_), owner_);
}

void MessageBoxBuildUser::note(const std::string& message, NoteKind kind) {
    notes_ += (notes_.empty() ? "" : "\n") + (kind == NoteKind::Warning ? "Warning: " + message : message);
}

std::string withNotes(const std::string& message, const std::string& notes) {
    return notes.empty() ? message : message + "\n\n" + notes;
}

void MessageBoxBuildUser::busy(bool on) {
    // The time before the copying began (a question to the user) does not count towards the
    // half second after which the progress window appears.
    if (on) progress_.restart();
    torvana::toolkit::setPointer(on ? torvana::toolkit::Pointer::Hourglass : torvana::toolkit::Pointer::Arrow);
}

void MessageBoxBuildUser::succeeded() {
    if (hooks_.succeeded) hooks_.succeeded();
}

void MessageBoxBuildUser::progress(const std::string& file, uint64_t done, uint64_t total) {
    progress_.update(torvana::toolkit::toQString(file), done, total);
}

bool MessageBoxBuildUser::cancelled() { return progress_.cancelled(); }

InStagingBase::InStagingBase(const std::string& base) : before_(QDir::currentPath()) {
    if (!base.empty()) QDir::setCurrent(torvana::toolkit::toQString(base));
}

InStagingBase::~InStagingBase() { QDir::setCurrent(before_); }

WrittenImage writeDiscImageWithProgress(QWidget* owner, const std::string& folder, const std::string& volumeName,
                                        const std::string& image) {
    torvana::toolkit::ProgressWindow progress(owner, "Torvana");
    progress.setLabel("Writing %1");
    progress.setCancellable();
    const QString name = torvana::toolkit::toQString(fileNamePart(image));
    WrittenImage written{ImageResult::Cancelled};
    // SOURCE_DATE_EPOCH makes the image reproducible, as on the command line.
    const std::optional<int64_t> fixedTime = sourceDateEpoch();
    written.result = writeDiscImage(
        folder, volumeName, image,
        [&](uint64_t done, uint64_t total) {
            progress.update(name, done, total);
            written.size = total;
            return !progress.cancelled();
        },
        fixedTime);
    return written;
}

BurnProgressWindow::BurnProgressWindow(QWidget* owner, const std::string& drive)
    : drive_(torvana::toolkit::toQString(drive)), window_(owner, "Torvana") {
    window_.setCancellable();
}

bool BurnProgressWindow::update(const BurnProgress& p) {
    window_.setLabel(p.phase == BurnProgress::Writing ? "Burning the disc in %1" : "Checking the disc in %1");
    QString more;
    if (p.bytesPerSecond > 0) {
        more = ", " + torvana::toolkit::byteCount(static_cast<uint64_t>(p.bytesPerSecond)) + "/s";
        const std::string left = timeLeftText(p.bytesTotal - p.bytesDone, p.bytesPerSecond);
        if (p.bytesDone < p.bytesTotal) more += ", " + torvana::toolkit::toQString(left) + " left";
    }
    window_.update(drive_, p.bytesDone, p.bytesTotal, more);
    return !window_.cancelled();
}

BurnResult burnImageWithProgress(QWidget* owner, const std::string& image, const BurnOptions& options) {
    BurnProgressWindow window(owner, options.drive);
    return burnImage(image, options, [&](const BurnProgress& p) { return window.update(p); });
}

}  // namespace torvana::staging
