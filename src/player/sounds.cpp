#include "player/sounds.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#ifdef TORVANA_PLAYER_SOUND
#include <QAudioDevice>
#include <QMediaDevices>
#include <QSoundEffect>
#endif

namespace player {

namespace {

quint32 le32(const char* p) {
    return quint32(quint8(p[0])) | quint32(quint8(p[1])) << 8 | quint32(quint8(p[2])) << 16 |
           quint32(quint8(p[3])) << 24;
}
quint16 le16(const char* p) { return quint16(quint8(p[0]) | quint8(p[1]) << 8); }

}  // namespace

WaveInfo inspectWave(const QString& path) {
    WaveInfo info;
    const QFileInfo fileInfo(path);
    if (!fileInfo.exists()) {
        info.error = QStringLiteral("file not found");
        return info;
    }
    QFile file(path);
    if (!fileInfo.isFile() || !file.open(QIODevice::ReadOnly)) {
        info.error = QStringLiteral("the file cannot be read");
        return info;
    }
    if (file.size() > kMaxWaveBytes) {
        info.error = QStringLiteral("the WAV file is larger than %1 MB").arg(kMaxWaveBytes >> 20);
        return info;
    }
    const QByteArray head = file.read(12);
    if (head.size() < 12 || !head.startsWith("RIFF") || head.mid(8, 4) != "WAVE") {
        info.error = QStringLiteral("not a WAV file");
        return info;
    }
    bool haveFormat = false;
    quint32 byteRate = 0;
    // Chunks follow one another: a 4-byte id, a 4-byte size, the data padded to an even size.
    for (int chunks = 0; chunks < kMaxWaveChunks; ++chunks) {
        const QByteArray chunk = file.read(8);
        if (chunk.size() < 8) break;
        const quint32 size = le32(chunk.constData() + 4);
        if (chunk.startsWith("fmt ")) {
            const QByteArray fmt = file.read(qMin<quint32>(size, 40));
            if (fmt.size() < 16) break;
            const quint16 tag = le16(fmt.constData());
            const quint16 channels = le16(fmt.constData() + 2);
            byteRate = le32(fmt.constData() + 8);
            // 1 PCM, 3 float, 0xFFFE extensible (which carries PCM or float inside).
            if (tag != 1 && tag != 3 && tag != 0xFFFE) {
                info.error = QStringLiteral("compressed WAV data (format %1) cannot be played").arg(tag);
                return info;
            }
            if (channels == 0 || byteRate == 0) break;
            haveFormat = true;
            if (!file.seek(file.pos() - fmt.size() + size + (size & 1))) break;
        } else if (chunk.startsWith("data")) {
            if (!haveFormat) break;
            const qint64 available = qMin<qint64>(size, file.size() - file.pos());
            if (available <= 0) {
                info.error = QStringLiteral("the WAV file holds no sound");
                return info;
            }
            info.durationMs = int(available * 1000 / byteRate);
            return info;
        } else if (!file.seek(file.pos() + qint64(size) + (size & 1))) {
            break;
        }
    }
    info.error = QStringLiteral("damaged WAV file");
    return info;
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
