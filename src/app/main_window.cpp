#include "app/main_window.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app/forms.h"
#include "app/startup_chooser.h"
#include "hotspot/ui/hotspot_layout.h"
#include "project/errors.h"
#include "settings/recent_projects.h"
#include "settings/settings_file.h"
#include "toolkit/artwork.h"
#include "toolkit/message_box.h"
#include "toolkit/pointer.h"
#include "toolkit/widgets.h"
#include "toolkit/text.h"

namespace {

constexpr const char* kCaptionPrefix = "Torvana - Ver. ";

// The settings file's folder may not exist yet on a new machine.
void makeSettingsFolder(const std::string& path) {
    QDir().mkpath(QFileInfo(torvana::toolkit::toQString(path)).absolutePath());
}

QLineEdit* edit(const char* name, QWidget* parent) {
    auto* e = new QLineEdit(parent);
    e->setObjectName(name);
    e->setMinimumWidth(233);
    return e;
}

QLabel* label(const char* name, const QString& text, QWidget* parent, bool bold = false) {
    QLabel* l = bold ? torvana::toolkit::boldLabel(text, parent) : new QLabel(text, parent);
    l->setObjectName(name);
    l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return l;
}

QPushButton* button(const char* name, const QString& caption, const QIcon& glyph, QWidget* parent) {
    auto* b = new QPushButton(glyph, caption, parent);
    b->setObjectName(name);
    b->setMinimumSize(75, 25);
    // Enter on a focused button presses that button, as on the desktop it comes from.
    b->setAutoDefault(true);
    return b;
}

}  // namespace

TForm1::TForm1(std::string settingsPath, const Forms& windows, QWidget* parent)
    : QMainWindow(parent), document_(*windows.Document), settingsPath_(std::move(settingsPath)), windows_(windows) {
    setObjectName("Form1");
    setWindowIcon(torvana::toolkit::programIcon());
    buildControls();
    buildMenu();
    connectHandlers();
    torvana::toolkit::prepareTextFields(this);
    torvana::toolkit::leaveUndoToWindow(this);
    FormCreate();
}

