#include "staging/ui/staging_folder_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "toolkit/folder_widgets.h"
#include "toolkit/widgets.h"

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setObjectName("Form4");
    setWindowTitle("Torvana");
    setModal(true);
    setSizeGripEnabled(true);

    Label2 = torvana::toolkit::boldLabel("Select/Create a Staging Folder", this, 10);
    Label2->setObjectName("Label2");
    Label1 = new QLabel("New Folder Name:", this);
    Label1->setObjectName("Label1");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    const torvana::toolkit::FolderChooser chooser = torvana::toolkit::makeFolderChooser(this);
    DriveComboBox1 = chooser.drives;
    DirectoryListBox1 = chooser.folders;
    connect(DirectoryListBox1, &torvana::toolkit::DirectoryListBox::changed, this, &TForm4::DirectoryListBox1Change);

    const torvana::toolkit::OkCancel buttons = torvana::toolkit::makeOkCancel(this, 73);
    BitBtn1 = buttons.ok;
    BitBtn2 = buttons.cancel;

    auto* fields = new QVBoxLayout;
    fields->setContentsMargins(16, 0, 0, 0);
    fields->setSpacing(3);
    fields->addWidget(Label1);
    fields->addWidget(Edit1);
    fields->addSpacing(16);
    fields->addWidget(DriveComboBox1);
    fields->addSpacing(4);
    fields->addWidget(DirectoryListBox1, 1);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->setContentsMargins(16, 0, 0, 0);
    buttonRow->addWidget(BitBtn1);
    buttonRow->addSpacing(23);
    buttonRow->addWidget(BitBtn2);
    buttonRow->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(Label2);
    layout->addSpacing(14);
    layout->addLayout(fields, 1);
    layout->addSpacing(20);
    layout->addLayout(buttonRow);

    setTabOrder(Edit1, DriveComboBox1);
    setTabOrder(DriveComboBox1, DirectoryListBox1);
    setTabOrder(DirectoryListBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    resize(QSize(251, 350).expandedTo(sizeHint()));
    setMinimumSize(sizeHint());
    torvana::toolkit::prepareTextFields(this);
}

void TForm4::DirectoryListBox1Change() { Edit1->clear(); }

void TForm4::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    torvana::toolkit::centerOnScreen(this);
}
