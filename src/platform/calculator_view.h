// The calculator's window as its logic sees it: a small window, owned by a clock window, that
// shows a result text, holds the date the user types and the switch that mutes the chimes, and
// ticks once a second while it is open. Where its parts stand is the logic's
// (CalculatorLayout); its texts, colours, fonts and the order in which the keyboard moves
// through it are the platform's; the logic decides what the result says and what the switch
// means.
#pragma once

#include "core/region.h"

#include <cstdint>
#include <string>

namespace reloj {

// Where the parts of the calculator's window stand, in the window's pixels, and how large its
// letters may be. The logic lays the window out; the platform makes it so.
struct CalculatorLayout {
    int32_t width = 0; // the window's inside
    int32_t height = 0;
    PixelRect prompt;
    PixelRect date;
    PixelRect result;
    PixelRect heading;
    PixelRect mute;
    // The line between the input half and the result half, and its width.
    PixelPoint lineFrom;
    PixelPoint lineTo;
    int32_t lineWidth = 0;
    // The letters' pixel size at most and at least, and the room the switch's own box takes
    // beside its caption.
    int32_t letterPixels = 0;
    int32_t smallestLetterPixels = 0;
    int32_t checkIndicatorPixels = 0;
};

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
