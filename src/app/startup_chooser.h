#pragma once
// The start-up chooser: asks whether to create a new project or open an existing one.
// "Create a new Project" closes it with Accepted, "Open an existing Project" and the close box
// with Rejected.

#include <QDialog>

class QLabel;
class QPushButton;

class TForm5 : public QDialog {
    Q_OBJECT
public:
    explicit TForm5(QWidget* parent = nullptr);

    QLabel* Label1;
    QPushButton* Button1;
    QPushButton* Button2;

protected:
    void showEvent(QShowEvent* event) override;
    // Neither button is the default or the cancel button: Escape does nothing, and Enter presses
    // only the button that has the focus (as Space does).
    void keyPressEvent(QKeyEvent* event) override;
};
