#include "settings/ui/about_box.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "gif/qt/picture_control.h"
#include "project/errors.h"
#include "settings/web_site.h"
#include "toolkit/pointer.h"
#include "toolkit/shell.h"
#include "toolkit/widgets.h"

// The logo is embedded in the program (resources/torvana.qrc), in a static library, so its
// resource is registered by hand.
static void initLogoResource() { Q_INIT_RESOURCE(torvana); }

namespace {

// The logo, loaded by its kind like any picture file and animated on `clock`; an unreadable
// logo leaves the place empty.
std::shared_ptr<torvana::gif::Graphic> loadLogo(std::shared_ptr<torvana::gif::PainterClock> clock) {
    initLogoResource();
    try {
        std::shared_ptr<torvana::gif::Graphic> logo = torvana::gif::LoadGraphic(":/torvana/torvana_logo.gif");
        if (auto* gif = dynamic_cast<torvana::gif::GifPicture*>(logo.get())) gif->Clock = std::move(clock);
        return logo;
    } catch (const torvana::Error&) {
        return std::make_shared<torvana::gif::GifPicture>();
    }
}

}  // namespace

TAboutBox::TAboutBox(std::shared_ptr<torvana::gif::PainterClock> clock, QWidget* parent) : QDialog(parent) {
    setObjectName("AboutBox");
    setWindowTitle("About");
    setModal(true);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameStyle(QFrame::Panel | QFrame::Raised);
    Panel1->setLineWidth(2);
    Panel1->setMouseTracking(true);
    Panel1->installEventFilter(this);

    Image1 = new torvana::gif::PictureControl(Panel1);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(57, 49);
    Image1->setGraphic(loadLogo(std::move(clock)));

    ProductName = torvana::toolkit::boldLabel("Torvana", Panel1, 12);
    ProductName->setObjectName("ProductName");
    QPalette blue = ProductName->palette();
    blue.setColor(QPalette::WindowText, QColor(0, 0, 255));
    ProductName->setPalette(blue);

    Version = new QLabel("Version ", Panel1);
    Version->setObjectName("Version");

    Comments = new QLabel(torvana::kWebAddress, Panel1);
    Comments->setObjectName("Comments");
    QFont link = Comments->font();
    link.setBold(true);
    link.setUnderline(true);
    Comments->setFont(link);
    // The address is one word: wrapping would cut it, so the box widens to show it whole.
    Comments->setMinimumWidth(Comments->sizeHint().width());
    Comments->setToolTip("Go to web site");  // always shown
    Comments->setMouseTracking(true);
    Comments->installEventFilter(this);
    Comments->setFocusPolicy(Qt::TabFocus);  // reachable from the keyboard: Space opens it

    OKButton = new QPushButton("OK", this);
    OKButton->setObjectName("OKButton");
    OKButton->setDefault(true);
    OKButton->setMinimumSize(75, 25);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto* top = new QHBoxLayout;
    top->setSpacing(15);
    top->addWidget(Image1, 0, Qt::AlignTop);
    auto* names = new QVBoxLayout;
    names->addWidget(ProductName);
    names->addStretch(1);
    names->addWidget(Version);
    top->addLayout(names, 1);

    auto* panel = new QVBoxLayout(Panel1);
    panel->setContentsMargins(24, 16, 24, 16);
    panel->addLayout(top);
    panel->addSpacing(30);
    panel->addWidget(Comments, 0, Qt::AlignHCenter);
    panel->addStretch(1);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 8, 8);
    layout->addWidget(Panel1, 1);
    layout->addSpacing(3);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);

    setFixedSize(QSize(298, 213).expandedTo(sizeHint()));
}

void TAboutBox::setVersion(const std::string& versionText) {
    Version->setText(QString::fromLocal8Bit(("Version " + versionText).c_str()));
}

void TAboutBox::CommentsClick() { torvana::toolkit::openOrSay(torvana::kWebAddress, this); }

void TAboutBox::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    torvana::toolkit::centerOnScreen(this);
}

bool TAboutBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched == Comments) {
        if (event->type() == QEvent::MouseMove) torvana::toolkit::setPointer(torvana::toolkit::Pointer::Hand);
        if (event->type() == QEvent::MouseButtonRelease &&
            static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton)
            CommentsClick();
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_Space)
            CommentsClick();
    } else if (watched == Panel1 && event->type() == QEvent::MouseMove) {
        const auto* move = static_cast<QMouseEvent*>(event);
        if (!Panel1->childAt(move->position().toPoint())) torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow);
    }
    return QDialog::eventFilter(watched, event);
}
