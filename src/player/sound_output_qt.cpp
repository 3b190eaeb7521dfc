// The sound output module: WAV files played through Qt Multimedia's QSoundEffect.

#include <QAudioDevice>
#include <QHash>
#include <QMediaDevices>
#include <QObject>
#include <QSoundEffect>
#include <QUrl>
#include <optional>

#include "player/sound_output.h"

namespace {

class QtSoundOutput final : public torvana::player::SoundOutput {
public:
    bool hasOutput() override {
        // Looking for sound devices costs time a menu without sounds need not pay.
        if (!hasOutput_) hasOutput_ = !QMediaDevices::defaultAudioOutput().isNull();
        return *hasOutput_;
    }

    void load(const QString& path, std::function<void()> failed) override {
        if (effects_.contains(path) || !hasOutput()) return;
        auto* effect = new QSoundEffect(&owner_);
        QObject::connect(effect, &QSoundEffect::statusChanged, &owner_, [effect, failed] {
            if (effect->status() == QSoundEffect::Error && failed) failed();
        });
        effect->setSource(QUrl::fromLocalFile(path));
        effects_.insert(path, effect);
    }

    void play(const QString& path) override {
        QSoundEffect* effect = effects_.value(path);
        if (!effect) return;
        effect->stop();
        effect->play();
    }

private:
    QObject owner_;  // parent of the effects, which go with the output
    QHash<QString, QSoundEffect*> effects_;
    std::optional<bool> hasOutput_;
};

}  // namespace

extern "C" Q_DECL_EXPORT torvana::player::SoundOutput* torvana_create_sound_output() { return new QtSoundOutput; }