void TForm1::buildControls() {
    auto* central = new QWidget(this);
    central->setObjectName("ClientArea");
    central->setMinimumSize(449, 344);
    central->setMouseTracking(true);
    central->installEventFilter(this);
    setCentralWidget(central);

    Bevel1 = new QFrame(central);
    Bevel1->setObjectName("Bevel1");
    Bevel1->setFrameShape(QFrame::HLine);
    Bevel1->setFrameShadow(QFrame::Sunken);

    Label7 = new QLabel("BOLD fields are required", central);
    Label7->setObjectName("Label7");
    Label1 = label("Label1", "CD Title:", central);
    Label2 = label("Label2", "Staging Folder:", central, true);
    Label3 = label("Label3", "Background Image:", central, true);
    Label6 = label("Label6", "(640 x 480)", central);
    Label4 = label("Label4", "Opening WAV:", central);
    Label5 = label("Label5", "Edit HotSpot:", central);

    Edit1 = edit("Edit1", central);
    Edit2 = edit("Edit2", central);
    Edit3 = edit("Edit3", central);
    Edit4 = edit("Edit4", central);
    torvana::toolkit::setHint(Edit1, "This text will appear on the Window bar");
    torvana::toolkit::setHint(Edit2, "All files will be copied here to burn to a cd");
    torvana::toolkit::setHint(Edit3, "This image will appear when the autorun program is launched");
    torvana::toolkit::setHint(Edit4, "The sound when the background image gets displayed");
    for (QLineEdit* e : {Edit2, Edit3, Edit4}) {
        e->setMouseTracking(true);
        e->installEventFilter(this);
    }

    Image1 = new torvana::toolkit::BrowsePicture(central);
    Image1->setObjectName("Image1");
    Image2 = new torvana::toolkit::BrowsePicture(central);
    Image2->setObjectName("Image2");
    Image3 = new torvana::toolkit::BrowsePicture(central);
    Image3->setObjectName("Image3");
    for (QWidget* w : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2), static_cast<QWidget*>(Image3)})
        w->installEventFilter(this);
    Image1->setField(Edit2);
    Image2->setField(Edit3);
    Image3->setField(Edit4);

    TrackBar1 = new torvana::toolkit::TrackBar(central);
    TrackBar1->setObjectName("TrackBar1");
    TrackBar1->setMinimum(1);
    TrackBar1->setMax(20);
    TrackBar1->setPosition(1);
    TrackBar1->setMinimumSize(57, 33);
    torvana::toolkit::setHint(TrackBar1, "Select a HotSpot");

    Edit5 = new QLineEdit("1", central);
    Edit5->setObjectName("Edit5");
    Edit5->setReadOnly(true);
    Edit5->setAlignment(Qt::AlignRight);
    Edit5->setFixedWidth(std::max(25, Edit5->fontMetrics().horizontalAdvance("999") + 10));
    torvana::toolkit::showHint(Edit5, true);  // its hint is always shown

    BitBtn3 = button("BitBtn3", "&Edit", torvana::toolkit::editGlyph(), central);
    BitBtn3->setMinimumSize(65, 25);
    torvana::toolkit::setHint(BitBtn3, "Edit the current HotSpot");
    BitBtn5 = button("BitBtn5", "&Layout", QIcon(), central);
    BitBtn5->setMinimumSize(65, 25);
    torvana::toolkit::setHint(BitBtn5, "See the HotSpots on the background image and move them (Ctrl+L)");

    CheckBox1 = new QCheckBox("Show 'Browse' button", central);
    CheckBox1->setObjectName("CheckBox1");
    torvana::toolkit::setHint(CheckBox1, "If checked, a browse button will appear on autorun form");
    CheckBox2 = new QCheckBox("Show 'Exit' button", central);
    CheckBox2->setObjectName("CheckBox2");
    torvana::toolkit::setHint(CheckBox2, "If checked, an exit button will appear on autorun form");

    BitBtn1 = button("BitBtn1", "&Save", torvana::toolkit::okGlyph(), central);
    torvana::toolkit::setHint(BitBtn1, "Save the Project to enable the 'Test Run'");
    BitBtn4 = button("BitBtn4", "Test Run", QIcon(), central);
    BitBtn4->setEnabled(false);
    BitBtn2 = button("BitBtn2", "E&xit", torvana::toolkit::cancelGlyph(), central);
    torvana::toolkit::setHint(BitBtn2, "Exit Torvana");

    // Arrangement: labels right-aligned before their fields, browse pictures after them.
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(7);
    grid->setVerticalSpacing(11);
    grid->setColumnStretch(1, 1);
    grid->addWidget(Label7, 0, 1);
    grid->addWidget(Label1, 1, 0);
    grid->addWidget(Edit1, 1, 1);
    grid->addWidget(Label2, 2, 0);
    grid->addWidget(Edit2, 2, 1);
    grid->addWidget(Image1, 2, 2);
    auto* backgroundLabels = new QVBoxLayout;
    backgroundLabels->setSpacing(0);
    backgroundLabels->addWidget(Label3);
    backgroundLabels->addWidget(Label6);
    grid->addLayout(backgroundLabels, 3, 0, Qt::AlignTop);
    grid->addWidget(Edit3, 3, 1, Qt::AlignTop);
    grid->addWidget(Image2, 3, 2, Qt::AlignTop);
    grid->addWidget(Label4, 4, 0);
    grid->addWidget(Edit4, 4, 1);
    grid->addWidget(Image3, 4, 2);

    auto* hotspotRow = new QHBoxLayout;
    hotspotRow->setSpacing(15);
    hotspotRow->addWidget(TrackBar1);
    hotspotRow->addWidget(Edit5, 0, Qt::AlignTop);
    hotspotRow->addWidget(BitBtn3, 0, Qt::AlignTop);
    hotspotRow->addWidget(BitBtn5, 0, Qt::AlignTop);
    hotspotRow->addStretch(1);
    grid->addWidget(Label5, 5, 0, Qt::AlignTop | Qt::AlignRight);
    grid->addLayout(hotspotRow, 5, 1, 1, 2);
    Label5->setAlignment(Qt::AlignRight | Qt::AlignTop);
    Label5->setContentsMargins(0, 4, 0, 0);

    auto* checks = new QVBoxLayout;
    checks->setSpacing(5);
    checks->addWidget(CheckBox1);
    checks->addWidget(CheckBox2);
    grid->addLayout(checks, 6, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    buttons->addSpacing(29);
    buttons->addWidget(BitBtn4);
    buttons->addSpacing(29);
    buttons->addWidget(BitBtn2);
    buttons->addStretch(1);

    auto* page = new QVBoxLayout(central);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);
    page->addWidget(Bevel1);
    auto* body = new QVBoxLayout;
    body->setContentsMargins(24, 18, 32, 20);
    body->setSpacing(0);
    body->addLayout(grid);
    body->addSpacing(22);
    body->addLayout(buttons);
    body->addStretch(1);
    page->addLayout(body);

    // Tab order as the user moves through the window.
    QWidget* order[] = {Edit1, Edit2, Edit3, Edit4, Edit5, BitBtn3, BitBtn5, BitBtn1, BitBtn2, TrackBar1, BitBtn4,
                        CheckBox1, CheckBox2};
    for (size_t i = 0; i + 1 < std::size(order); ++i) setTabOrder(order[i], order[i + 1]);
    const std::pair<QLabel*, QWidget*> captions[] = {
        {Label1, Edit1}, {Label2, Edit2}, {Label3, Edit3}, {Label4, Edit4}, {Label5, TrackBar1}};
    for (const auto& [caption, field] : captions) torvana::toolkit::nameByLabel(caption, field);
    for (QWidget* w : {static_cast<QWidget*>(Image1), static_cast<QWidget*>(Image2), static_cast<QWidget*>(Image3),
                       static_cast<QWidget*>(Label1)})
        w->setFocusPolicy(Qt::NoFocus);
}

