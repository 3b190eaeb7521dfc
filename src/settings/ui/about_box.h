#pragma once
// The About box: the product name, the version, the web address as a link, and the animated
// logo. Created once at start-up and shown modally by the About menu item. The logo keeps
// animating while the box is hidden, so it shows where it has got to when opened again.

#include <QDialog>
#include <memory>
#include <string>

class QFrame;
class QLabel;
class QPushButton;

namespace torvana::gif {
class PainterClock;
class PictureControl;
}

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    // The logo's animation is timed by `clock` (the system clock when null).
    explicit TAboutBox(std::shared_ptr<torvana::gif::PainterClock> clock = nullptr, QWidget* parent = nullptr);

    QFrame* Panel1;
    torvana::gif::PictureControl* Image1;  // the animated logo
    QLabel* ProductName;
    QLabel* Version;
    QLabel* Comments;  // the web address
    QPushButton* OKButton;

    // "Version " and the version text, set each time the box is shown.
    void setVersion(const std::string& versionText);

    void CommentsClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;
};
