// A wave player on Qt Multimedia's QAudioSink that streams each sound from disk while it plays
// and holds nothing between plays: Open only remembers the path, and each Play opens the file,
// reads its header, lets a sink on the default output pull the samples from the file, and lets
// go of the file and the sink once the sound has played out. A clock that keeps 26 of these
// players therefore does not grow as each of its sounds is played for the first time.
// A missing or broken file, or no sound server, leaves the player silent and changes nothing
// else. Which sound plays, and when, is the chimes' business.
#pragma once

#include "platform/platform.h"

#include <QAudio>
#include <QString>
#include <QTimer>

class QAudioSink;

namespace reloj {

class WaveData;

class QtSoundPlayer final : public SoundPlayer {
  public:
    QtSoundPlayer();
    ~QtSoundPlayer() override;
    QtSoundPlayer(const QtSoundPlayer&) = delete;
    QtSoundPlayer& operator=(const QtSoundPlayer&) = delete;

    void Open(const std::string& path) override;
    bool IsOpen() const override;
    // Stops the sound if it is playing; the next play starts at the top.
    void Rewind() override;
    void Play() override;

  private:
    void StateChanged(QAudio::State state);
    // Stops the sink, closes the file and lets both go.
    void Release();

    QString m_path;
    // The sound playing, if any: the sink and, as its child, the samples it pulls.
    QAudioSink* m_sink = nullptr;
    WaveData* m_data = nullptr;
    // When the playing sound is let go: once its last samples have had time to sound, at once
    // when the sink fails, and in any case a little after the sound's own length.
    QTimer m_release;
};

} // namespace reloj
