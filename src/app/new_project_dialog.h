#pragma once
// The new-project dialog: a project name and the folder it goes in. Created once and reused;
// it keeps the typed name and the chosen folder from one use to the next.

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace torvana::toolkit {
class DirectoryListBox;
class DriveComboBox;
}  // namespace torvana::toolkit

class TForm3 : public QDialog {
    Q_OBJECT
public:
    explicit TForm3(QWidget* parent = nullptr);

    QLabel* Label3;
    QLabel* Label2;
    QLineEdit* Edit1;
    QLabel* Label1;
    torvana::toolkit::DriveComboBox* DriveComboBox1;
    torvana::toolkit::DirectoryListBox* DirectoryListBox1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;

protected:
    void showEvent(QShowEvent* event) override;
};
