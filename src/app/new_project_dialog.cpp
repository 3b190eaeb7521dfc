#include "app/new_project_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "toolkit/folder_widgets.h"
#include "toolkit/widgets.h"

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName("Form3");
    setWindowTitle("Torvana");
    setModal(true);

    Label3 = torvana::toolkit::boldLabel("Create a new Project file:", this, 12);
    Label3->setObjectName("Label3");
    Label2 = new QLabel("Enter Project Name:", this);
    Label2->setObjectName("Label2");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Label2->setBuddy(Edit1);
    Label1 = new QLabel("Select Folder:", this);
    Label1->setObjectName("Label1");
    const torvana::toolkit::FolderChooser chooser = torvana::toolkit::makeFolderChooser(this);
    DriveComboBox1 = chooser.drives;
    DirectoryListBox1 = chooser.folders;
    Label1->setBuddy(DirectoryListBox1);

    const torvana::toolkit::OkCancel buttons = torvana::toolkit::makeOkCancel(this, 75);
    BitBtn1 = buttons.ok;
    BitBtn2 = buttons.cancel;

    auto* fields = new QVBoxLayout;
    fields->setContentsMargins(16, 0, 16, 0);
    fields->setSpacing(3);
    fields->addWidget(Label2);
    fields->addWidget(Edit1);
    fields->addSpacing(8);
    fields->addWidget(Label1);
    fields->addWidget(DriveComboBox1);
    fields->addSpacing(4);
    fields->addWidget(DirectoryListBox1, 1);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(BitBtn1);
    buttonRow->addSpacing(29);
    buttonRow->addWidget(BitBtn2);
    buttonRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 24);
    layout->addWidget(Label3);
    layout->addSpacing(16);
    layout->addLayout(fields, 1);
    layout->addSpacing(20);
    layout->addLayout(buttonRow);

    setTabOrder(Edit1, DriveComboBox1);
    setTabOrder(DriveComboBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setFixedSize(QSize(256, 338).expandedTo(sizeHint()));
    torvana::toolkit::prepareTextFields(this);
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    torvana::toolkit::centerOnScreen(this);
    Edit1->setFocus();
}
