#pragma once
// Settings > Sign the Windows player...: the certificate the build signs the staged autorun.exe
// with (a PKCS#12 file, or a PKCS#11 URI of a token) and an optional RFC 3161 timestamp server.
// The password is asked at each build and never kept here.

#include <QDialog>
#include <string>

#include "toolkit/file_picker.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TSigningForm : public QDialog {
    Q_OBJECT
public:
    explicit TSigningForm(QWidget* parent = nullptr);

    // Fills the fields; after OK, certificate() and timestampUrl() are what the user accepted.
    void setValues(const std::string& certificate, const std::string& timestampUrl);
    std::string certificate() const;
    std::string timestampUrl() const;

    QLabel* Label1;
    QLineEdit* Edit1;     // the certificate
    QPushButton* BitBtn3; // "Browse..." for a PKCS#12 file
    QLabel* Label2;
    QLineEdit* Edit2;     // the timestamp server
    QLabel* Label3;
    QPushButton* BitBtn1; // OK
    QPushButton* BitBtn2; // Cancel

    void BitBtn3Click();
    // OK: a certificate that is neither an existing file nor a pkcs11: URI, or a timestamp
    // address that is no http(s) address, is refused with a warning and the dialog stays open.
    void BitBtn1Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    torvana::toolkit::FilePicker picker_;
};
