#include "hotspot/hotspot_editor.h"

TForm2::TForm2(QWidget* parent) : QWidget(parent) {
    setObjectName("Form2");
    setWindowTitle("Torvana");
}
