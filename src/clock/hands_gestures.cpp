#include "clock/hands_gestures.h"

#include "core/numeric.h"

namespace reloj {

HandsGestures::HandsGestures(const ClockLayout& layout, ClockState& state, Targets targets)
    : m_layout(layout), m_state(state), m_targets(std::move(targets)) {}

void HandsGestures::Reset() {
    m_nextColour = 0;
    m_buttonHeld = false;
}

void HandsGestures::OnMousePress(MouseButton button, MousePoint at) {
    m_buttonHeld = true;
    if (button == kLeftButton) {
        const WindowPlace& hands = m_targets.hands();
        m_dragAnchor = {RoundToInt32(hands.TwipsX(at.x)).value,
                        RoundToInt32(hands.TwipsY(at.y)).value};
    }
    if (button == kRightButton) {
        StepColour();
    }
}

void HandsGestures::StepColour() {
    m_state.clockColour = kColourCycle[m_nextColour];
    m_targets.recoloured();
    m_nextColour = (m_nextColour + 1) % kColourCycle.size();
}

void HandsGestures::OnMouseMove(int16_t heldButtons, MousePoint at) {
    if (!m_layout.movable || heldButtons != kLeftButton) {
        return;
    }
    WindowPlace& hands = m_targets.hands();
    // In twips, so that a place that is not a whole number of pixels keeps its remainder.
    const double left = static_cast<double>(hands.Left()) + hands.TwipsX(at.x) - m_dragAnchor.x;
    const double top = static_cast<double>(hands.Top()) + hands.TwipsY(at.y) - m_dragAnchor.y;
    hands.Move(Single(left), Single(top));
    // The marker window follows to where the window system actually put the hands.
    m_targets.markers().Move(hands.Left(), hands.Top());
}

void HandsGestures::OnMouseRelease(MouseButton, MousePoint) {
    m_buttonHeld = false;
    if (m_layout.movable) {
        m_targets.released();
    }
}

} // namespace reloj
