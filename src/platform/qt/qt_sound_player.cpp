#include "platform/qt/qt_sound_player.h"

#include <QFileInfo>
#include <QLoggingCategory>
#include <QUrl>

namespace reloj {

// Every play request, for tests and for a curious user: QT_LOGGING_RULES="reloj.sound=true".
Q_LOGGING_CATEGORY(lcSound, "reloj.sound", QtWarningMsg)

void QtSoundPlayer::Open(const std::string& path) {
    const QString file = QString::fromStdString(path);
    if (!QFileInfo::exists(file)) {
        qCInfo(lcSound, "missing %s", qPrintable(file));
    }
    m_effect.setSource(QUrl::fromLocalFile(file));
}

bool QtSoundPlayer::IsOpen() const {
    return !m_effect.source().isEmpty();
}

// A sound effect has no position to seek: stopping it makes the next play start at the top.
void QtSoundPlayer::Rewind() {
    m_effect.stop();
}

void QtSoundPlayer::Play() {
    qCInfo(lcSound, "play %s", qPrintable(m_effect.source().fileName()));
    m_effect.play();
}

} // namespace reloj
