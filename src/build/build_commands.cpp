// Save, Test Run and the pickers of the main window.

#include "app/main_window.h"
#include "toolkit/message_box.h"

void TForm1::BitBtn1Click() {
    toolkit::runCommand([this] {
        if (!state.projectOpen()) {
            toolkit::beep();
            return;
        }
    });
}

void TForm1::Save1Click() { BitBtn1Click(); }
void TForm1::BitBtn4Click() {}
void TForm1::Image1Click() {}
void TForm1::Image2Click() {}
void TForm1::Image3Click() {}
