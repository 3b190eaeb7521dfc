#pragma once
// File > Burn Disc...: the drive (those that write discs, or a libburn address typed in such as
// stdio:/path/disc.iso), the speed, and whether the disc is read back and checked afterwards.

#include <QDialog>
#include <string>
#include <vector>

#include "disc/disc_burn.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class TBurnForm : public QDialog {
    Q_OBJECT
public:
    explicit TBurnForm(QWidget* parent = nullptr);

    // Lists the drives; with none, says so and leaves the field for an address to type.
    void setDrives(const std::vector<torvana::BurnDrive>& drives);
    // What the user chose, once OK closed the dialog.
    torvana::BurnOptions options() const;

    QLabel* Label1;
    QComboBox* ComboBox1;  // the drive, editable
    QLabel* Label2;        // "No drive that writes discs was found." when there is none
    QLabel* Label3;
    QComboBox* ComboBox2;  // the speed
    QCheckBox* CheckBox1;  // check the disc after burning
    QPushButton* BitBtn1;  // Burn
    QPushButton* BitBtn2;  // Cancel

    // OK without a drive is refused with a warning; the dialog stays open.
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::vector<torvana::BurnDrive> drives_;
};
