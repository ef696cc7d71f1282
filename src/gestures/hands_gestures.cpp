#include "gestures/hands_gestures.h"

#include "common/numeric.h"
#include "display/auto_colour.h"
#include "display/form1.h"
#include "display/form2.h"

namespace reloj {

HandsGestures::HandsGestures(ClockState& state, Form1& hands, Form2& markers)
    : m_state(state), m_hands(hands), m_markers(markers) {}

void HandsGestures::Reset() {
    ColourStep = 0;
    HubColour = 0;
}

void HandsGestures::Form_MouseDown(int16_t button, float x, float y) {
    m_state.ExitHold = true;
    if (button == kLeftButton) {
        m_state.DragX = RoundToInt32(x).value;
        m_state.DragY = RoundToInt32(y).value;
    }
    if (button == kRightButton) {
        StepColour();
    }
}

void HandsGestures::StepColour() {
    m_state.ClockColour = kColourCycle[static_cast<std::size_t>(ColourStep)];
    FormWindow& hands = m_hands.Window();
    hands.SetBackColor(m_state.ClockColour);
    m_markers.Window().SetBackColor(m_state.ClockColour);
    HubColour = ContrastColour(m_state.ClockColour);
    hands.SetFillColor(HubColour);
    hands.Circle(m_state.CentreX, m_state.CentreY, HubRadius(m_state), HubColour);
    ColourStep = static_cast<int16_t>((ColourStep + 1) % kColourCycle.size());
}

void HandsGestures::Form_MouseMove(int16_t buttons, float x, float y) {
    if (!m_state.Movable || buttons != kLeftButton) {
        return;
    }
    FormWindow& hands = m_hands.Window();
    const double left = static_cast<double>(hands.Left()) + x - m_state.DragX;
    const double top = static_cast<double>(hands.Top()) + y - m_state.DragY;
    hands.Move(Single(left), Single(top));
    // The marker window follows to where the window system actually put the hands.
    m_markers.Window().Move(hands.Left(), hands.Top());
}

void HandsGestures::Form_MouseUp(int16_t, float, float) {
    m_state.ExitHold = false;
    if (m_state.Movable) {
        m_markers.MakePoints();
    }
}

} // namespace reloj
