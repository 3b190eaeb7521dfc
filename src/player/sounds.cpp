#include "player/sounds.h"

#include <QFileInfo>
#include <QLibrary>
#include <algorithm>

#include "player/player_app.h"
#include "project/wave_info.h"

namespace torvana::player {

WaveInfo inspectWave(const QString& path) {
    const torvana::WaveInfo wave = torvana::inspectWave(path.toLocal8Bit().toStdString());
    return {QString::fromStdString(wave.error), wave.durationMs};
}

SoundBank::SoundBank(QObject* parent) : QObject(parent) {}

SoundBank::~SoundBank() = default;

bool SoundBank::hasOutput() const { return output_ && output_->hasOutput(); }

QString SoundBank::prepare(const QString& path) {
    auto found = entries_.constFind(path);
    if (found != entries_.constEnd()) return found->error;

    const WaveInfo wave = inspectWave(path);
    Entry entry;
    entry.error = wave.error;
    entry.durationMs = wave.durationMs;
    if (outputStarted_) load(path, entry);
    entries_.insert(path, entry);
    return wave.error;
}

void SoundBank::startOutput() {
    if (outputStarted_) return;
    outputStarted_ = true;
    // The module is never unloaded: the output it made lives as long as this bank.
    QLibrary module(programFolder() + QLatin1Char('/') + QLatin1String(kSoundModuleFile));
    const auto create = reinterpret_cast<CreateSoundOutput>(module.resolve(kCreateSoundOutput));
    if (!create) {
        // Said only when there is something to hear.
        if (std::any_of(entries_.cbegin(), entries_.cend(), [](const Entry& e) { return e.error.isEmpty(); }))
            emit unavailable(module.errorString());
        return;
    }
    output_.reset(create());
    for (auto it = entries_.begin(); it != entries_.end(); ++it) load(it.key(), it.value());
}

void SoundBank::load(const QString& path, Entry& entry) {
    if (!entry.error.isEmpty() || entry.loaded || !hasOutput()) return;
    entry.loaded = true;
    output_->load(QFileInfo(path).absoluteFilePath(), [this, path] {
        auto it = entries_.find(path);
        if (it == entries_.end() || !it->error.isEmpty()) return;
        it->error = QStringLiteral("the sound cannot be decoded");
        emit failed(path, it->error);
    });
}

int SoundBank::play(const QString& path) {
    auto it = entries_.find(path);
    if (it == entries_.end() || !it->error.isEmpty()) return 0;
    startOutput();
    emit played(path);
    if (!it->loaded) return 0;
    output_->play(QFileInfo(path).absoluteFilePath());
    return it->durationMs;
}

}  // namespace torvana::player
