#include "toolkit/file_picker.h"

#include <algorithm>

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QHeaderView>
#include <QTreeView>

#include "project/errors.h"
#include "toolkit/message_box.h"
#include "toolkit/pointer.h"
#include "toolkit/test_hook.h"

namespace torvana::toolkit {

namespace {

std::string trimmed(const std::string& s) {
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

void makeFolderOfCurrent(const std::string& path) {
    const QFileInfo info(QString::fromLocal8Bit(path.c_str()));
    const QString folder = info.absolutePath();
    if (QFileInfo(folder).isDir()) QDir::setCurrent(folder);
}

// Qt's own file dialog starts its Size and Type columns too narrow to read ("900...KiB",
// "Win...age"): they take the width of what they show, the names the rest, and the dialog is
// wide enough for both. A dialog of the desktop's own has no such view and is left as it is.
void widenColumns(QFileDialog& dialog) {
    auto* view = dialog.findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!view) return;
    QHeaderView* header = view->header();
    header->setStretchLastSection(false);
    header->setSectionResizeMode(QHeaderView::ResizeToContents);
    header->setSectionResizeMode(0, QHeaderView::Stretch);
    dialog.resize(std::max(dialog.width(), dialog.fontMetrics().averageCharWidth() * 110), dialog.height());
}

}  // namespace

bool refuseLineBreakName(const char* kind, const std::string& path, QWidget* parent) {
    if (path.find_first_of("\r\n\x1a") == std::string::npos) return false;
    showWarning(std::string(kind) + " \"" + torvana::visiblePath(path) +
                    "\" cannot be used: its name holds a line break or a Ctrl+Z.",
                parent);
    return true;
}

std::string qtFilterFrom(const std::string& filter) {
    std::string out;
    size_t pos = 0;
    while (pos <= filter.size()) {
        const size_t bar = filter.find('|', pos);
        std::string description = filter.substr(pos, bar == std::string::npos ? std::string::npos : bar - pos);
        std::string patterns;
        if (bar != std::string::npos) {
            const size_t next = filter.find('|', bar + 1);
            patterns = filter.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
            pos = next == std::string::npos ? filter.size() + 1 : next + 1;
        } else {
            pos = filter.size() + 1;
        }
        // The description usually names its patterns in brackets already; Qt reads the patterns
        // from the last bracket pair, so that pair is rebuilt from the pattern part.
        description = trimmed(description);
        if (!description.empty() && description.back() == ')') {
            const size_t open = description.rfind('(');
            if (open != std::string::npos) description = trimmed(description.substr(0, open));
        }
        // "*.*" means every file, also one without an extension; Qt takes it literally.
        std::string qtPatterns;
        size_t start = 0;
        while (start <= patterns.size()) {
            size_t end = patterns.find(';', start);
            if (end == std::string::npos) end = patterns.size();
            std::string one = trimmed(patterns.substr(start, end - start));
            if (one == "*.*") one = "*";
            if (!one.empty()) qtPatterns += (qtPatterns.empty() ? "" : " ") + one;
            start = end + 1;
        }
        if (!out.empty()) out += ";;";
        out += description + " (" + qtPatterns + ")";
    }
    return out;
}

std::optional<std::string> FilePicker::pick(QWidget* parent, const std::string& title,
                                            const std::string& filter) {
    return choose(parent, title, filter, nullptr);
}

std::optional<std::string> FilePicker::pickToSave(QWidget* parent, const std::string& title,
                                                  const std::string& filter, const std::string& extension) {
    return choose(parent, title, filter, &extension);
}

std::optional<std::string> FilePicker::choose(QWidget* parent, const std::string& title,
                                              const std::string& filter, const std::string* saveExtension) {
    std::optional<std::string> chosen;
    if (TestHook* hook = testHook()) {
        chosen = hook->takeFile({title, filter, lastFile_, saveExtension != nullptr});
    } else {
        QFileDialog dialog(parent ? parent->window() : nullptr, QString::fromLocal8Bit(title.c_str()));
        dialog.setAcceptMode(saveExtension ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::AnyFile);
        if (saveExtension) dialog.setDefaultSuffix(QString::fromLocal8Bit(saveExtension->c_str()));
        dialog.setNameFilters(QString::fromLocal8Bit(qtFilterFrom(filter).c_str()).split(QStringLiteral(";;")));
        if (!lastFile_.empty()) {
            const QFileInfo last(QString::fromLocal8Bit(lastFile_.c_str()));
            dialog.setDirectory(last.absolutePath());
            dialog.selectFile(last.fileName());
        } else {
            dialog.setDirectory(QDir::current());
        }
        dialog.setViewMode(QFileDialog::Detail);
        widenColumns(dialog);
        PointerPause arrow;
        if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
            chosen = QDir::toNativeSeparators(dialog.selectedFiles().first()).toLocal8Bit().toStdString();
    }
    if (chosen && refuseLineBreakName("File:", *chosen, parent)) chosen.reset();
    if (chosen) {
        lastFile_ = *chosen;
        makeFolderOfCurrent(*chosen);
    }
    return chosen;
}

}  // namespace torvana::toolkit
