#pragma once
// A test installs a TestHook to stand in for the user at every message box, file dialog and
// shell opening: it queues the answers in advance and reads back what was shown. While a hook
// is installed nothing modal is shown and no browser is started. A box or dialog for which no
// answer was queued is answered with the safe choice (No, Cancel, OK) and recorded in
// `unexpected`, so the test can fail on it.

#include <deque>
#include <optional>
#include <string>
#include <vector>

namespace torvana::toolkit {

enum class MessageKind { Warning, Error, Information };
enum class Buttons { Ok, YesNo };
enum class Answer { Ok, Yes, No };

// What the user saw in one box. kind is "Warning", "Error", "Information", or "ErrorBox" for
// the top-level error box; icon is "warning", "critical" or "information".
struct BoxRecord {
    std::string kind;
    std::string caption;
    std::string text;
    std::vector<std::string> buttons;
    std::string icon;
};

struct FileDialogRecord {
    std::string title;
    std::string filter;     // as the program gave it: "Description |pattern"
    std::string startFile;  // the file the dialog proposed, absolute; empty when none
    bool save = false;      // a dialog naming a file to write
    std::string startFolder;  // the folder it opened in, absolute
};

class TestHook {
public:
    // Answers for the next boxes, in order.
    void answer(Answer a) { answers_.push_back(a); }
    // The next file dialog picks this path; cancelFile() makes it cancel.
    void chooseFile(const std::string& path) { files_.push_back(path); }
    void cancelFile() { files_.push_back(std::nullopt); }
    // The next password prompt gets this text; cancelPassword() makes it cancel.
    void enterPassword(const std::string& text) { passwords_.push_back(text); }
    void cancelPassword() { passwords_.push_back(std::nullopt); }

    std::vector<BoxRecord> boxes;
    std::vector<FileDialogRecord> fileDialogs;
    std::vector<std::string> passwordPrompts;  // the prompts' texts
    std::vector<std::string> openedTargets;  // shell openings (files, help page, web addresses)
    bool failOpenings = false;               // the desktop cannot open anything
    std::vector<std::string> unexpected;     // boxes and dialogs no answer was queued for
    std::vector<long long> startedProcesses; // programs really started, for the test to end
    int beeps = 0;

    // Answers queued but never used.
    size_t pendingAnswers() const { return answers_.size() + files_.size() + passwords_.size(); }

    // Called by the toolkit.
    Answer takeAnswer(const BoxRecord& box, Buttons buttons);
    std::optional<std::string> takeFile(const FileDialogRecord& dialog);
    std::optional<std::string> takePassword(const std::string& prompt);

    // Everything went as the test planned: no unexpected box, no answer left over.
    // Returns an empty string, or a description of what went wrong.
    std::string problems() const;

private:
    std::deque<Answer> answers_;
    std::deque<std::optional<std::string>> files_;
    std::deque<std::optional<std::string>> passwords_;
};

// The installed hook, or null in normal use.
TestHook* testHook();
void installTestHook(TestHook* hook);

}  // namespace torvana::toolkit
