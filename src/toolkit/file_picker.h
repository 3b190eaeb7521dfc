#pragma once
// The file-open dialog of one window. It remembers the file chosen last in it and proposes it
// next time; choosing a file makes that file's folder the process's current folder, as the
// hotspot hand-off files rely on. The chosen file need not exist.

#include <optional>
#include <string>

class QWidget;

namespace torvana::toolkit {

// "Description |pattern;pattern|Description |pattern" -> Qt's "Description (pattern pattern);;..."
std::string qtFilterFrom(const std::string& filter);

// A file or folder whose name holds a line break or a Ctrl+Z cannot be stored in a field, and a
// blank in its place would name another file: when `path` holds one, a warning box says so
// ("File:" or "Folder:" as `kind`) and the result is true.
bool refuseLineBreakName(const char* kind, const std::string& path, QWidget* parent);

// The file name matches one of the filter's patterns ("*.gif;*.bmp"), in any case.
bool matchesFilter(const std::string& path, const std::string& filter);

// Where a file dialog starts: the field's file when it has one, else the file chosen last;
// the file is proposed only when the filter lets it be listed, else the dialog just opens in its
// folder. A folder that does not exist gives the current folder.
struct DialogStart {
    std::string folder;  // absolute
    std::string file;    // the proposed file, or empty
};
DialogStart dialogStart(const std::string& fieldFile, const std::string& lastFile, const std::string& filter);

class FilePicker {
public:
    // Shows the dialog with this title and filter, starting at `fieldFile` (the file the field
    // being filled names now) when it is not empty (see dialogStart). Returns the chosen path, or
    // nothing when the user cancels or chooses a file whose name holds a line break
    // (refuseLineBreakName).
    std::optional<std::string> pick(QWidget* parent, const std::string& title, const std::string& filter,
                                    const std::string& fieldFile = {});

    // The same dialog for naming a file to write: an existing file is only chosen after the
    // user has agreed to replace it, and `extension` is added to a name typed without one.
    std::optional<std::string> pickToSave(QWidget* parent, const std::string& title, const std::string& filter,
                                          const std::string& extension);

    const std::string& lastFile() const { return lastFile_; }
    void setLastFile(const std::string& path) { lastFile_ = path; }

private:
    std::optional<std::string> choose(QWidget* parent, const std::string& title, const std::string& filter,
                                      const std::string& fieldFile, const std::string* saveExtension);
    std::string lastFile_;
};

}  // namespace torvana::toolkit
