// Online Help, Go to Web Site and About.

#include "app/forms.h"
#include "app/main_window.h"
#include "settings/ui/about_box.h"
#include "settings/web_site.h"
#include "toolkit/shell.h"

void TForm1::OnlineHelp1Click() { torvana::toolkit::openOrSay(state().programFolder + "torvana_help.htm", this); }
void TForm1::GoToWebSite1Click() { torvana::toolkit::openOrSay(torvana::kWebAddress, this); }
void TForm1::About1Click() {
    TAboutBox* box = windows_.AboutBox;
    box->setVersion(state().versionText);
    box->exec();
}
