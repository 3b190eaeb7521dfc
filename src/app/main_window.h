#pragma once
// The main window: the open project's fields, the hotspot row and every command. It shows the
// project document and hands every change the user makes in it to the document.

#include <QMainWindow>
#include <functional>
#include <string>

#include "app/forms.h"
#include "disc/disc_check.h"
#include "document/project_document.h"
#include "project/project_state.h"
#include "staging/staging_build.h"
#include "toolkit/file_picker.h"

class QAction;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;

namespace torvana::toolkit {
class BrowsePicture;
class TrackBar;
}  // namespace torvana::toolkit

class TForm1 : public QMainWindow {
    Q_OBJECT
public:
    // `settingsPath` is the settings file read at creation and written by the Settings menu.
    // `windows` are the program's other windows that the commands open; they are created
    // after this one and filled in before it is shown. The window shows and changes the
    // project of windows.Document, which exists before it.
    TForm1(std::string settingsPath, const Forms& windows, QWidget* parent = nullptr);

    // Controls, named as the program's documentation names them.
    QFrame* Bevel1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLineEdit* Edit1;
    QLineEdit* Edit2;
    QLineEdit* Edit3;
    QLineEdit* Edit4;
    QLineEdit* Edit5;
    torvana::toolkit::BrowsePicture* Image1;
    torvana::toolkit::BrowsePicture* Image2;
    torvana::toolkit::BrowsePicture* Image3;
    torvana::toolkit::TrackBar* TrackBar1;
    QPushButton* BitBtn1;
    QPushButton* BitBtn2;
    QPushButton* BitBtn3;
    QPushButton* BitBtn4;
    QPushButton* BitBtn5;  // "&Layout": the HotSpot Layout window (also Ctrl+L)
    QCheckBox* CheckBox1;
    QCheckBox* CheckBox2;
    torvana::toolkit::FilePicker OpenDialog1;
    torvana::toolkit::FilePicker SaveDialog1;  // names disc images
    std::string proposedImage_;                // the image name Make Disc Image proposed last

    QMenu* File1;
    QAction* New1;
    QAction* Open1;
    QMenu* Reopen1;  // the last projects opened or saved, most recent first
    QAction* Save1;
    QAction* Close1;
    QAction* CheckDisc1;
    QAction* MakeDiscImage1;
    QAction* BurnDisc1;
    QAction* N1;
    QAction* Exit1;
    QMenu* Settings1;
    QAction* ToolTipHelp1;
    QAction* Warnme1;
    QAction* N2;
    QAction* LinuxPlayer1;  // "Add a Linux player": the build adds autorun.sh and the Linux player
    QAction* WebMenu1;      // "Add a web page menu": the build writes index.html
    QAction* FolderNames1;  // "Keep my folder names off the disc": the staged project stores names only
    QAction* SignPlayer1;   // "Sign the Windows player...": the certificate the build signs autorun.exe with
    QMenu* Help1;
    QAction* OnlineHelp1;
    QAction* GoToWebSite1;
    QAction* About1;
    QAction* Layout1;  // Ctrl+L, the shortcut of BitBtn5
    QAction* Undo1;    // Ctrl+Z: takes back the project's last change, wherever it was made
    QAction* Redo1;    // Ctrl+Y, Ctrl+Shift+Z: makes the change taken back last again

    const std::string& settingsPath() const { return settingsPath_; }

    // Shows the window and runs FormActivate once it is on screen. Used at start-up and by the
    // hotspot editor when it hands the focus back; nothing else runs FormActivate.
    void showAndActivate();

