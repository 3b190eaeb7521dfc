#pragma once
// The staging-folder dialog: a folder chosen in the folder list and the name of a new folder
// in it. It creates nothing; the next Save creates the folder.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace torvana::toolkit {
class DirectoryListBox;
class DriveComboBox;
}  // namespace torvana::toolkit

class TForm4 : public QDialog {
    Q_OBJECT
public:
    explicit TForm4(QWidget* parent = nullptr);

    QLabel* Label2;
    QLabel* Label1;
    QLineEdit* Edit1;
    torvana::toolkit::DriveComboBox* DriveComboBox1;
    torvana::toolkit::DirectoryListBox* DirectoryListBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

    // The folder list's folder changed: the name typed for the old folder goes.
    void DirectoryListBox1Change();

protected:
    void showEvent(QShowEvent* event) override;
};
