#include "toolkit/folder_widgets.h"
#include "toolkit/text.h"

#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QStorageInfo>
#include <QStyle>
#include <algorithm>

namespace torvana::toolkit {

namespace {

// A folder as the program stores it: native separators, system code page.
std::string nativePath(const QString& s) { return torvana::toolkit::toLocalString(QDir::toNativeSeparators(s)); }

constexpr int kPathRole = Qt::UserRole + 1;

}  // namespace

DirectoryListBox::DirectoryListBox(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemDoubleClicked, this, &DirectoryListBox::openItem);
    directory_ = nativePath(QDir::currentPath());
    fill();
}

bool DirectoryListBox::openFolder(const std::string& folder) {
    const QFileInfo info(torvana::toolkit::toQString(folder));
    if (!info.isDir()) return false;
    const QString clean = QDir::cleanPath(info.absoluteFilePath());
    if (!QDir::setCurrent(clean)) return false;
    directory_ = nativePath(clean);
    fill();
    emit changed();
    return true;
}

void DirectoryListBox::fill() {
    clear();
    const QIcon closedIcon = style()->standardIcon(QStyle::SP_DirClosedIcon);
    const QIcon openIcon = style()->standardIcon(QStyle::SP_DirOpenIcon);
    // Ancestors from the root down to the open folder, each indented one step further.
    QStringList chain;
    QDir dir(torvana::toolkit::toQString(directory_));
    for (;;) {
        chain.prepend(dir.absolutePath());
        if (dir.isRoot() || !dir.cdUp()) break;
    }
    int depth = 0;
    QListWidgetItem* current = nullptr;
    for (const QString& path : chain) {
        const QString name = depth == 0 ? QDir::toNativeSeparators(path) : QFileInfo(path).fileName();
        auto* item = new QListWidgetItem(openIcon, QString(depth * 2, ' ') + name, this);
        item->setData(kPathRole, path);
        current = item;
        ++depth;
    }
    QStringList subs = QDir(torvana::toolkit::toQString(directory_)).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString& sub : subs) {
        auto* item = new QListWidgetItem(closedIcon, QString(depth * 2, ' ') + sub, this);
        item->setData(kPathRole, QDir(torvana::toolkit::toQString(directory_)).absoluteFilePath(sub));
    }
    if (current) setCurrentItem(current);
}

void DirectoryListBox::openItem(QListWidgetItem* item) {
    if (item) openFolder(nativePath(item->data(kPathRole).toString()));
}

void DirectoryListBox::keyPressEvent(QKeyEvent* event) {
    // Enter belongs to the dialog's default button, as in every field of the program: only a
    // double click opens a folder.
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->ignore();
        return;
    }
    QListWidget::keyPressEvent(event);
}

DriveComboBox::DriveComboBox(QWidget* parent) : QComboBox(parent) {
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        if (!volume.isValid() || !volume.isReady()) continue;
        const QString root = volume.rootPath();
        if (!roots.contains(root)) roots << root;
    }
    std::sort(roots.begin(), roots.end(), [](const QString& a, const QString& b) {
        if (a == "/" || b == "/") return a == "/" && b != "/";
        return a < b;
    });
    if (roots.isEmpty()) roots << QDir::rootPath();
    for (const QString& r : roots) addItem(style()->standardIcon(QStyle::SP_DriveHDIcon), QDir::toNativeSeparators(r), r);
    connect(this, qOverload<int>(&QComboBox::activated), this, &DriveComboBox::driveChosen);
}

std::string DriveComboBox::driveOf(const std::string& folder) const {
    // The longest mount point that contains the folder.
    const QString path = QDir::cleanPath(QFileInfo(torvana::toolkit::toQString(folder)).absoluteFilePath());
    QString best;
    for (int i = 0; i < count(); ++i) {
        const QString root = itemData(i).toString();
        const bool contains = root == "/" || path == root || path.startsWith(root.endsWith('/') ? root : root + '/');
        if (contains && root.size() > best.size()) best = root;
    }
    return best.toLocal8Bit().toStdString();
}

void DriveComboBox::setDirList(DirectoryListBox* list) {
    list_ = list;
    connect(list_, &DirectoryListBox::changed, this, &DriveComboBox::folderOpened);
    folderOpened();
}

void DriveComboBox::folderOpened() {
    if (!list_) return;
    const std::string drive = driveOf(list_->directory());
    lastFolder_[drive] = list_->directory();
    syncing_ = true;
    const int index = findData(QString::fromLocal8Bit(drive.c_str()));
    if (index >= 0) setCurrentIndex(index);
    syncing_ = false;
}

void DriveComboBox::driveChosen(int index) {
    if (syncing_ || !list_ || index < 0) return;
    const std::string drive = itemData(index).toString().toLocal8Bit().toStdString();
    auto it = lastFolder_.find(drive);
    const std::string target = it != lastFolder_.end() && QFileInfo(torvana::toolkit::toQString(it->second)).isDir() ? it->second : drive;
    list_->openFolder(target);
}

}  // namespace torvana::toolkit

namespace torvana::toolkit {

FolderChooser makeFolderChooser(QWidget* parent) {
    auto* drives = new DriveComboBox(parent);
    drives->setObjectName("DriveComboBox1");
    auto* folders = new DirectoryListBox(parent);
    folders->setObjectName("DirectoryListBox1");
    folders->setMinimumSize(177, 121);
    drives->setDirList(folders);
    return {drives, folders};
}

}  // namespace torvana::toolkit
