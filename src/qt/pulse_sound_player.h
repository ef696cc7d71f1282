// A wave player that speaks to the desktop's sound server itself, in the PulseAudio protocol
// (which PipeWire serves too), and holds nothing between plays but a handle on each file's
// latest play, to stop it when the same file plays again. Each play starts a short-lived thread
// that connects to the server as it is at that moment, reads the file's header, streams the
// samples from disk, waits until they have been heard and then lets go of the connection, the
// file and itself. So a server that restarted, or that started after the clock, is found by the
// next play without any retrying in between, and a tick that plays nothing costs nothing. A
// missing or broken file, or no server, leaves that sound silent and says why in the
// reloj.sound log category; the clock goes on. Each play tells the server who plays (the
// clock's name, id and icon) and what: an event sound, with its title, so that a desktop's
// mixer lists it under the clock and gives it the event volume; a server that ignores these
// plays it all the same. Which sound plays, and when, is the chimes' business.
#pragma once

#include <map>
#include <memory>
#include <string>

namespace reloj {

struct Playback;

class PulseSoundPlayer final {
  public:
    PulseSoundPlayer() = default;
    // Stops the sounds that are playing and waits a moment for their threads to let go.
    ~PulseSoundPlayer();
    PulseSoundPlayer(const PulseSoundPlayer&) = delete;
    PulseSoundPlayer& operator=(const PulseSoundPlayer&) = delete;

    // Plays the wave file in the background under `title` and returns at once. A file played
    // again while it still sounds starts over; other files play on beside it.
    void Play(const std::string& path, const std::string& title);

  private:
    // The latest play of each file, by path; its thread holds it too and ends on its own.
    std::map<std::string, std::shared_ptr<Playback>> m_playing;
};

} // namespace reloj
