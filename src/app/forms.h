#pragma once
// The program's six windows, and the HotSpot Layout window beside them. They are created once
// at start-up, in a fixed order, and live until the program ends; they are shown and hidden,
// never re-created.

#include <string>

class TForm1;
class TForm2;
class TForm3;
class TForm4;
class TForm5;
class TAboutBox;
class THotspotLayout;
namespace torvana {
class ProjectDocument;
}

struct Forms {
    torvana::ProjectDocument* Document = nullptr;  // the open project, shown by every window
    TForm1* Form1 = nullptr;        // main window
    TForm2* Form2 = nullptr;        // hotspot editor
    TForm3* Form3 = nullptr;        // new-project dialog
    TAboutBox* AboutBox = nullptr;  // About box
    TForm4* Form4 = nullptr;        // staging-folder dialog
    TForm5* Form5 = nullptr;        // start-up chooser
    THotspotLayout* Layout = nullptr;  // the hotspots on the background
};

Forms& forms();

// Creates the project document, then the six windows in order: TForm1, TForm2, TForm3, TAboutBox, TForm4, TForm5; then
// the layout window, which follows the main window's project.
// The main window reads its settings from `settingsPath`.
void createForms(const std::string& settingsPath);
void destroyForms();

// Where the settings file lives: torvana.ini in the user's configuration folder.
std::string defaultSettingsPath();
