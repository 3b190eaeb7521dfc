#pragma once
// The Check Disc window: the disc check's findings for the project as the main window shows it,
// errors first, with the disc's size. A double click on a finding (or Enter) closes the window
// and takes the user to the field or hotspot it concerns. Leftovers in the staging folder are
// removed only after the user has said yes.

#include <QDialog>

#include "disc/disc_check.h"

class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class TDiscCheckForm : public QDialog {
    Q_OBJECT
public:
    explicit TDiscCheckForm(QWidget* parent = nullptr);

    QLabel* Label1;          // the summary: size and counts
    QTreeWidget* ListView1;  // the findings: kind, text, file
    QLabel* Label2;          // the selected finding, whole
    QPushButton* Button1;    // "&Remove Leftovers..."
    QPushButton* Button2;    // "Check &Again"
    QPushButton* BitBtn1;    // "Close"

    // Runs the check and shows its findings.
    void check(const torvana::ProjectState& state, const torvana::Project& project,
               const torvana::BuildSettings& settings);

    // The finding the user opened, when the window closed that way.
    const torvana::Finding* chosen() const { return chosen_ >= 0 ? &report_.findings[chosen_] : nullptr; }

    const torvana::DiscReport& report() const { return report_; }

    void Button1Click();
    void Button2Click();
    void ListView1DblClick(QTreeWidgetItem* item);

private:
    void show(const torvana::DiscReport& report);
    void showDetail(QTreeWidgetItem* item);

    const torvana::ProjectState* state_ = nullptr;
    torvana::Project project_;
    torvana::BuildSettings settings_;
    torvana::DiscReport report_;
    int chosen_ = -1;
};

// The line above the findings: "Disc size: about 9.7 MB, fits on a 650 MB CD. 1 error, 2 warnings, 0 notes."
std::string discSummary(const torvana::DiscReport& report);
