// The calculator's window as its logic sees it: a small window, owned by a clock window, that
// shows a result text, holds the date the user types and the switch that mutes the chimes, and
// ticks once a second while it is open. Its look (texts, places, colours, fonts, the order in
// which the keyboard moves through it) is the platform's business; the logic decides only what
// the result says and what the switch means.
#pragma once

#include <cstdint>
#include <string>

namespace reloj {

// What the calculator's window reports to the logic. Every handler runs on the user-interface
// thread, one at a time.
class CalculatorEvents {
  public:
    virtual ~CalculatorEvents() = default;
    // The user toggled the mute switch; `muted` is its new state.
    virtual void OnMuteToggled(bool muted) = 0;
    // The user closed the window with its close button; the window stays until the logic lets
    // it go.
    virtual void OnCloseRequested() = 0;
    // The tick asked for with TickAt.
    virtual void OnTick() = 0;
};

class CalculatorView {
  public:
    virtual ~CalculatorView() = default;

    // Shows the window, modeless, with the keyboard in the date box.
    virtual void Show() = 0;
    // The text the result shows; it starts empty.
    virtual void SetResult(const std::string& text) = 0;
    // The text in the date box, as typed.
    virtual std::string TypedDate() const = 0;
    // Puts the mute switch in that state; this raises no OnMuteToggled.
    virtual void SetMuted(bool muted) = 0;
    // Asks for the next tick, as Window::TickAt does: OnTick runs once, shortly after the
    // wall-clock second `epochSecond` begins, and at the start of the next second instead when
    // the wall clock is set, the machine wakes or the time zone changes.
    virtual void TickAt(int64_t epochSecond) = 0;
};

} // namespace reloj
