// A platform for unit tests: windows that stand exactly on the pixels they are given and record
// what they were asked, and a journal of every call in order, so that tests can check both
// results and sequences without a display.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace reloj::test {

class FakePlatform;

class FakeWindow final : public Window {
  public:
    FakeWindow(FakePlatform& platform, std::string title, WindowHandle handle,
               WindowEvents& events);
    ~FakeWindow() override;

    PixelRect Frame() const override { return frame; }
    void MoveTo(PixelPoint topLeft) override;
    void Resize(int32_t width, int32_t height) override;
    void SetColours(Colour face, std::optional<Disc> disc) override;
    void SetShape(Region region) override;
    WindowHandle Handle() const override { return m_handle; }
    void Show() override;
    void Hide() override;
    void TickAt(int64_t epochSecond) override;

    const std::string& Title() const { return m_title; }
    WindowEvents& Events() { return m_events; }
    // Where the window stands; a test may move it as a window manager would.
    PixelRect frame;
    std::optional<Colour> background;
    std::optional<Disc> disc;
    // The second of the tick asked for last, if any.
    std::optional<int64_t> tickAt;
    bool visible = false;
    std::optional<Region> region;
    // The title of the window that owns this one; empty for none.
    std::string owner;

  private:
    void Note(const std::string& what);

    FakePlatform& m_platform;
    WindowEvents& m_events;
    std::string m_title;
    WindowHandle m_handle;
};

// The calculator's window as a user leaves it: what the date box holds and where the switch
// stands, which tests set; what the logic showed and asked for, which tests read. The journal
// names it "Calculator".
class FakeCalculatorView final : public CalculatorView {
  public:
    FakeCalculatorView(FakePlatform& platform, std::string owner, CalculatorEvents& events);
    ~FakeCalculatorView() override;

    void Show() override;
    void SetResult(const std::string& text) override { result = text; }
    std::string TypedDate() const override { return typed; }
    void SetMuted(bool state) override { muted = state; }
    void TickAt(int64_t epochSecond) override { tickAt = epochSecond; }

    // The user clicks the switch: it flips, and the logic is told.
    void ClickMute();
    CalculatorEvents& Events() { return m_events; }

    // The title of the window that owns it.
    const std::string owner;
    std::string typed;
    std::string result;
    bool muted = false;
    bool visible = false;
    std::optional<int64_t> tickAt;
    CalculatorLayout layout;

  private:
    FakePlatform& m_platform;
    CalculatorEvents& m_events;
};

class FakePlatform final : public Platform {
  public:
    double dotsPerInchX = 96;
    double dotsPerInchY = 96;

    double ScreenDotsPerInchX() const override { return dotsPerInchX; }
    double ScreenDotsPerInchY() const override { return dotsPerInchY; }
    std::optional<double> StatedScaleFactor() const override { return statedScale; }
    void UseScale(double factor) override { scale = factor; }
    std::unique_ptr<Window> CreateWindow(const WindowDescription& description, Window* owner,
                                         WindowEvents& events) override;
    std::unique_ptr<CalculatorView> CreateCalculator(Window& owner, const CalculatorLayout& layout,
                                                     CalculatorEvents& events) override;
    void KeepOnTop(WindowHandle window) override;
    Colour ScreenPixel(int32_t x, int32_t y) override;
    std::optional<ColourScheme> ColourSchemeInsteadOfPixels() override { return colourScheme; }
    void WatchDesktop(const std::vector<PixelPoint>& points,
                      std::function<void(DesktopChange)> changed) override {
        watchedPoints = points;
        desktopChanged = std::move(changed);
    }
    LocalTime Now() const override { return now; }
    std::vector<PixelRect> ScreenAreas() const override { return screens; }
    void WatchScreens(std::function<void()> changed) override { screensChanged = changed; }
    void MessageBox(Window& owner, const std::string& title, const std::string& text) override;
    void Quit(int status) override;
    void PlaySound(const std::string& path, const std::string& title) override;
    std::string SoundDirectory() const override { return "/sonidos/"; }

    // The factor the desktop states, and the scale the clock chose.
    std::optional<double> statedScale;
    std::optional<double> scale;
    // What the screen shows: the same colour everywhere unless a point is set on its own.
    Colour desktop = 0;
    std::vector<std::pair<PixelPoint, Colour>> pixels;
    // A desktop whose pixels cannot be read, and what it says of its look.
    std::optional<ColourScheme> colourScheme;
    LocalTime now{2026, 12, 8, 10, 15, 0};
    // The screens, and whom to tell when a test changes them.
    std::vector<PixelRect> screens{{0, 0, 1280, 1024}};
    std::function<void()> screensChanged;
    // The points the clock watches on the screen, and whom to tell of news from the desktop.
    std::vector<PixelPoint> watchedPoints;
    std::function<void(DesktopChange)> desktopChanged;
    std::optional<int> quitStatus;
    std::string messageTitle, messageText, messageOwner;
    // Runs while the message box is up, as events delivered under a modal box would.
    std::function<void()> duringMessageBox;

    // The wall clock jumped (set, or the machine woke from sleep) or the zone changed, and
    // `now` says the new time: as the real platform does, every window waiting for its tick
    // ticks at the start of the next second.
    void TimeJumped();

    // The window with that title, while it exists.
    FakeWindow* Find(const std::string& title) const;

    // Each sound played, in order; the journal notes each as "PlaySound <path> (<title>)" too.
    struct SoundPlay {
        std::string path;
        std::string title;
        bool operator==(const SoundPlay&) const = default;
    };
    std::vector<SoundPlay> plays;

    // Every call, in order, as "<title>.<Operation>" or "KeepOnTop <title>".
    std::vector<std::string> journal;
    std::vector<FakeWindow*> windows;
    // The calculator's window, while it exists.
    FakeCalculatorView* calculator = nullptr;

  private:
    WindowHandle m_nextHandle = 1;
};

} // namespace reloj::test
