#include "build/staging_folder_dialog.h"

TForm4::TForm4(QWidget* parent) : QDialog(parent) {
    setObjectName("Form4");
    setWindowTitle("Torvana");
    setModal(true);
}
