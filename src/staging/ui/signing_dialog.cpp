#include "staging/ui/signing_dialog.h"

#include <QDir>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "project/file_io.h"
#include "toolkit/message_box.h"
#include "toolkit/text.h"
#include "toolkit/widgets.h"

TSigningForm::TSigningForm(QWidget* parent) : QDialog(parent) {
    setObjectName("SigningForm");
    setWindowTitle("Sign the Windows Player");
    setModal(true);

    Label1 = new QLabel("&Certificate (a PKCS#12 file, or a pkcs11: token address):", this);
    Label1->setObjectName("Label1");
    Edit1 = new QLineEdit(this);
    Edit1->setObjectName("Edit1");
    Label1->setBuddy(Edit1);
    BitBtn3 = new QPushButton("&Browse...", this);
    BitBtn3->setObjectName("BitBtn3");
    BitBtn3->setAutoDefault(false);
    Label2 = new QLabel("&Timestamp server (optional, RFC 3161):", this);
    Label2->setObjectName("Label2");
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName("Edit2");
    Edit2->setPlaceholderText("http://timestamp.example.com");
    Label2->setBuddy(Edit2);
    Label3 = new QLabel(
        "Each Save signs the autorun.exe it copies into the staging folder and asks for the "
        "certificate's password, which is never stored. Leave the certificate empty to stop signing.",
        this);
    Label3->setObjectName("Label3");
    Label3->setWordWrap(true);

    const torvana::toolkit::OkCancel buttons = torvana::toolkit::makeOkCancel(this, 73);
    BitBtn1 = buttons.ok;
    BitBtn2 = buttons.cancel;
    // OK checks the fields before the dialog closes.
    disconnect(BitBtn1, nullptr, this, nullptr);
    connect(BitBtn1, &QPushButton::clicked, this, &TSigningForm::BitBtn1Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TSigningForm::BitBtn3Click);

    auto* certificateRow = new QHBoxLayout;
    certificateRow->addWidget(Edit1, 1);
    certificateRow->addWidget(BitBtn3);
    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(BitBtn1);
    buttonRow->addWidget(BitBtn2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 16);
    layout->addWidget(Label1);
    layout->addLayout(certificateRow);
    layout->addSpacing(8);
    layout->addWidget(Label2);
    layout->addWidget(Edit2);
    layout->addSpacing(8);
    layout->addWidget(Label3);
    layout->addSpacing(12);
    layout->addLayout(buttonRow);

    setTabOrder(Edit1, BitBtn3);
    setTabOrder(BitBtn3, Edit2);
    setTabOrder(Edit2, BitBtn1);
    setTabOrder(BitBtn1, BitBtn2);
    resize(QSize(460, 0).expandedTo(sizeHint()));
    setMinimumSize(QSize(460, sizeHint().height()));
}

void TSigningForm::setValues(const std::string& certificate, const std::string& timestampUrl) {
    Edit1->setText(torvana::toolkit::toQString(certificate));
    Edit2->setText(torvana::toolkit::toQString(timestampUrl));
}

std::string TSigningForm::certificate() const { return torvana::toolkit::toLocalString(Edit1->text().trimmed()); }

std::string TSigningForm::timestampUrl() const { return torvana::toolkit::toLocalString(Edit2->text().trimmed()); }

void TSigningForm::BitBtn3Click() {
    // Without a certificate file the picker starts in the home folder, never in the current
    // folder, which after a Test Run is the staging folder: a certificate kept there would go
    // onto the disc with its private key.
    std::string start = certificate();
    if (start.empty() || start.rfind("pkcs11:", 0) == 0) start = torvana::toolkit::toLocalString(QDir::homePath() + "/");
    if (const auto chosen = picker_.pick(this, "Certificate", "Certificates (*.p12;*.pfx) |*.p12;*.pfx", start))
        Edit1->setText(torvana::toolkit::toQString(*chosen));
}

void TSigningForm::BitBtn1Click() {
    const std::string cert = certificate();
    const std::string url = timestampUrl();
    if (!cert.empty() && cert.rfind("pkcs11:", 0) != 0 && !torvana::fileExists(cert)) {
        torvana::toolkit::showWarning("The certificate file \"" + cert + "\" does not exist.", this);
        Edit1->setFocus();
        return;
    }
    if (!url.empty() && url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0) {
        torvana::toolkit::showWarning("The timestamp server \"" + url + "\" is not an http:// or https:// address.", this);
        Edit2->setFocus();
        return;
    }
    accept();
}

void TSigningForm::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    torvana::toolkit::centerOnScreen(this);
}
