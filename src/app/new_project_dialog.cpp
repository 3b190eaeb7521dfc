#include "app/new_project_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "toolkit/artwork.h"
#include "toolkit/folder_widgets.h"
#include "toolkit/widgets.h"

TForm3::TForm3(QWidget* parent) : QDialog(parent) {
    setObjectName("Form3");
    setWindowTitle("Torvana");
    setModal(true);

    Label3 = toolkit::boldLabel("Create a new Project file:", this, 12);
    Label3->setObjectName("Label3");
    Label2 = new QLabel("Enter Project Name:", this);
    Label2->setObjectName("Label2");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Label2->setBuddy(Edit1);
    Label1 = new QLabel("Select Folder:", this);
    Label1->setObjectName("Label1");
    DriveComboBox1 = new toolkit::DriveComboBox(this);
    DriveComboBox1->setObjectName("DriveComboBox1");
    DirectoryListBox1 = new toolkit::DirectoryListBox(this);
    DirectoryListBox1->setObjectName("DirectoryListBox1");
    DirectoryListBox1->setMinimumSize(177, 121);
    DriveComboBox1->setDirList(DirectoryListBox1);
    Label1->setBuddy(DirectoryListBox1);

    BitBtn1 = new QPushButton(toolkit::okGlyph(), "OK", this);
    BitBtn1->setObjectName("BitBtn1");
    BitBtn1->setDefault(true);
    BitBtn2 = new QPushButton(toolkit::cancelGlyph(), "Cancel", this);
    BitBtn2->setObjectName("BitBtn2");
    for (QPushButton* b : {BitBtn1, BitBtn2}) b->setMinimumSize(75, 25);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);

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

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addSpacing(29);
    buttons->addWidget(BitBtn2);
    buttons->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 24);
    layout->addWidget(Label3);
    layout->addSpacing(16);
    layout->addLayout(fields, 1);
    layout->addSpacing(20);
    layout->addLayout(buttons);

    setTabOrder(Edit1, DriveComboBox1);
    setTabOrder(DriveComboBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    setFixedSize(QSize(256, 338).expandedTo(sizeHint()));
}

void TForm3::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    toolkit::centerOnScreen(this);
    Edit1->setFocus();
}
