#include "app/startup_chooser.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "toolkit/widgets.h"

TForm5::TForm5(QWidget* parent) : QDialog(parent) {
    setObjectName("Form5");
    setWindowTitle("Torvana");
    setModal(true);

    Label1 = torvana::toolkit::boldLabel("Would you like to:", this, 12);
    Label1->setObjectName("Label1");
    Label1->setAlignment(Qt::AlignCenter);

    Button1 = new QPushButton("Create a new Project", this);
    Button1->setObjectName("Button1");
    Button2 = new QPushButton("Open an existing Project", this);
    Button2->setObjectName("Button2");
    // Neither button answers Enter on its own: the user picks one deliberately.
    for (QPushButton* b : {Button1, Button2}) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setMinimumSize(137, 25);
    }
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);
    connect(Button2, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addSpacing(39);
    buttons->addWidget(Button2);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 16, 24, 16);
    layout->addWidget(Label1);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->addStretch(1);

    // The sizes at 96 dpi are the least; larger fonts make the window grow instead of clipping.
    resize(QSize(369, 122).expandedTo(sizeHint()));
    setMinimumSize(sizeHint());
}

void TForm5::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    torvana::toolkit::centerOnScreen(this);
}

void TForm5::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Escape:
        event->accept();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (auto* focused = qobject_cast<QPushButton*>(focusWidget()))
            focused->click();
        event->accept();
        return;
    default:
        QDialog::keyPressEvent(event);
    }
}
