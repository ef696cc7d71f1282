// The mouse on the hands window: any press starts the hold-to-quit count and any release ends
// it; a left drag moves both clock windows as one; a right press steps the clock through an
// eight-colour cycle. It is handed what it moves, not the window classes; opening and closing
// the calculator on clicks, and counting the hold, are the clock tick's.
#pragma once

#include "clock/window_place.h"
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
    // What the gestures act on. The two windows exist only while the clock is open, so their
    // places are asked for when a gesture comes; `recoloured` is told when the clock colour
    // changed, to paint both windows with it, and `released` when a button comes up on a clock
    // that can be moved, so that the clock's corners can be recorded where it now stands.
    struct Targets {
        std::function<WindowPlace&()> hands;
        std::function<WindowPlace&()> markers;
        std::function<void()> recoloured;
        std::function<void()> released;
    };

    HandsGestures(const ClockLayout& layout, ClockState& state, Targets targets);

    // Back to the first colour of the cycle and no button down, as when the hands window opens.
    void Reset();
    // A mouse button is down on the hands: the hold-to-quit counts.
    bool ButtonHeld() const { return m_buttonHeld; }

    void OnMousePress(MouseButton button, MousePoint at);
    void OnMouseMove(int16_t heldButtons, MousePoint at);
    void OnMouseRelease(MouseButton button, MousePoint at);

  private:
    void StepColour();

    const ClockLayout& m_layout;
    ClockState& m_state;
    Targets m_targets;
    std::size_t m_nextColour = 0; // index into kColourCycle
    bool m_buttonHeld = false;
    TwipsPoint m_dragAnchor; // where the left button went down on the hands
};

} // namespace reloj
