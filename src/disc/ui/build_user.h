#pragma once
// The staging build and the disc image as windows show them: the build's questions and
// messages in message boxes with a progress window, and the image written with a progress
// window the user can cancel.

#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "disc/disc_burn.h"
#include "disc/disc_image.h"
#include "staging/staging_build.h"
#include "toolkit/progress.h"

class QWidget;

namespace torvana::staging {

// The build's conversation with the user, in message boxes over `owner`.
class MessageBoxBuildUser : public BuildUser {
public:
    struct Hooks {
        // A refusal names a field of the owner: the focus goes into it.
        std::function<void(BuildField)> focusField;
        // Every copy was made.
        std::function<void()> succeeded;
    };
    // `quietSuccess`: the closing message is left to the command the build is part of.
    MessageBoxBuildUser(QWidget* owner, bool quietSuccess, Hooks hooks);

    void beep() override;
    void refuse(BuildField field, const std::string& message) override;
    void warning(const std::string& message) override;
    void error(const std::string& message) override;
    void information(const std::string& message) override;
    void busy(bool on) override;
    void succeeded() override;
    void progress(const std::string& file, uint64_t done, uint64_t total) override;
    // The progress window's Cancel was pressed.
    bool cancelled() override;
    // Gathered for the closing message, which shows them below its own words.
    void note(const std::string& message, NoteKind kind) override;

    // The notes gathered so far, one a line; with `quietSuccess` the command adds them to its
    // own closing message.
    std::string notes() const { return notes_; }

private:
    QWidget* owner_;
    bool quietSuccess_;
    Hooks hooks_;
    torvana::toolkit::ProgressWindow progress_;
    std::string notes_;
};

// A closing message with the build's notes below it, after a blank line.
std::string withNotes(const std::string& message, const std::string& notes);

// While it lives, `base` is the current folder (when not empty), so the core's commands, which
// take a relative staging folder as typed, read it from there; the folder current before
// comes back afterwards.
class InStagingBase {
public:
    explicit InStagingBase(const std::string& base);
    ~InStagingBase();
    InStagingBase(const InStagingBase&) = delete;
    InStagingBase& operator=(const InStagingBase&) = delete;

private:
    QString before_;
};

struct WrittenImage {
    ImageResult result;
    uint64_t size = 0;  // the image's size in bytes
};

// Writes the disc image of `folder` to `image` with a progress window over `owner` ("Writing"
// and the image's file name) whose Cancel stops it. Throws Error as writeDiscImage does.
WrittenImage writeDiscImageWithProgress(QWidget* owner, const std::string& folder, const std::string& volumeName,
                                        const std::string& image);

// The progress window of a burn over `owner`: the phase and the drive, the bytes, the speed and
// the time left, and a Cancel button.
class BurnProgressWindow {
public:
    BurnProgressWindow(QWidget* owner, const std::string& drive);
    // Shows the progress; false once the user has pressed Cancel.
    bool update(const BurnProgress& progress);

private:
    QString drive_;
    torvana::toolkit::ProgressWindow window_;
};

// Burns the image with a BurnProgressWindow. Throws Error as burnImage does.
BurnResult burnImageWithProgress(QWidget* owner, const std::string& image, const BurnOptions& options);

}  // namespace torvana::staging