    // Handlers.
    void FormCreate();
    void FormActivate();
    void New1Click();
    void Open1Click();
    // One entry of the Reopen menu: Open without its dialog, with the same question.
    void reopenProject(const std::string path);
    void Save1Click();
    void Close1Click();
    void CheckDisc1Click();
    void MakeDiscImage1Click();
    void BurnDisc1Click();
    void Exit1Click();
    void BitBtn1Click();  // Save
    void BitBtn2Click();  // Exit
    void BitBtn3Click();  // Edit hotspot
    void BitBtn4Click();  // Test Run
    void BitBtn5Click();  // HotSpot Layout
    void TrackBar1Change();
    void Image1Click();
    void Image2Click();
    void Image3Click();
    void ToolTipHelp1Click();
    void Warnme1Click();
    void LinuxPlayer1Click();
    void WebMenu1Click();
    void FolderNames1Click();
    void SignPlayer1Click();
    void OnlineHelp1Click();
    void GoToWebSite1Click();
    void About1Click();

    // The project shown.
    torvana::ProjectDocument& document() const { return document_; }
    // The build's settings as the Settings menu shows them now.
    torvana::BuildSettings buildSettings() const;
    // Save's build with its questions and messages; `quietSuccess` leaves out its closing
    // message for a command that says more after it.
    torvana::BuildResult runBuild(bool quietSuccess);
    // The staging field's folder as a path that does not depend on the current folder: a
    // relative text is taken from the folder that was current when it was set or typed. Empty
    // when the field is.
    std::string stagingFolderPath() const;

    // Takes the user to what a disc check finding concerns: its field, its hotspot in the
    // hotspot editor, or the staging folder's files in the file manager.
    void openFinding(const torvana::Finding& finding);

    // Reads a project file and shows it, as Open does once a file is chosen (and as Reopen and
    // the command line ask), and lists it first under Reopen. Throws Error when the file
    // cannot be read; the open project stays then.
    void openProjectFile(const std::string& path);

    // The two caption formats.
    void setStartupCaption();
    void setProjectCaption();

    // The eleven controls whose tooltips follow "ToolTip Help", in their switching order.
    QList<QWidget*> hintControls() const;
    void showHints(bool shown);

    // Applies the hotspot hand-off files waiting in the current folder. Returns true when an
    // accepted hotspot ("config.$$$") was applied.
    bool applyHandOffFiles();

    // Sets the track bar's maximum to the slots the project offers.
    void setHotspotRange();
    // The number box shows the track bar's position and the file name of that slot's target.
    void showSelectedSlot();
    // The number box's and the track bar's accessible names: the selected slot and its label.
    void nameSelectedSlot();

    // Fills the Reopen menu from the settings file; the menu is disabled when the list is empty.
    void fillReopenMenu();
    // Puts the open project first in the Reopen list.
    void rememberProject();

    // Asks the unsaved-project question when it applies. Returns false when the user says No.
    bool confirmDiscard(const char* message);

signals:
    // The window was closed: the program ends.
    void closed();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildControls();
    void buildMenu();
    void connectHandlers();
    // Writes a Settings menu item's new check mark to the settings file, then applies it.
    void switchSetting(QAction* item, const char* key, const std::function<void(bool)>& apply);
    // The project's state, read only: the document changes it.
    const torvana::ProjectState& state() const { return document_.state(); }
    // Showing the document: a field, a switch, the hotspot row after the hotspots changed, and
    // the whole project after New, Open and Close (the first slot selected).
    QLineEdit* fieldEdit(torvana::ProjectField field) const;
    QCheckBox* switchBox(torvana::ProjectSwitch which) const;
    void showField(torvana::ProjectField field);
    void showSwitch(torvana::ProjectSwitch which);
    void showHotspots();
    void showDocument();

    torvana::ProjectDocument& document_;
    // Set while the window itself shows the document in its fields: not the user's typing.
    bool showing_ = false;
    std::string settingsPath_;
    // Settings > Sign the Windows player: the certificate (empty: no signing) and timestamp server.
    std::string signCertificate_;
    std::string signTimestamp_;
    const Forms& windows_;
    // The folder that was current when the staging field's text was last set or typed (the
    // project's folder when Open set it). A relative staging folder is read from there by Save,
    // Test Run, Check Disc and Make Disc Image alike, although Test Run and the pickers make
    // other folders current afterwards.
    std::string stagingBase_;
};