void TForm1::buildMenu() {
    // Menu titles carry access keys so the menus are reachable from the keyboard. No two
    // controls or menu titles of the window share one: "Se&ttings" leaves Alt+S to "&Save".
    File1 = menuBar()->addMenu("&File");
    File1->setObjectName("File1");
    New1 = File1->addAction("&New");
    New1->setObjectName("New1");
    Open1 = File1->addAction("&Open");
    Open1->setObjectName("Open1");
    Reopen1 = File1->addMenu("&Reopen");
    Reopen1->setObjectName("Reopen1");
    Reopen1->setToolTipsVisible(true);
    Save1 = File1->addAction("&Save");
    Save1->setObjectName("Save1");
    Close1 = File1->addAction("&Close");
    Close1->setObjectName("Close1");
    CheckDisc1 = File1->addAction("Chec&k Disc");
    CheckDisc1->setObjectName("CheckDisc1");
    MakeDiscImage1 = File1->addAction("&Make Disc Image...");
    MakeDiscImage1->setObjectName("MakeDiscImage1");
    BurnDisc1 = File1->addAction("&Burn Disc...");
    BurnDisc1->setObjectName("BurnDisc1");
    N1 = File1->addSeparator();
    N1->setObjectName("N1");
    Exit1 = File1->addAction("E&xit");
    Exit1->setObjectName("Exit1");

    Settings1 = menuBar()->addMenu("Se&ttings");
    Settings1->setObjectName("Settings1");
    ToolTipHelp1 = Settings1->addAction("ToolTip Help");
    ToolTipHelp1->setObjectName("ToolTipHelp1");
    ToolTipHelp1->setCheckable(true);
    ToolTipHelp1->setChecked(true);
    Warnme1 = Settings1->addAction("Warn Me");
    Warnme1->setObjectName("Warnme1");
    Warnme1->setCheckable(true);
    Warnme1->setChecked(false);
    // What the staging build adds to the disc besides the Windows player.
    N2 = Settings1->addSeparator();
    N2->setObjectName("N2");
    LinuxPlayer1 = Settings1->addAction("Add a Linux player");
    LinuxPlayer1->setObjectName("LinuxPlayer1");
    LinuxPlayer1->setCheckable(true);
    LinuxPlayer1->setChecked(true);
    WebMenu1 = Settings1->addAction("Add a web page menu");
    WebMenu1->setObjectName("WebMenu1");
    WebMenu1->setCheckable(true);
    WebMenu1->setChecked(true);
    FolderNames1 = Settings1->addAction("Keep my folder names off the disc");
    FolderNames1->setObjectName("FolderNames1");
    FolderNames1->setCheckable(true);
    FolderNames1->setChecked(true);
    SignPlayer1 = Settings1->addAction("Sign the Windows player...");
    SignPlayer1->setObjectName("SignPlayer1");

    Help1 = menuBar()->addMenu("&Help");
    Help1->setObjectName("Help1");
    OnlineHelp1 = Help1->addAction("Online Help");
    OnlineHelp1->setObjectName("OnlineHelp1");
    OnlineHelp1->setShortcut(QKeySequence(Qt::Key_F1));
    OnlineHelp1->setShortcutContext(Qt::WindowShortcut);
    GoToWebSite1 = Help1->addAction("Go to Web Site");
    GoToWebSite1->setObjectName("GoToWebSite1");

    About1 = menuBar()->addAction("&About");
    About1->setObjectName("About1");

    // Ctrl+L opens the layout window from anywhere in this window.
    Layout1 = new QAction("Layout", this);
    Layout1->setObjectName("Layout1");
    Layout1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_L));
    Layout1->setShortcutContext(Qt::WindowShortcut);
    addAction(Layout1);

    // Undo and Redo walk the project's one history: the fields, the check boxes, the hotspots
    // the editor hands back, and the HotSpot Layout's moves and labels alike. They are the
    // window's shortcuts, beside its menus.
    Undo1 = new QAction("Undo", this);
    Undo1->setObjectName("Undo1");
    Undo1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Redo1 = new QAction("Redo", this);
    Redo1->setObjectName("Redo1");
    Redo1->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});
    for (QAction* a : {Undo1, Redo1}) {
        a->setShortcutContext(Qt::WindowShortcut);
        addAction(a);
    }
}

