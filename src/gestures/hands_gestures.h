// The mouse on the hands window: any press starts the hold-to-quit count and any release ends
// it; a left drag moves both clock windows as one; a right press steps the clock through an
// eight-colour cycle. Opening and closing the calculator on clicks is the hands window's.
#pragma once

#include "platform/platform.h"
#include "startup/clock_state.h"

#include <array>

namespace reloj {

class Form1;
class Form2;

// The right-button cycle: black (which hands the clock back to the automatic colour), then
// the light colours of the sixteen-colour palette, 0x00BBGGRR.
inline constexpr std::array<Colour, 8> kColourCycle{
    0x000000, 0xFF0000, 0x00FF00, 0xFFFF00, 0x0000FF, 0xFF00FF, 0x00FFFF, 0xFFFFFF,
};

class HandsGestures {
  public:
    HandsGestures(ClockState& state, Form1& hands, Form2& markers);

    // Back to the first colour of the cycle, as when the hands window loads.
    void Reset();

    void Form_MouseDown(int16_t button, float x, float y);
    void Form_MouseMove(int16_t buttons, float x, float y);
    void Form_MouseUp(int16_t button, float x, float y);

  private:
    void StepColour();

    ClockState& m_state;
    Form1& m_hands;
    Form2& m_markers;
    int16_t ColourStep = 0;
    Colour HubColour = 0;
};

} // namespace reloj
