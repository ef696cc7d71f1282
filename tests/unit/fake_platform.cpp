#include "fake_platform.h"

#include <algorithm>

namespace reloj::test {

FakeWindow::FakeWindow(FakePlatform& platform, std::string title, WindowHandle handle,
                       WindowEvents& events)
    : m_platform(platform), m_events(events), m_title(std::move(title)), m_handle(handle) {
    m_platform.windows.push_back(this);
    Note("Create");
}

FakeWindow::~FakeWindow() {
    Note("Destroy");
    std::erase(m_platform.windows, this);
}

void FakeWindow::Note(const std::string& what) {
    m_platform.journal.push_back(m_title + "." + what);
}

void FakeWindow::MoveTo(PixelPoint topLeft) {
    Note("MoveTo");
    frame = {topLeft.x, topLeft.y, topLeft.x + frame.right - frame.left,
             topLeft.y + frame.bottom - frame.top};
}

void FakeWindow::Resize(int32_t width, int32_t height) {
    Note("Resize");
    frame.right = frame.left + std::max(1, width);
    frame.bottom = frame.top + std::max(1, height);
}

void FakeWindow::SetColours(Colour face, std::optional<Disc> newDisc) {
    Note("SetColours");
    background = face;
    disc = newDisc;
}

void FakePlatform::TimeJumped() {
    for (FakeWindow* window : windows) {
        if (window->tickAt) {
            window->tickAt = now.epochSecond + 1;
        }
    }
    if (calculator != nullptr && calculator->tickAt) {
        calculator->tickAt = now.epochSecond + 1;
    }
}

void FakeWindow::TickAt(int64_t epochSecond) {
    tickAt = epochSecond;
}

void FakeWindow::SetShape(Region newRegion) {
    Note("SetShape");
    region = std::move(newRegion);
}

void FakeWindow::Show() {
    Note("Show");
    visible = true;
}
void FakeWindow::Hide() {
    Note("Hide");
    visible = false;
}

std::unique_ptr<Window> FakePlatform::CreateWindow(const WindowDescription& description,
                                                   Window* owner, WindowEvents& events) {
    auto window = std::make_unique<FakeWindow>(*this, description.title, m_nextHandle++, events);
    if (auto* fakeOwner = dynamic_cast<FakeWindow*>(owner)) {
        window->owner = fakeOwner->Title();
    }
    return window;
}

FakeCalculatorView::FakeCalculatorView(FakePlatform& platform, std::string ownerTitle,
                                       CalculatorEvents& events)
    : owner(std::move(ownerTitle)), m_platform(platform), m_events(events) {
    m_platform.calculator = this;
    m_platform.journal.push_back("Calculator.Create");
}

FakeCalculatorView::~FakeCalculatorView() {
    m_platform.journal.push_back("Calculator.Destroy");
    m_platform.calculator = nullptr;
}

void FakeCalculatorView::Show() {
    m_platform.journal.push_back("Calculator.Show");
    visible = true;
}

void FakeCalculatorView::ClickMute() {
    muted = !muted;
    m_events.OnMuteToggled(muted);
}

std::unique_ptr<CalculatorView> FakePlatform::CreateCalculator(Window& owner,
                                                               const CalculatorLayout& layout,
                                                               CalculatorEvents& events) {
    const auto* fakeOwner = dynamic_cast<FakeWindow*>(&owner);
    auto view = std::make_unique<FakeCalculatorView>(
        *this, fakeOwner != nullptr ? fakeOwner->Title() : std::string(), events);
    view->layout = layout;
    return view;
}

void FakePlatform::KeepOnTop(WindowHandle window) {
    const auto it = std::find_if(windows.begin(), windows.end(),
                                 [window](auto* w) { return w->Handle() == window; });
    journal.push_back("KeepOnTop " + (it == windows.end() ? std::string("?") : (*it)->Title()));
}

Colour FakePlatform::ScreenPixel(int32_t x, int32_t y) {
    journal.push_back("ScreenPixel " + std::to_string(x) + "," + std::to_string(y));
    for (const auto& [point, colour] : pixels) {
        if (point == PixelPoint{x, y}) {
            return colour;
        }
    }
    return desktop;
}

void FakePlatform::MessageBox(Window& owner, const std::string& title, const std::string& text) {
    journal.push_back("MessageBox");
    const auto* fakeOwner = dynamic_cast<FakeWindow*>(&owner);
    messageOwner = fakeOwner != nullptr ? fakeOwner->Title() : std::string("?");
    messageTitle = title;
    messageText = text;
    if (duringMessageBox) {
        duringMessageBox();
    }
}

void FakePlatform::Quit(int status) {
    journal.push_back("Quit " + std::to_string(status));
    quitStatus = status;
}

void FakePlatform::PlaySound(const std::string& path, const std::string& title) {
    journal.push_back("PlaySound " + path + " (" + title + ")");
    plays.push_back({path, title});
}

FakeWindow* FakePlatform::Find(const std::string& title) const {
    const auto it = std::find_if(windows.begin(), windows.end(),
                                 [&title](auto* w) { return w->Title() == title; });
    return it == windows.end() ? nullptr : *it;
}

} // namespace reloj::test
