#include "disc/ui/burn_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "toolkit/message_box.h"
#include "toolkit/text.h"
#include "toolkit/widgets.h"

namespace {
// The speeds offered, in multiples of the medium's 1x; 0 is the drive's fastest.
constexpr int kSpeeds[] = {0, 4, 8, 16, 24, 48};
constexpr const char* kExample = "/dev/sr0, or stdio:/path/disc.iso for a file";
constexpr const char* kNoDrive =
    "No drive that writes discs was found. Connect one, or type a drive's address, such as /dev/sr0, or "
    "stdio:/path/disc.iso to burn to a file.";
}  // namespace

TBurnForm::TBurnForm(QWidget* parent) : QDialog(parent) {
    setObjectName("BurnForm");
    setWindowTitle("Burn Disc");
    setModal(true);

    Label1 = new QLabel("&Drive:", this);
    Label1->setObjectName("Label1");
    ComboBox1 = new QComboBox(this);
    ComboBox1->setObjectName("ComboBox1");
    ComboBox1->setEditable(true);
    // Enter in the field is Burn with what was typed: nothing is added to the list, where an
    // item would stand without an address behind it.
    ComboBox1->setInsertPolicy(QComboBox::NoInsert);
    ComboBox1->lineEdit()->setPlaceholderText(kExample);
    ComboBox1->setToolTip(QString("A drive, or its address: ") + kExample);
    ComboBox1->setMinimumContentsLength(32);
    Label1->setBuddy(ComboBox1);
    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    Label2->setWordWrap(true);
    Label2->hide();
    Label3 = new QLabel("&Speed:", this);
    Label3->setObjectName("Label3");
    ComboBox2 = new QComboBox(this);
    ComboBox2->setObjectName("ComboBox2");
    for (const int speed : kSpeeds) ComboBox2->addItem(speed ? QString("%1x").arg(speed) : QString("Fastest"), speed);
    Label3->setBuddy(ComboBox2);
    CheckBox1 = new QCheckBox("&Check the disc after burning (reads it back and compares its MD5)", this);
    CheckBox1->setObjectName("CheckBox1");
    CheckBox1->setChecked(true);

    const torvana::toolkit::OkCancel buttons = torvana::toolkit::makeOkCancel(this, 73);
    BitBtn1 = buttons.ok;
    BitBtn1->setText("&Burn");
    BitBtn2 = buttons.cancel;
    disconnect(BitBtn1, nullptr, this, nullptr);
    connect(BitBtn1, &QPushButton::clicked, this, &TBurnForm::BitBtn1Click);

    auto* grid = new QGridLayout;
    grid->addWidget(Label1, 0, 0);
    grid->addWidget(ComboBox1, 0, 1);
    grid->addWidget(Label2, 1, 1);
    grid->addWidget(Label3, 2, 0);
    grid->addWidget(ComboBox2, 2, 1, Qt::AlignLeft);
    grid->setColumnStretch(1, 1);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(BitBtn1);
    buttonRow->addWidget(BitBtn2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addLayout(grid);
    layout->addSpacing(8);
    layout->addWidget(CheckBox1);
    layout->addSpacing(12);
    layout->addLayout(buttonRow);

    setTabOrder(ComboBox1, ComboBox2);
    setTabOrder(ComboBox2, CheckBox1);
    setTabOrder(CheckBox1, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
}

void TBurnForm::setDrives(const std::vector<torvana::BurnDrive>& drives) {
    drives_ = drives;
    ComboBox1->clear();
    for (const torvana::BurnDrive& d : drives)
        ComboBox1->addItem(torvana::toolkit::toQString(d.name + " (" + d.address + ")"), torvana::toolkit::toQString(d.address));
    Label2->setText(kNoDrive);
    Label2->setVisible(drives.empty());
    adjustSize();
}

torvana::BurnOptions TBurnForm::options() const {
    torvana::BurnOptions o;
    const int at = ComboBox1->currentIndex();
    const QString text = ComboBox1->currentText().trimmed();
    // A listed drive gives its address; anything typed is an address itself.
    const QString listed = at >= 0 && ComboBox1->itemText(at) == text ? ComboBox1->itemData(at).toString() : QString();
    o.drive = torvana::toolkit::toLocalString(listed.isEmpty() ? text : listed);
    o.speed = ComboBox2->currentData().toInt();
    o.verify = CheckBox1->isChecked();
    return o;
}

void TBurnForm::BitBtn1Click() {
    if (options().drive.empty()) {
        torvana::toolkit::showWarning(kNoDrive, this);
        ComboBox1->setFocus();
        return;
    }
    accept();
}

void TBurnForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    torvana::toolkit::centerOnScreen(this);
}
