// A platform for unit tests: windows that keep exactly the twips they are given and record
// what they were asked, and a journal of every call in order, so that tests can check both
// results and sequences without a display.
#pragma once

#include "platform/platform.h"

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace reloj::test {

class FakePlatform;

class FakeFormWindow final : public FormWindow {
  public:
    FakeFormWindow(FakePlatform& platform, std::string title, WindowHandle handle,
                   FormEvents& events);
    ~FakeFormWindow() override;

    float Left() const override { return m_left; }
    float Top() const override { return m_top; }
    float Width() const override { return m_width; }
    float Height() const override { return m_height; }
    void SetLeft(float twips) override;
    void SetTop(float twips) override;
    void SetWidth(float twips) override;
    void SetHeight(float twips) override;
    void Move(float left, float top) override;
    void Move(float left, float top, float width, float height) override;
    void SetBackColor(Colour colour) override;
    void SetFillColor(Colour colour) override;
    void Circle(int32_t centreX, int32_t centreY, int32_t radius, Colour outline) override;
    void Refresh() override;
    void SetWindowRgn(Region region) override;
    WindowHandle hWnd() const override { return m_handle; }
    void Show() override;
    void Hide() override;
    void StartTimer(int32_t intervalMs) override;
    void AddControl(const ControlDesign& control) override;
    void AddLine(float x1, float y1, float x2, float y2, int32_t widthPixels,
                 Colour colour) override;
    std::string Text(const std::string& control) const override;
    void SetText(const std::string& control, const std::string& text) override;
    int32_t Value(const std::string& control) const override;
    void SetValue(const std::string& control, int32_t value) override;
    void SetFocus(const std::string& control) override;

    const std::string& Title() const { return m_title; }
    std::vector<ControlDesign> controls;
    std::map<std::string, std::string> texts;
    std::map<std::string, int32_t> values;
    std::string focus;
    int lines = 0;
    FormEvents& Events() { return m_events; }
    std::optional<Colour> fillColor;
    int circles = 0;
    std::optional<Colour> backColor;
    bool visible = false;
    std::optional<Region> region;
    // The title of the window that owns this one; empty for none.
    std::string owner;

  private:
    void Note(const std::string& what);

    FakePlatform& m_platform;
    FormEvents& m_events;
    std::string m_title;
    WindowHandle m_handle;
    float m_left = 0, m_top = 0, m_width = 0, m_height = 0;
};

class FakePlatform final : public Platform {
  public:
    float twipsPerPixelX = 15;
    float twipsPerPixelY = 15;

    float ScreenTwipsPerPixelX() const override { return twipsPerPixelX; }
    float ScreenTwipsPerPixelY() const override { return twipsPerPixelY; }
    std::unique_ptr<FormWindow> CreateForm(const FormDesign& design, FormWindow* owner,
                                           FormEvents& events) override;
    void KeepOnTop(WindowHandle window) override;
    Colour GetPixel(int32_t x, int32_t y) override;
    LocalTime Now() const override { return now; }
    std::vector<PixelRect> ScreenAreas() const override { return screens; }
    void WatchScreens(std::function<void()> changed) override { screensChanged = changed; }
    void MessageBox(FormWindow& owner, const std::string& title,
                    const std::string& text) override;
    void Quit(int status) override;
    std::unique_ptr<SoundPlayer> CreateSoundPlayer() override;
    std::string SoundDirectory() const override { return "/sonidos/"; }

    // What the screen shows: the same colour everywhere unless a point is set on its own.
    Colour desktop = 0;
    std::vector<std::pair<PixelPoint, Colour>> pixels;
    LocalTime now{2026, 12, 8, 10, 15, 0};
    // The screens, and whom to tell when a test changes them.
    std::vector<PixelRect> screens{{0, 0, 1280, 1024}};
    std::function<void()> screensChanged;
    std::optional<int> quitStatus;
    std::string messageTitle, messageText, messageOwner;
    // Runs while the message box is up, as events delivered under a modal box would.
    std::function<void()> duringMessageBox;

    // The window with that title, while it exists.
    FakeFormWindow* Find(const std::string& title) const;

    // Every call, in order, as "<title>.<Operation>" or "KeepOnTop <title>".
    std::vector<std::string> journal;
    std::vector<FakeFormWindow*> windows;

  private:
    WindowHandle m_nextHandle = 1;
};

} // namespace reloj::test
