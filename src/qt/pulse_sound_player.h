// A wave player that speaks to the desktop's sound server itself, in the PulseAudio protocol
// (which PipeWire serves too), and holds nothing between plays. Open only remembers the path.
// Each Play starts a short-lived thread that connects to the server as it is at that moment,
// reads the file's header, streams the samples from disk, waits until they have been heard and
// then lets go of the connection, the file and itself. So a server that restarted, or that
// started after the clock, is found by the next play without any retrying in between, and a
// tick that plays nothing costs nothing. A missing or broken file, or no server, leaves that
// sound silent and says why in the reloj.sound log category; the clock goes on. Each play tells
// the server who plays (the clock's name, id and icon) and what: an event sound, with its
// title, so that a desktop's mixer lists it under the clock and gives it the event volume; a
// server that ignores these plays it all the same. Which sound plays, and when, is the chimes'
// business.
#pragma once

#include "platform/platform.h"

#include <memory>
#include <string>

namespace reloj {

struct Playback;

class PulseSoundPlayer final : public SoundPlayer {
  public:
    PulseSoundPlayer() = default;
    // Stops the sound if it is playing and waits a moment for its thread to let go.
    ~PulseSoundPlayer() override;
    PulseSoundPlayer(const PulseSoundPlayer&) = delete;
    PulseSoundPlayer& operator=(const PulseSoundPlayer&) = delete;

    void Open(const std::string& path, const std::string& title) override;
    bool IsOpen() const override;
    // Stops the sound if it is playing; the next play starts at the top.
    void Rewind() override;
    // A sound played again while it still sounds starts over.
    void Play() override;

  private:
    std::string m_path;
    std::string m_title;
    // The latest play; its thread holds it too and ends on its own.
    std::shared_ptr<Playback> m_playing;
};

} // namespace reloj
