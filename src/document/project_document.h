#pragma once
// The open project as every window sees it: the main window's fields and switches, the hotspot
// tables and the project's status, with the one history of changes that Undo and Redo walk.
//
// Every change of the project is one step of that history (typing in one field is one step until
// the field is left); the windows show the project through the signals below and never write it
// themselves. New, Open and Close replace the project and start a new history. Save marks the
// step the project file holds: the project counts as changed exactly when the history stands
// anywhere else, and a project just created or opened counts as changed until its first Save.

#include <QObject>
#include <QString>
#include <array>
#include <cstdint>
#include <functional>
#include <string>

#include "project/project_file.h"
#include "project/project_state.h"
#include "project/staged_menu.h"

class QUndoStack;

namespace torvana {

struct AcceptedHotspot;
class BuildUser;
struct BuildSettings;
enum class BuildResult;

// The project's own fields beside its hotspots, in the main window's order.
enum class ProjectField { CdTitle, StagingFolder, BackgroundImage, OpeningWav };
enum class ProjectSwitch { ShowBrowse, ShowExit };
inline constexpr ProjectField kProjectFields[] = {ProjectField::CdTitle, ProjectField::StagingFolder,
                                                  ProjectField::BackgroundImage, ProjectField::OpeningWav};
inline constexpr ProjectSwitch kProjectSwitches[] = {ProjectSwitch::ShowBrowse, ProjectSwitch::ShowExit};

class ProjectDocument : public QObject {
    Q_OBJECT
public:
    explicit ProjectDocument(QObject* parent = nullptr);

    const ProjectState& state() const { return state_; }
    const std::string& field(ProjectField field) const { return fields_[size_t(field)]; }
    bool switchOn(ProjectSwitch which) const { return switches_[size_t(which)]; }
    // The project as Save writes it: the fields and hotspots 1 to hotspotCount.
    Project project() const;
    // How many slots the hotspot selector offers: every hotspot and the free slot after the
    // last, never past 99; one (the empty slot) after New and Close until a hotspot is accepted.
    int offeredSlots() const { return offeredSlots_; }
    // The project differs from what the last Save wrote (or was never saved).
    bool modified() const { return !state_.projectSaved; }
    QUndoStack* undoStack() const { return undoStack_; }

    // The editor's own status beside the project: no step of the history.
    void setProgramFolder(const std::string& folder) { state_.programFolder = folder; }
    void setVersionText(const std::string& text) { state_.versionText = text; }
    void setWarnMe(bool on) { state_.warnMe = on; }
    void setOpenDialogPath(const std::string& path) { state_.openDialogPath = path; }

    // New and Close: a project of one empty slot and empty fields, named (New) or none (Close;
    // its path stays). Open: the project read from `path`. Slots past the 20 these clear keep
    // what they hold. Each starts a new history.
    void newProject(const std::string& name, const std::string& path);
    void closeProject();
    void openProject(const std::string& path, const Project& data);

    // The changes. One that would change nothing adds no step.
    void setField(ProjectField field, const std::string& value);
    // Typing in a field ends (the field was left): its next change is a step of its own.
    void endTyping() { ++typingRun_; }
    void setSwitch(ProjectSwitch which, bool on);
    // The hotspot editor's hand-off: an accepted hotspot (a number outside 1 to 99 throws the
    // hand-off's Error and changes nothing), and a deleted one, after which the hotspots behind
    // it move down a slot (false when the number is past the last hotspot: nothing changes).
    void acceptHotspot(const AcceptedHotspot& accepted);
    bool deleteHotspot(int32_t number);
    // The HotSpot Layout's changes: a hotspot's X and Y texts, and its label.
    void moveHotspot(int slot, const CoordinateTexts& texts);
    void labelHotspot(int slot, const std::string& label);

    void undo();
    void redo();

    // Save: the staging build of `project` (the project as Save writes it).
    // Once the build has written the project file the present step is the one the file holds.
    BuildResult save(const Project& project, const BuildSettings& settings, BuildUser& user);

signals:
    void fieldChanged(torvana::ProjectField field);
    void switchChanged(torvana::ProjectSwitch which);
    // Slots `first` to `last` changed, and with them perhaps the hotspot count and the offered
    // slots.
    void hotspotsChanged(int first, int last);
    // New, Open or Close replaced the whole project.
    void projectReplaced();

private:
    friend class FieldCommand;
    friend class SwitchCommand;
    friend class HotspotsCommand;

    // Makes one step of the history from a change of the hotspot tables: `change` edits a copy
    // of the state and may set the offered slots; nothing happens when the copy comes out equal.
    bool changeHotspots(const QString& text, const std::function<void(ProjectState&, int& offered)>& change);
    void storeField(ProjectField field, const std::string& value);
    void storeSwitch(ProjectSwitch which, bool on);
    void replaceProject(std::function<void()> fill);

    ProjectState state_;
    std::array<std::string, 4> fields_;
    std::array<bool, 2> switches_{};
    int offeredSlots_ = 1;
    int typingRun_ = 0;
    QUndoStack* undoStack_;
};

}  // namespace torvana
