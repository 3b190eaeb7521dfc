#pragma once
// The menu's sounds: WAV files, played through the sound output module (sound_output.h). A
// sound is checked when it is prepared, so a missing or broken file becomes a note at once and
// is never played; a machine without sound output plays nothing and the menu goes on.

#include <QHash>
#include <QObject>
#include <QString>
#include <memory>

#include "player/sound_output.h"

namespace torvana::player {

// What a WAV file's header says, or why it is no playable WAV file.
struct WaveInfo {
    QString error;       // empty when the file is a PCM (or float) WAV file with sound data
    int durationMs = 0;  // length of the sound data
};

// The core's header check (project/wave_info.h) with the texts as QString.
WaveInfo inspectWave(const QString& path);

class SoundBank : public QObject {
    Q_OBJECT
public:
    explicit SoundBank(QObject* parent = nullptr);
    ~SoundBank() override;

    // Checks the sound at `path` and makes it ready to play. Returns why it cannot be played,
    // empty when it can. Preparing a path again returns the first answer. The audio output is
    // only opened by startOutput (or the first play).
    QString prepare(const QString& path);

    // Loads the sound output module from the player's folder and the prepared sounds into it:
    // the multimedia back end costs start-up time, so the menu calls this once its first frame
    // is on the screen. A module that cannot be loaded is reported through `unavailable`.
    void startOutput();

    // Plays a prepared, playable sound from its start (again from the start when it is still
    // playing). Returns how long it will be heard in milliseconds: 0 when nothing is heard
    // (unplayable sound, no sound output, or no sound output module).
    int play(const QString& path);

    // Whether the machine has a sound output to play on (false before startOutput).
    bool hasOutput() const;

signals:
    // Every play() of a playable sound, heard or not.
    void played(const QString& path);
    // A prepared sound that the audio layer refused while loading it.
    void failed(const QString& path, const QString& reason);
    // The sound output module could not be loaded; no sound will be heard.
    void unavailable(const QString& reason);

private:
    struct Entry {
        QString error;
        int durationMs = 0;
        bool loaded = false;  // handed to the output
    };
    void load(const QString& path, Entry& entry);

    QHash<QString, Entry> entries_;
    std::unique_ptr<SoundOutput> output_;
    bool outputStarted_ = false;
};

}  // namespace torvana::player
