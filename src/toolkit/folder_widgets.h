#pragma once
// The drive selector and the folder list of the folder dialogs. The list shows the open
// folder's ancestors as an indented path and then its sub-folders; a single click highlights an
// entry, a double click opens it (Enter is left to the dialog's default button), and opening a folder makes it the process's current
// folder. The drive selector lists the mounted file systems, "/" first, and moves the linked
// list to the folder last open on that drive.

#include <QComboBox>
#include <QListWidget>
#include <map>
#include <string>

namespace torvana::toolkit {

class DirectoryListBox : public QListWidget {
    Q_OBJECT
public:
    explicit DirectoryListBox(QWidget* parent = nullptr);

    // The open folder, as the platform writes it ("/" for the root, no trailing separator
    // otherwise).
    std::string directory() const { return directory_; }

    // Opens `folder`, makes it current, and emits changed. Returns false (and changes nothing)
    // when it is not a folder.
    bool openFolder(const std::string& folder);

signals:
    void changed();

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void fill();
    void openItem(QListWidgetItem* item);
    std::string directory_;
};

class DriveComboBox : public QComboBox {
    Q_OBJECT
public:
    explicit DriveComboBox(QWidget* parent = nullptr);

    // Links the list: choosing a drive opens that drive's last folder in it, and folders
    // opened in the list select their drive here.
    void setDirList(DirectoryListBox* list);

    // The drive (mount point) a folder lies on.
    std::string driveOf(const std::string& folder) const;

private:
    void driveChosen(int index);
    void folderOpened();

    DirectoryListBox* list_ = nullptr;
    std::map<std::string, std::string> lastFolder_;
    bool syncing_ = false;
};

}  // namespace torvana::toolkit

namespace torvana::toolkit {

// A drive selector ("DriveComboBox1") linked to a folder list ("DirectoryListBox1").
struct FolderChooser {
    DriveComboBox* drives;
    DirectoryListBox* folders;
};
FolderChooser makeFolderChooser(QWidget* parent);

}  // namespace torvana::toolkit