void TForm1::connectHandlers() {
    connect(New1, &QAction::triggered, this, &TForm1::New1Click);
    connect(Open1, &QAction::triggered, this, &TForm1::Open1Click);
    // Another copy of the editor may have changed the list since.
    connect(File1, &QMenu::aboutToShow, this, &TForm1::fillReopenMenu);
    connect(Save1, &QAction::triggered, this, &TForm1::Save1Click);
    connect(Close1, &QAction::triggered, this, &TForm1::Close1Click);
    connect(CheckDisc1, &QAction::triggered, this, &TForm1::CheckDisc1Click);
    connect(MakeDiscImage1, &QAction::triggered, this, &TForm1::MakeDiscImage1Click);
    connect(BurnDisc1, &QAction::triggered, this, &TForm1::BurnDisc1Click);
    connect(Exit1, &QAction::triggered, this, &TForm1::Exit1Click);
    connect(ToolTipHelp1, &QAction::triggered, this, &TForm1::ToolTipHelp1Click);
    connect(Warnme1, &QAction::triggered, this, &TForm1::Warnme1Click);
    connect(LinuxPlayer1, &QAction::triggered, this, &TForm1::LinuxPlayer1Click);
    connect(WebMenu1, &QAction::triggered, this, &TForm1::WebMenu1Click);
    connect(FolderNames1, &QAction::triggered, this, &TForm1::FolderNames1Click);
    connect(SignPlayer1, &QAction::triggered, this, &TForm1::SignPlayer1Click);
    connect(OnlineHelp1, &QAction::triggered, this, &TForm1::OnlineHelp1Click);
    connect(GoToWebSite1, &QAction::triggered, this, &TForm1::GoToWebSite1Click);
    connect(About1, &QAction::triggered, this, &TForm1::About1Click);
    connect(BitBtn1, &QPushButton::clicked, this, &TForm1::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, &TForm1::BitBtn2Click);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm1::BitBtn3Click);
    connect(BitBtn4, &QPushButton::clicked, this, &TForm1::BitBtn4Click);
    // What the user types or switches is a change of the document; what the document changes
    // (an undo, New, Open, Close) the window shows.
    for (torvana::ProjectField field : torvana::kProjectFields) {
        QLineEdit* e = fieldEdit(field);
        connect(e, &QLineEdit::textChanged, this, [this, field, e] {
            if (!showing_) document_.setField(field, torvana::toolkit::fieldValue(e));
        });
        connect(e, &QLineEdit::editingFinished, &document_, &torvana::ProjectDocument::endTyping);
    }
    stagingBase_ = torvana::toolkit::toLocalString(QDir::currentPath());
    connect(Edit2, &QLineEdit::textChanged, this, [this] { stagingBase_ = torvana::toolkit::toLocalString(QDir::currentPath()); });
    for (torvana::ProjectSwitch which : torvana::kProjectSwitches) {
        connect(switchBox(which), &QCheckBox::toggled, this, [this, which](bool on) {
            if (!showing_) document_.setSwitch(which, on);
        });
    }
    connect(&document_, &torvana::ProjectDocument::fieldChanged, this, &TForm1::showField);
    connect(&document_, &torvana::ProjectDocument::switchChanged, this, &TForm1::showSwitch);
    connect(&document_, &torvana::ProjectDocument::hotspotsChanged, this, &TForm1::showHotspots);
    connect(&document_, &torvana::ProjectDocument::projectReplaced, this, &TForm1::showDocument);
    connect(Undo1, &QAction::triggered, &document_, &torvana::ProjectDocument::undo);
    connect(Redo1, &QAction::triggered, &document_, &torvana::ProjectDocument::redo);
    connect(BitBtn5, &QPushButton::clicked, this, &TForm1::BitBtn5Click);
    connect(Layout1, &QAction::triggered, this, &TForm1::BitBtn5Click);
    connect(TrackBar1, &torvana::toolkit::TrackBar::userMoved, this, &TForm1::TrackBar1Change);
    connect(Image1, &torvana::toolkit::BrowsePicture::clicked, this, &TForm1::Image1Click);
    connect(Image2, &torvana::toolkit::BrowsePicture::clicked, this, &TForm1::Image2Click);
    connect(Image3, &torvana::toolkit::BrowsePicture::clicked, this, &TForm1::Image3Click);
}

