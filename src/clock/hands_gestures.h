// The mouse on the hands window: any press starts the hold-to-quit count and any release ends
// it; a left drag moves both clock windows as one; a right press steps the clock through an
// eight-colour cycle. It is handed what it moves, not the window classes; opening and closing
// the calculator on clicks, and counting the hold, are the hands window's.
#pragma once

#include "platform/platform.h"
#include "settings/clock_state.h"

#include <array>
#include <cstddef>
#include <functional>

namespace reloj {

// The right-button cycle: black (which hands the clock back to the automatic colour), then
// the light colours of the sixteen-colour palette, 0x00BBGGRR.
inline constexpr std::array<Colour, 8> kColourCycle{
    0x000000, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

class HandsGestures {
  public:
    // What the gestures act on. The two windows exist only while the clock is open, so they
    // are asked for when a gesture comes; `released` is told when a button comes up on a clock
    // that can be moved, so that the clock's corners can be recorded where it now stands.
    struct Targets {
        std::function<Window&()> hands;
        std::function<Window&()> markers;
        std::function<void()> released;
    };

    HandsGestures(ClockState& state, Targets targets);

    // Back to the first colour of the cycle, as when the hands window opens.
    void Reset();

    void OnMousePress(MouseButton button, float x, float y);
    void OnMouseMove(int16_t heldButtons, float x, float y);
    void OnMouseRelease(MouseButton button, float x, float y);

  private:
    void StepColour();

    ClockState& m_state;
    Targets m_targets;
    std::size_t m_nextColour = 0; // index into kColourCycle
};

} // namespace reloj
