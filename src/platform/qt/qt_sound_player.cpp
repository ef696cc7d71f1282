#include "platform/qt/qt_sound_player.h"

#include <QUrl>

namespace reloj {

void QtSoundPlayer::Open(const std::string& path) {
    m_effect.setSource(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool QtSoundPlayer::IsOpen() const {
    return !m_effect.source().isEmpty();
}

// A sound effect has no position to seek: stopping it makes the next play start at the top.
void QtSoundPlayer::Rewind() {
    m_effect.stop();
}

void QtSoundPlayer::Play() {
    m_effect.play();
}

} // namespace reloj