void TForm1::FormCreate() {
    BitBtn3->setEnabled(false);
    // The document starts with no project, not saved.
    document_.setVersionText("3.5");

    const torvana::EditorSettings settings = torvana::loadSettings(settingsPath_);
    document_.setWarnMe(settings.warnMe);
    Warnme1->setChecked(settings.warnMe);
    ToolTipHelp1->setChecked(settings.toolTips);
    LinuxPlayer1->setChecked(settings.addLinuxPlayer);
    WebMenu1->setChecked(settings.addWebMenu);
    FolderNames1->setChecked(settings.keepFolderNamesOff);
    signCertificate_ = settings.signCertificate;
    signTimestamp_ = settings.signTimestamp;
    if (settings.toolTips) showHints(true);
    // A settings file that exists but cannot be read: the defaults apply and the user hears why.
    if (!settings.problem.empty()) torvana::toolkit::errorBox(settings.problem);

    fillReopenMenu();
    setStartupCaption();
    // What the contents need is the least size; wider, the path fields grow with the window.
    setMinimumSize(sizeHint());
    resize(sizeHint());
}

void TForm1::fillReopenMenu() {
    // The old entries go later, not at once: this may run from one of them.
    for (QAction* entry : Reopen1->actions()) {
        Reopen1->removeAction(entry);
        entry->deleteLater();
    }
    const std::vector<std::string> projects = torvana::loadRecentProjects(settingsPath_);
    // Long paths are shortened in the middle, where the folders matter least; the tooltip
    // shows the whole path.
    const int widest = 60 * Reopen1->fontMetrics().averageCharWidth();
    for (size_t i = 0; i < projects.size(); ++i) {
        const QString path = torvana::toolkit::toQString(projects[i]);
        QString shown = Reopen1->fontMetrics().elidedText(path, Qt::ElideMiddle, widest);
        shown.replace('&', "&&");
        QAction* entry = Reopen1->addAction(QString("&%1 %2").arg(i + 1).arg(shown));
        entry->setObjectName(QString("Reopen1Project%1").arg(i + 1));
        entry->setToolTip(path);
        connect(entry, &QAction::triggered, this, [this, project = projects[i]] { reopenProject(project); });
    }
    Reopen1->menuAction()->setEnabled(!projects.empty());
}

void TForm1::rememberProject() {
    // The Reopen list is an addition to Open and Save, which write no settings: a settings file
    // that cannot be written leaves the list as it is and never interrupts them with a box.
    try {
        makeSettingsFolder(settingsPath_);
        torvana::rememberRecentProject(settingsPath_, state().projectPath);
    } catch (const torvana::Error&) {
    }
    fillReopenMenu();
}

