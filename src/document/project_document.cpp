#include "document/project_document.h"

#include <QUndoStack>
#include <algorithm>
#include <utility>
#include <vector>

#include "hotspot/hand_off.h"
#include "project/paths.h"
#include "staging/staging_build.h"

namespace torvana {

namespace {

const char* const kFieldNames[] = {"CD Title", "Staging Folder", "Background Image", "Opening WAV"};
const char* const kSwitchNames[] = {"Show 'Browse' button", "Show 'Exit' button"};

// QUndoCommand ids: typing in a field merges into the step before it.
constexpr int kFieldCommandId = 1;

}  // namespace

// One field's text before and after. The keys typed into one field in a row make one step: a
// step merges into the one before it when both are of the same field and the same typing run.
class FieldCommand : public QUndoCommand {
public:
    FieldCommand(ProjectDocument* document, ProjectField field, std::string after, int run)
        : document_(document), field_(field), before_(document->field(field)), after_(std::move(after)), run_(run) {
        setText(QString("Change %1").arg(kFieldNames[size_t(field)]));
    }
    int id() const override { return kFieldCommandId; }
    bool mergeWith(const QUndoCommand* other) override {
        const auto* next = static_cast<const FieldCommand*>(other);
        if (next->field_ != field_ || next->run_ != run_) return false;
        after_ = next->after_;
        // Typed and taken back again: the step changes nothing and goes.
        setObsolete(after_ == before_);
        return true;
    }
    void redo() override { document_->storeField(field_, after_); }
    void undo() override { document_->storeField(field_, before_); }

private:
    ProjectDocument* document_;
    ProjectField field_;
    std::string before_;
    std::string after_;
    int run_;
};

class SwitchCommand : public QUndoCommand {
public:
    SwitchCommand(ProjectDocument* document, ProjectSwitch which, bool on)
        : document_(document), which_(which), on_(on) {
        setText(QString("Change %1").arg(kSwitchNames[size_t(which)]));
    }
    void redo() override { document_->storeSwitch(which_, on_); }
    void undo() override { document_->storeSwitch(which_, !on_); }

private:
    ProjectDocument* document_;
    ProjectSwitch which_;
    bool on_;
};

// A change of the hotspot tables: the slots it changed, each before and after, and the count and
// the offered slots before and after.
class HotspotsCommand : public QUndoCommand {
public:
    struct Side {
        int32_t count = 0;
        int offered = 0;
        std::vector<Hotspot> hotspots;  // slots first to last
    };

    HotspotsCommand(ProjectDocument* document, const QString& text, int first, Side before, Side after)
        : document_(document), first_(first), before_(std::move(before)), after_(std::move(after)) {
        setText(text);
    }
    void redo() override { apply(after_); }
    void undo() override { apply(before_); }

private:
    void apply(const Side& side) {
        ProjectState& state = document_->state_;
        state.hotspotCount = side.count;
        document_->offeredSlots_ = side.offered;
        for (size_t i = 0; i < side.hotspots.size(); ++i) state.setHotspot(first_ + int(i), side.hotspots[i]);
        emit document_->hotspotsChanged(first_, first_ + int(side.hotspots.size()) - 1);
    }

