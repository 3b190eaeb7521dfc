#include "disc/ui/disc_check_window.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "project/paths.h"
#include "toolkit/artwork.h"
#include "toolkit/message_box.h"
#include "toolkit/text.h"

namespace {

std::string counted(int n, const char* word) { return std::to_string(n) + " " + word + (n == 1 ? "" : "s"); }

// Enter on a finding opens it, as a double click does.
class FindingList : public QTreeWidget {
public:
    using QTreeWidget::QTreeWidget;

protected:
    void keyPressEvent(QKeyEvent* event) override {
        if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) && currentItem()) {
            emit itemDoubleClicked(currentItem(), 0);
            return;
        }
        QTreeWidget::keyPressEvent(event);
    }
};

}  // namespace

std::string discSummary(const torvana::DiscReport& report) {
    using torvana::Severity;
    const uint64_t size = report.discBytes;
    const char* fits = size <= torvana::kCd650Bytes ? "fits on a 650 MB CD"
                       : size <= torvana::kCd700Bytes ? "fits on a 700 MB CD"
                       : size <= torvana::kDvdBytes   ? "fits on a 4.7 GB DVD"
                                                      : "fits on no single disc";
    return "Disc size: about " + torvana::discSizeText(size) + ", " + fits + ". " +
           counted(report.count(Severity::Error), "error") + ", " +
           counted(report.count(Severity::Warning), "warning") + ", " + counted(report.count(Severity::Note), "note") +
           ".";
}

TDiscCheckForm::TDiscCheckForm(QWidget* parent) : QDialog(parent) {
    setObjectName("DiscCheckForm");
    setWindowTitle("Check Disc");
    setModal(true);
    setSizeGripEnabled(true);

    Label1 = new QLabel(this);
    Label1->setObjectName("Label1");
    Label1->setWordWrap(true);

    ListView1 = new FindingList(this);
    ListView1->setObjectName("ListView1");
    ListView1->setColumnCount(3);
    ListView1->setHeaderLabels({"Kind", "Finding", "File"});
    ListView1->setRootIsDecorated(false);
    // A row shows what fits; the selected finding is shown whole below the list, and the file
    // column shows the name, its tooltip the whole path.
    ListView1->setUniformRowHeights(true);
    ListView1->setAlternatingRowColors(true);
    ListView1->header()->setStretchLastSection(false);
    ListView1->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    ListView1->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    ListView1->header()->setSectionResizeMode(2, QHeaderView::Interactive);
    ListView1->setToolTip("Double-click a finding to go to the field or hotspot it concerns");
    connect(ListView1, &QTreeWidget::itemDoubleClicked, this, [this](QTreeWidgetItem* item) { ListView1DblClick(item); });

    Label2 = new QLabel(this);
    Label2->setObjectName("Label2");
    Label2->setWordWrap(true);
    Label2->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Label2->setMinimumHeight(3 * fontMetrics().lineSpacing());
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    connect(ListView1, &QTreeWidget::currentItemChanged, this, [this](QTreeWidgetItem* item) { showDetail(item); });

    Button1 = new QPushButton("&Remove Leftovers...", this);
    Button1->setObjectName("Button1");
    Button1->setToolTip("Remove what no part of the project puts into the staging folder");
    Button2 = new QPushButton("Check &Again", this);
    Button2->setObjectName("Button2");
    BitBtn1 = new QPushButton(torvana::toolkit::cancelGlyph(), "Close", this);
    BitBtn1->setObjectName("BitBtn1");
    connect(Button1, &QPushButton::clicked, this, &TDiscCheckForm::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &TDiscCheckForm::Button2Click);
    connect(BitBtn1, &QPushButton::clicked, this, &QDialog::reject);
    for (QPushButton* b : {Button1, Button2, BitBtn1}) b->setAutoDefault(false);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addStretch(1);
    buttons->addWidget(BitBtn1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addWidget(ListView1, 1);
    layout->addWidget(Label2);
    layout->addLayout(buttons);
    resize(820, 420);
    setMinimumSize(480, 240);
}

void TDiscCheckForm::check(const torvana::ProjectState& state, const torvana::Project& project,
                           const torvana::BuildSettings& settings) {
    state_ = &state;
    project_ = project;
    settings_ = settings;
    chosen_ = -1;
    show(torvana::checkDisc(state, project_, settings_));
}

void TDiscCheckForm::show(const torvana::DiscReport& report) {
    report_ = report;
    Label1->setText(torvana::toolkit::toQString(discSummary(report_)));
    ListView1->clear();
    const QStyle* style = this->style();
    for (const torvana::Finding& f : report_.findings) {
        auto* item = new QTreeWidgetItem(ListView1);
        item->setText(0, torvana::severityName(f.severity));
        item->setText(1, torvana::toolkit::toQString(f.text));
        item->setText(2, torvana::toolkit::toQString(torvana::fileNamePart(f.file)));
        item->setToolTip(1, torvana::toolkit::toQString(f.text));
        item->setToolTip(2, torvana::toolkit::toQString(f.file));
        item->setIcon(0, style->standardIcon(f.severity == torvana::Severity::Error     ? QStyle::SP_MessageBoxCritical
                                             : f.severity == torvana::Severity::Warning ? QStyle::SP_MessageBoxWarning
                                                                                        : QStyle::SP_MessageBoxInformation));
    }
    ListView1->setColumnWidth(2, 180);
    if (ListView1->topLevelItemCount() > 0) ListView1->setCurrentItem(ListView1->topLevelItem(0));
    showDetail(ListView1->currentItem());
    Button1->setEnabled(!report_.strayEntries.empty());
}

void TDiscCheckForm::showDetail(QTreeWidgetItem* item) {
    const int row = item ? ListView1->indexOfTopLevelItem(item) : -1;
    if (row < 0 || row >= static_cast<int>(report_.findings.size())) {
        Label2->setText(report_.findings.empty() ? "Nothing to report: the disc is ready to be burned." : "");
        return;
    }
    const torvana::Finding& f = report_.findings[static_cast<size_t>(row)];
    Label2->setText(torvana::toolkit::toQString(f.text + (f.file.empty() ? "" : "\n" + f.file)));
}

void TDiscCheckForm::Button1Click() {
    const size_t n = report_.strayEntries.size();
    if (n == 0) return;
    const std::string question =
        n == 1 ? "Remove \"" + report_.strayEntries[0] + "\"? No part of the project puts it into the staging folder."
               : "Remove the " + std::to_string(n) +
                     " files and folders that no part of the project puts into the staging folder?";
    if (!torvana::toolkit::askYesNo(question, this)) return;
    torvana::toolkit::runCommand([this] { torvana::removeStrayEntries(report_.strayEntries); });
    Button2Click();
}

void TDiscCheckForm::Button2Click() {
    if (state_) check(*state_, project_, settings_);
}

void TDiscCheckForm::ListView1DblClick(QTreeWidgetItem* item) {
    const int row = ListView1->indexOfTopLevelItem(item);
    if (row < 0) return;
    chosen_ = row;
    accept();
}
