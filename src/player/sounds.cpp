#include "player/sounds.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include "project/wave_info.h"

#ifdef TORVANA_PLAYER_SOUND
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#endif

namespace player {

WaveInfo inspectWave(const QString& path) {
    const torvana::WaveInfo wave = torvana::inspectWave(path.toLocal8Bit().toStdString());
    return {QString::fromStdString(wave.error), wave.durationMs};
}

SoundBank::SoundBank(QObject* parent) : QObject(parent) {}

bool SoundBank::hasOutput() const {
    // Asked on first need: looking for sound devices costs start-up time a menu without
    // sounds need not pay.
    if (!hasOutput_.has_value()) {
#ifdef TORVANA_PLAYER_SOUND
        hasOutput_ = !QMediaDevices::defaultAudioOutput().isNull();
#else
        hasOutput_ = false;
#endif
    }
    return *hasOutput_;
}

SoundBank::~SoundBank() = default;

QString SoundBank::prepare(const QString& path) {
    auto found = entries_.constFind(path);
    if (found != entries_.constEnd()) return found->error;

    const WaveInfo wave = inspectWave(path);
    Entry entry;
    entry.error = wave.error;
    entry.durationMs = wave.durationMs;
    if (outputStarted_) openEffect(path, entry);
    entries_.insert(path, entry);
    return wave.error;
}

void SoundBank::startOutput() {
    if (outputStarted_) return;
    outputStarted_ = true;
    for (auto it = entries_.begin(); it != entries_.end(); ++it) openEffect(it.key(), it.value());
}

void SoundBank::openEffect(const QString& path, Entry& entry) {
#ifdef TORVANA_PLAYER_SOUND
    if (!entry.error.isEmpty() || entry.effect || !hasOutput()) return;
    auto* effect = new QSoundEffect(this);
    connect(effect, &QSoundEffect::statusChanged, this, [this, effect, path] {
        if (effect->status() != QSoundEffect::Error) return;
        auto it = entries_.find(path);
        if (it == entries_.end() || !it->error.isEmpty()) return;
        it->error = QStringLiteral("the sound cannot be decoded");
        emit failed(path, it->error);
    });
    effect->setSource(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()));
    entry.effect = effect;
#else
    Q_UNUSED(path);
    Q_UNUSED(entry);
#endif
}

int SoundBank::play(const QString& path) {
    auto it = entries_.find(path);
    if (it == entries_.end() || !it->error.isEmpty()) return 0;
    startOutput();
    emit played(path);
#ifdef TORVANA_PLAYER_SOUND
    if (it->effect) {
        it->effect->stop();
        it->effect->play();
        return it->durationMs;
    }
#endif
    return 0;
}

}  // namespace player
