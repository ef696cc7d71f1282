// The operations the clock's logic needs from the window system and the forms runtime, as
// small interfaces: windows with positions in twips, regions, colours and a circle; topmost
// placement; the screen's twips per pixel. The logic calls only these; platform/qt/ provides
// them on Qt, and the unit tests provide a fake that records what it was asked.
#pragma once

#include "platform/region.h"
#include "startup/clock_state.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

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
    virtual void Timer1_Timer() {}
    // The user toggled a check box (or clicked another control that reports clicks).
    virtual void Control_Click(const std::string& /*control*/) {}
    // The user closed the window with its close button; the window stays until unloaded.
    virtual void Form_Closed() {}
};

// The local date and time of day, as the system clock gives it.
struct LocalTime {
    int32_t year = 0, month = 0, day = 0; // month 1-12, day 1-31
    int32_t hour = 0, minute = 0, second = 0;
};

// How a window is made: its title and whether it is a bare, unlisted, topmost clock window;
// otherwise an ordinary titled window with a single fixed border, of the given client size
// in twips, opening centred on the screen.
struct FormDesign {
    std::string title;
    bool clockWindow = true;
    float clientWidth = 0;
    float clientHeight = 0;
};

enum class ControlKind { Label, TextBox, CheckBox };

// A control on an ordinary window: position and size in twips, its text (a label's caption, a
// text box's contents, a check box's caption), its text colour on a black ground, its place in
// the tab order. Labels and text boxes centre their text.
struct ControlDesign {
    std::string name;
    ControlKind kind = ControlKind::Label;
    std::string text;
    float left = 0, top = 0, width = 0, height = 0;
    Colour foreColor = 0;
    int tabIndex = 0;
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

    // Starts the window's timer: Timer1_Timer then runs once every interval for as long as
    // the window exists. A 1000 ms timer ticks once in every wall-clock second, shortly after
    // the second begins, so that no second is skipped or counted twice.
    virtual void StartTimer(int32_t intervalMs) = 0;

    // Controls of ordinary windows, by name.
    virtual void AddControl(const ControlDesign& control) = 0;
    // A straight line in twips, `widthPixels` wide.
    virtual void AddLine(float x1, float y1, float x2, float y2, int32_t widthPixels,
                         Colour colour) = 0;
    virtual std::string Text(const std::string& control) const = 0;
    virtual void SetText(const std::string& control, const std::string& text) = 0;
    // A check box's state: 0 clear, 1 checked. Setting it raises no click.
    virtual int32_t Value(const std::string& control) const = 0;
    virtual void SetValue(const std::string& control, int32_t value) = 0;
    virtual void SetFocus(const std::string& control) = 0;
};

// One sound file's player, as a media control drives it. Failures are silent: a file that
// is missing or broken, or no sound server, leaves the sound unheard and nothing else changed.
class SoundPlayer {
  public:
    virtual ~SoundPlayer() = default;
    // Readies the player for a wave file; later plays reuse it. What it holds between plays
    // is the player's business.
    virtual void Open(const std::string& path) = 0;
    virtual bool IsOpen() const = 0;
    // Back to the start of the sound.
    virtual void Rewind() = 0;
    // Starts playback and returns at once; the sound plays in the background.
    virtual void Play() = 0;
};

class Platform {
  public:
    virtual ~Platform() = default;

    // Twips per screen pixel, as the screen reports them (1440 / dots per inch).
    virtual float ScreenTwipsPerPixelX() const = 0;
    virtual float ScreenTwipsPerPixelY() const = 0;

    // Makes a window, hidden, that reports its events to `events`. An owned window always
    // stays above its owner, and goes on top with it whenever the owner is kept on top.
    virtual std::unique_ptr<FormWindow> CreateForm(const FormDesign& design, FormWindow* owner,
                                                   FormEvents& events) = 0;

    // Puts the window at the top of the topmost band without moving, resizing or activating it;
    // the shown windows it owns stay above it.
    virtual void KeepOnTop(WindowHandle window) = 0;

    // The colour shown on the screen at a point in screen pixels, 0x00BBGGRR, or -1 when the
    // point lies outside every screen or cannot be read.
    virtual Colour GetPixel(int32_t x, int32_t y) = 0;
    // Several points at once, in order; a platform may read them in one exchange.
    virtual std::vector<Colour> GetPixels(const std::vector<PixelPoint>& points) {
        std::vector<Colour> colours;
        for (const PixelPoint& p : points) {
            colours.push_back(GetPixel(p.x, p.y));
        }
        return colours;
    }

    virtual LocalTime Now() const = 0;

    // The area of each screen, in screen pixels.
    virtual std::vector<PixelRect> ScreenAreas() const = 0;
    // Calls `changed` after every change of the screens (one added, removed, resized or moved)
    // until called again; an empty function stops the calls.
    virtual void WatchScreens(std::function<void()> changed) = 0;

    // A modal message box with one OK button and no icon, each line of the text on one line;
    // returns when it is dismissed. Like an owned window, it stays above its owner.
    virtual void MessageBox(FormWindow& owner, const std::string& title,
                            const std::string& text) = 0;

    // Ends the program with the given status once the current event has been handled.
    virtual void Quit(int status) = 0;

    virtual std::unique_ptr<SoundPlayer> CreateSoundPlayer() = 0;
    // The directory of the clock's wave files, ending in "/".
    virtual std::string SoundDirectory() const = 0;
};

} // namespace reloj
