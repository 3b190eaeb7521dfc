#pragma once
// The hotspot editor window: the six fields of one hotspot. It is not modal: the main window
// hides while it is shown, and every way out of it shows the main window again, which then
// applies the hand-off file the editor wrote (an accepted or a deleted hotspot).

#include <QWidget>
#include <functional>
#include <string>

#include "project/project_state.h"
#include "toolkit/file_picker.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace torvana::toolkit {
class BrowsePicture;
}

// What the editor needs of the window that opens it, given at creation.
struct HotspotEditorOwner {
    // The number of the hotspot being edited, as the owner's number box shows it.
    std::function<std::string()> hotspotNumber;
    // Shows the owner again (and lets it pick up the hand-off file); every way out calls it.
    std::function<void()> showAgain;
};

class TForm2 : public QWidget {
    Q_OBJECT
public:
    explicit TForm2(HotspotEditorOwner owner, QWidget* parent = nullptr);

    QLabel* Label1;  // heading "Editing HotSpot: n"
    QLabel* Label9;
    QLabel* Label2;
    QLineEdit* Edit1;  // application
    torvana::toolkit::BrowsePicture* Image1;
    QLabel* Label10;
    QLabel* Label11;
    QLabel* Label5;
    QLineEdit* Edit2;  // rollover image
    torvana::toolkit::BrowsePicture* Image4;
    QLabel* Label6;
    QLabel* Label12;
    QLineEdit* Edit5;  // X
    QLineEdit* Edit6;  // Y
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label3;
    QLineEdit* Edit3;  // rollover sound
    torvana::toolkit::BrowsePicture* Image2;
    QLabel* Label4;
    QLineEdit* Edit4;  // click sound
    torvana::toolkit::BrowsePicture* Image3;
    QPushButton* BitBtn1;  // OK
    QPushButton* BitBtn3;  // Delete
    QPushButton* BitBtn2;  // Cancel
    torvana::toolkit::FilePicker OpenDialog1;

    // The six fields and three buttons whose hints follow "ToolTip Help".
    QList<QWidget*> hintControls() const;

    // Shows the editor in front for one hotspot: its six fields, the hints shown or not, and
    // the heading with the number the owner shows; the focus goes to the application field.
    void editHotspot(const torvana::Hotspot& hotspot, bool hintsShown);

    void BitBtn1Click();  // OK: validate, write "config.$$$", leave
    void BitBtn2Click();  // Cancel: leave without writing
    void BitBtn3Click();  // Delete: confirm, write "config.del", leave
    void Image1Click();
    void Image2Click();
    void Image3Click();
    void Image4Click();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Shows the main window again (which applies the hand-off) and hides this one.
    void leave();
    // A validation refusal: beep, error box, focus into the field.
    void refuse(const char* message, QLineEdit* field);
    void browse(QLineEdit* field, const char* title, const char* filter);

    HotspotEditorOwner owner_;
};
