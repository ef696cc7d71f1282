// The operations the clock's logic needs from the window system and the forms runtime, as
// small interfaces: windows with positions in twips, regions, colours and a circle; topmost
// placement; the screen's twips per pixel. The logic calls only these; platform/qt/ provides
// them on Qt, and the unit tests provide a fake that records what it was asked.
#pragma once

#include "platform/region.h"
#include "startup/clock_state.h"

#include <memory>
#include <string>

namespace reloj {

// Mouse buttons as the forms runtime codes them: for a press or release the one button that
// changed, for a movement the sum of the buttons held.
enum MouseButton : int16_t {
    kLeftButton = 1,
    kRightButton = 2,
    kMiddleButton = 4,
};

// What a window reports to the logic that drives it. Positions are twips relative to the
// window's top-left corner. Every handler runs on the user-interface thread, one at a time.
class FormEvents {
  public:
    virtual ~FormEvents() = default;
    virtual void Form_MouseDown(int16_t /*button*/, float /*x*/, float /*y*/) {}
    virtual void Form_MouseMove(int16_t /*buttons*/, float /*x*/, float /*y*/) {}
    virtual void Form_MouseUp(int16_t /*button*/, float /*x*/, float /*y*/) {}
    virtual void Form_Click() {}
    virtual void Form_DblClick() {}
};

// How a window is made: its title and whether it is a bare, unlisted, topmost clock window.
struct FormDesign {
    std::string title;
    bool clockWindow = true;
};

// One window of the forms runtime. Position and size are twips; the window itself sits on
// whole pixels (round(twips) \ twips per pixel).
class FormWindow {
  public:
    virtual ~FormWindow() = default;

    virtual float Left() const = 0;
    virtual float Top() const = 0;
    virtual float Width() const = 0;
    virtual float Height() const = 0;
    virtual void SetLeft(float twips) = 0;
    virtual void SetTop(float twips) = 0;
    virtual void SetWidth(float twips) = 0;
    virtual void SetHeight(float twips) = 0;
    virtual void Move(float left, float top) = 0;
    virtual void Move(float left, float top, float width, float height) = 0;

    // Setting the back colour repaints the whole window and erases what was drawn on it.
    virtual void SetBackColor(Colour colour) = 0;
    virtual void SetFillColor(Colour colour) = 0;
    // A circle in twips, outlined in the given colour and filled with the fill colour; it
    // stays drawn across repaints until the back colour changes.
    virtual void Circle(int32_t centreX, int32_t centreY, int32_t radius, Colour outline) = 0;
    virtual void Refresh() = 0;

    // The window's visible and clickable area becomes the region; the window keeps it.
    virtual void SetWindowRgn(Region region) = 0;

    virtual WindowHandle hWnd() const = 0;
    virtual void Show() = 0;
    virtual void Hide() = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // Twips per screen pixel, as the screen reports them (1440 / dots per inch).
    virtual float ScreenTwipsPerPixelX() const = 0;
    virtual float ScreenTwipsPerPixelY() const = 0;

    // Makes a window, hidden, that reports its events to `events`. An owned window always
    // stays above its owner.
    virtual std::unique_ptr<FormWindow> CreateForm(const FormDesign& design, FormWindow* owner,
                                                   FormEvents& events) = 0;

    // Puts the window at the top of the topmost band without moving, resizing or activating it.
    virtual void KeepOnTop(WindowHandle window) = 0;
};

} // namespace reloj
