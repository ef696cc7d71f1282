// A wave player on Qt Multimedia's QSoundEffect, which plays in the background and stays
// silent, without complaint, when the file or the sound server is missing.
#pragma once

#include "platform/platform.h"

#include <QSoundEffect>

namespace reloj {

class QtSoundPlayer final : public SoundPlayer {
  public:
    void Open(const std::string& path) override;
    bool IsOpen() const override;
    void Rewind() override;
    void Play() override;

  private:
    QSoundEffect m_effect;
};

} // namespace reloj