void TForm1::setStartupCaption() { setWindowTitle(torvana::toolkit::toQString(kCaptionPrefix + state().versionText)); }

void TForm1::setProjectCaption() {
    setWindowTitle(torvana::toolkit::toQString(kCaptionPrefix + state().versionText + " - (" + state().projectName + ")"));
}

QList<QWidget*> TForm1::hintControls() const {
    return {Edit1, Edit2, Edit3, Edit4, BitBtn1, BitBtn2, BitBtn3, BitBtn4, TrackBar1, CheckBox1, CheckBox2};
}

void TForm1::showHints(bool shown) {
    for (QWidget* w : hintControls()) torvana::toolkit::showHint(w, shown);
    torvana::toolkit::showHint(BitBtn5, shown);
}

void TForm1::BitBtn5Click() { windows_.Layout->showLayout(); }

void TForm1::showAndActivate() {
    const bool first = !property("shownOnce").toBool();
    show();
    if (first) {
        torvana::toolkit::centerOnScreen(this);
        setProperty("shownOnce", true);
    }
    raise();
    activateWindow();
    QTimer::singleShot(0, this, &TForm1::FormActivate);
}

void TForm1::FormActivate() {
    torvana::toolkit::runCommand([this] {
        if (applyHandOffFiles()) return;
        document_.setProgramFolder(QDir::toNativeSeparators(QCoreApplication::applicationDirPath()).toLocal8Bit().toStdString() +
                                   QDir::separator().toLatin1());
        if (!state().projectOpen()) {
            torvana::toolkit::beep();
            if (windows_.Form5->exec() == QDialog::Accepted)
                New1Click();
            else
                Open1Click();
        }
    });
}

void TForm1::switchSetting(QAction* item, const char* key, const std::function<void(bool)>& apply) {
    // The menu item has already switched its check mark; write first, then apply. When the
    // write fails the check mark goes back, so it always shows what is in effect.
    const bool on = item->isChecked();
    torvana::toolkit::runCommand([&] {
        try {
            makeSettingsFolder(settingsPath_);
            torvana::writeSetting(settingsPath_, key, on);
        } catch (...) {
            item->setChecked(!on);
            throw;
        }
        apply(on);
    });
}

void TForm1::ToolTipHelp1Click() {
    switchSetting(ToolTipHelp1, torvana::kToolTipsKey, [this](bool on) { showHints(on); });
}

void TForm1::Warnme1Click() {
    switchSetting(Warnme1, torvana::kWarnMeKey, [this](bool on) { document_.setWarnMe(on); });
}

// The build reads these check marks when it runs; switching them only stores them.
void TForm1::LinuxPlayer1Click() { switchSetting(LinuxPlayer1, torvana::kLinuxPlayerKey, [](bool) {}); }

void TForm1::WebMenu1Click() { switchSetting(WebMenu1, torvana::kWebMenuKey, [](bool) {}); }

void TForm1::FolderNames1Click() { switchSetting(FolderNames1, torvana::kFolderNamesOffKey, [](bool) {}); }

void TForm1::keyPressEvent(QKeyEvent* event) {
    // Enter runs Save and Escape runs Exit wherever the focused control does not use the key.
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (event->modifiers() == Qt::NoModifier || event->modifiers() == Qt::KeypadModifier) {
            BitBtn1->click();
            return;
        }
        break;
    case Qt::Key_Escape:
        BitBtn2->click();
        return;
    default:
        break;
    }
    QMainWindow::keyPressEvent(event);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseMove) {
        // The pointer rule: the hand over a browse picture; the arrow over the window's own
        // background and the three path fields; any other control leaves it as it is.
        if (watched == Image1 || watched == Image2 || watched == Image3) {
            torvana::toolkit::setPointer(torvana::toolkit::Pointer::Hand);
        } else if (watched == Edit2 || watched == Edit3 || watched == Edit4) {
            torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow);
        } else if (watched == centralWidget()) {
            const auto* move = static_cast<QMouseEvent*>(event);
            if (!centralWidget()->childAt(move->position().toPoint())) torvana::toolkit::setPointer(torvana::toolkit::Pointer::Arrow);
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
