#include "clock/hands_gestures.h"

#include "clock/auto_colour.h"
#include "core/numeric.h"

namespace reloj {

HandsGestures::HandsGestures(ClockState& state, Targets targets)
    : m_state(state), m_targets(std::move(targets)) {}

void HandsGestures::Reset() {
    m_nextColour = 0;
}

void HandsGestures::OnMousePress(MouseButton button, float x, float y) {
    m_state.buttonHeld = true;
    if (button == kLeftButton) {
        m_state.dragAnchor = {RoundToInt32(x).value, RoundToInt32(y).value};
    }
    if (button == kRightButton) {
        StepColour();
    }
}

void HandsGestures::StepColour() {
    m_state.clockColour = kColourCycle[m_nextColour];
    Window& hands = m_targets.hands();
    hands.SetBackground(m_state.clockColour);
    m_targets.markers().SetBackground(m_state.clockColour);
    const Colour hub = ContrastColour(m_state.clockColour);
    hands.SetFill(hub);
    hands.DrawCircle(m_state.centreX, m_state.centreY, HubRadius(m_state), hub);
    m_nextColour = (m_nextColour + 1) % kColourCycle.size();
}

void HandsGestures::OnMouseMove(int16_t heldButtons, float x, float y) {
    if (!m_state.movable || heldButtons != kLeftButton) {
        return;
    }
    Window& hands = m_targets.hands();
    const double left = static_cast<double>(hands.Left()) + x - m_state.dragAnchor.x;
    const double top = static_cast<double>(hands.Top()) + y - m_state.dragAnchor.y;
    hands.Move(Single(left), Single(top));
    // The marker window follows to where the window system actually put the hands.
    m_targets.markers().Move(hands.Left(), hands.Top());
}

void HandsGestures::OnMouseRelease(MouseButton, float, float) {
    m_state.buttonHeld = false;
    if (m_state.movable) {
        m_targets.released();
    }
}

} // namespace reloj