    ProjectDocument* document_;
    int first_;
    Side before_;
    Side after_;
};

ProjectDocument::ProjectDocument(QObject* parent) : QObject(parent), undoStack_(new QUndoStack(this)) {
    // The saved flag is the history's clean state: true exactly at the step Save marked.
    connect(undoStack_, &QUndoStack::cleanChanged, this, [this](bool clean) { state_.projectSaved = clean; });
    // No project is open and none was saved.
    undoStack_->resetClean();
}

Project ProjectDocument::project() const {
    Project project;
    project.hotspotCount = state_.hotspotCount;
    project.showBrowse = switchOn(ProjectSwitch::ShowBrowse);
    project.showExit = switchOn(ProjectSwitch::ShowExit);
    project.cdTitle = field(ProjectField::CdTitle);
    project.stagingFolder = field(ProjectField::StagingFolder);
    project.backgroundImage = field(ProjectField::BackgroundImage);
    project.openingWav = field(ProjectField::OpeningWav);
    project.hotspots = hotspotsOf(state_);
    project.otherBlockLines = state_.otherBlockLines;
    return project;
}

void ProjectDocument::replaceProject(std::function<void()> fill) {
    undoStack_->clear();
    fields_ = {};
    switches_ = {};
    state_.clearSlots(1, kClearedSlots);
    state_.clearLabels();
    state_.otherBlockLines.clear();
    fill();
    // A project just created or opened counts as changed until it is saved.
    undoStack_->resetClean();
    emit projectReplaced();
}

void ProjectDocument::newProject(const std::string& name, const std::string& path) {
    replaceProject([&] {
        state_.projectName = name;
        state_.projectPath = path;
        state_.hotspotCount = 1;
        offeredSlots_ = 1;
    });
}

void ProjectDocument::closeProject() {
    replaceProject([&] {
        state_.projectName.clear();
        state_.hotspotCount = 1;
        offeredSlots_ = 1;
    });
}

void ProjectDocument::openProject(const std::string& path, const Project& data) {
    replaceProject([&] {
        state_.projectPath = path;
        state_.projectName = fileNamePart(path);
        state_.hotspotCount = data.hotspotCount;
        offeredSlots_ = std::min(data.hotspotCount + 1, kMaxHotspots);
        fields_ = {data.cdTitle, data.stagingFolder, data.backgroundImage, data.openingWav};
        switches_ = {data.showBrowse, data.showExit};
        storeHotspots(state_, data.hotspots);
        state_.otherBlockLines = data.otherBlockLines;
    });
}

void ProjectDocument::storeField(ProjectField which, const std::string& value) {
    fields_[size_t(which)] = value;
    emit fieldChanged(which);
}

void ProjectDocument::storeSwitch(ProjectSwitch which, bool on) {
    switches_[size_t(which)] = on;
    emit switchChanged(which);
}

void ProjectDocument::setField(ProjectField which, const std::string& value) {
    if (field(which) == value) return;
    undoStack_->push(new FieldCommand(this, which, value, typingRun_));
}

void ProjectDocument::setSwitch(ProjectSwitch which, bool on) {
    if (switchOn(which) == on) return;
    undoStack_->push(new SwitchCommand(this, which, on));
}

bool ProjectDocument::changeHotspots(const QString& text, const std::function<void(ProjectState&, int& offered)>& change) {
    ProjectState changed = state_;
    int offered = offeredSlots_;
    change(changed, offered);
    int first = 0;
    int last = 0;
    for (int slot = 1; slot <= kMaxHotspots; ++slot) {
        if (changed.hotspot(slot) == state_.hotspot(slot)) continue;
        if (first == 0) first = slot;
        last = slot;
    }
    if (first == 0 && changed.hotspotCount == state_.hotspotCount && offered == offeredSlots_) return false;
    if (first == 0) first = last = std::clamp(changed.hotspotCount, 1, kMaxHotspots);
    auto side = [&](const ProjectState& s, int offeredSlots) {
        HotspotsCommand::Side result{s.hotspotCount, offeredSlots, {}};
        for (int slot = first; slot <= last; ++slot) result.hotspots.push_back(s.hotspot(slot));
        return result;
    };
    undoStack_->push(new HotspotsCommand(this, text, first, side(state_, offeredSlots_), side(changed, offered)));
    return true;
}

void ProjectDocument::acceptHotspot(const AcceptedHotspot& accepted) {
    changeHotspots(QString("Edit HotSpot %1").arg(accepted.number), [&](ProjectState& s, int& offered) {
        torvana::acceptHotspot(s, accepted);
        offered = std::min(s.hotspotCount + 1, kMaxHotspots);
    });
    // Which hotspot was handed back last is the editor's status, no part of the history.
    state_.editedHotspot = accepted.number;
}

bool ProjectDocument::deleteHotspot(int32_t number) {
    return changeHotspots(QString("Delete HotSpot %1").arg(number), [&](ProjectState& s, int& offered) {
        if (torvana::deleteHotspot(s, number)) offered = std::min(s.hotspotCount + 1, kMaxHotspots);
    });
}

void ProjectDocument::moveHotspot(int slot, const CoordinateTexts& texts) {
    changeHotspots(QString("Move HotSpot %1").arg(slot), [&](ProjectState& s, int&) {
        s.hotspotX[slot] = texts.x;
        s.hotspotY[slot] = texts.y;
    });
}

void ProjectDocument::labelHotspot(int slot, const std::string& label) {
    changeHotspots(QString("Label of HotSpot %1").arg(slot), [&](ProjectState& s, int&) { s.hotspotLabel[slot] = label; });
}

void ProjectDocument::undo() {
    endTyping();
    undoStack_->undo();
}

void ProjectDocument::redo() {
    endTyping();
    undoStack_->redo();
}

BuildResult ProjectDocument::save(const Project& project, const BuildSettings& settings, BuildUser& user) {
    endTyping();
    // The build marks the state saved as soon as the project file is written, also when a
    // later step fails or throws.
    struct MarkSaved {
        ProjectDocument* document;
        ~MarkSaved() {
            if (document->state_.projectSaved) document->undoStack_->setClean();
        }
    } markSaved{this};
    return runStagingBuild(state_, project, settings, user);
}

}  // namespace torvana
