#include "fake_platform.h"

#include <algorithm>

namespace reloj::test {

FakeFormWindow::FakeFormWindow(FakePlatform& platform, std::string title, WindowHandle handle,
                               FormEvents& events)
    : m_platform(platform), m_events(events), m_title(std::move(title)), m_handle(handle) {
    m_platform.windows.push_back(this);
    Note("Create");
}

FakeFormWindow::~FakeFormWindow() {
    Note("Destroy");
    std::erase(m_platform.windows, this);
}

void FakeFormWindow::Note(const std::string& what) {
    m_platform.journal.push_back(m_title + "." + what);
}

void FakeFormWindow::SetLeft(float twips) {
    Note("SetLeft");
    m_left = twips;
}
void FakeFormWindow::SetTop(float twips) {
    Note("SetTop");
    m_top = twips;
}
void FakeFormWindow::SetWidth(float twips) {
    Note("SetWidth");
    m_width = twips;
}
void FakeFormWindow::SetHeight(float twips) {
    Note("SetHeight");
    m_height = twips;
}

void FakeFormWindow::Move(float left, float top) {
    Note("Move");
    m_left = left;
    m_top = top;
}

void FakeFormWindow::Move(float left, float top, float width, float height) {
    Note("Move");
    m_left = left;
    m_top = top;
    m_width = width;
    m_height = height;
}

void FakeFormWindow::SetBackColor(Colour colour) {
    Note("SetBackColor");
    backColor = colour;
    circles = 0;
}

void FakeFormWindow::SetFillColor(Colour colour) {
    Note("SetFillColor");
    fillColor = colour;
}

void FakeFormWindow::Circle(int32_t, int32_t, int32_t, Colour) {
    Note("Circle");
    ++circles;
}

void FakeFormWindow::StartTimer(int32_t intervalMs) {
    Note("StartTimer " + std::to_string(intervalMs));
}

void FakeFormWindow::AddControl(const ControlDesign& control) {
    Note("AddControl " + control.name);
    controls.push_back(control);
    texts[control.name] = control.text;
}

void FakeFormWindow::AddLine(float, float, float, float, int32_t, Colour) {
    Note("AddLine");
    ++lines;
}

std::string FakeFormWindow::Text(const std::string& control) const {
    const auto it = texts.find(control);
    return it == texts.end() ? std::string() : it->second;
}

void FakeFormWindow::SetText(const std::string& control, const std::string& text) {
    texts[control] = text;
}

int32_t FakeFormWindow::Value(const std::string& control) const {
    const auto it = values.find(control);
    return it == values.end() ? 0 : it->second;
}

void FakeFormWindow::SetValue(const std::string& control, int32_t value) {
    values[control] = value;
}

void FakeFormWindow::SetFocus(const std::string& control) {
    focus = control;
}

void FakeFormWindow::Refresh() {
    Note("Refresh");
}

void FakeFormWindow::SetWindowRgn(Region newRegion) {
    Note("SetWindowRgn");
    region = std::move(newRegion);
}

void FakeFormWindow::Show() {
    Note("Show");
    visible = true;
}
void FakeFormWindow::Hide() {
    Note("Hide");
    visible = false;
}

std::unique_ptr<FormWindow> FakePlatform::CreateForm(const FormDesign& design, FormWindow* owner,
                                                     FormEvents& events) {
    auto window = std::make_unique<FakeFormWindow>(*this, design.title, m_nextHandle++, events);
    if (auto* fakeOwner = dynamic_cast<FakeFormWindow*>(owner)) {
        window->owner = fakeOwner->Title();
    }
    return window;
}

void FakePlatform::KeepOnTop(WindowHandle window) {
    const auto it = std::find_if(windows.begin(), windows.end(),
                                 [window](auto* w) { return w->hWnd() == window; });
    journal.push_back("KeepOnTop " + (it == windows.end() ? std::string("?") : (*it)->Title()));
}

Colour FakePlatform::GetPixel(int32_t x, int32_t y) {
    journal.push_back("GetPixel " + std::to_string(x) + "," + std::to_string(y));
    for (const auto& [point, colour] : pixels) {
        if (point == PixelPoint{x, y}) {
            return colour;
        }
    }
    return desktop;
}

void FakePlatform::MessageBox(FormWindow& owner, const std::string& title,
                              const std::string& text) {
    journal.push_back("MessageBox");
    const auto* fakeOwner = dynamic_cast<FakeFormWindow*>(&owner);
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

namespace {

class FakeSoundPlayer final : public SoundPlayer {
  public:
    explicit FakeSoundPlayer(std::vector<std::string>& journal) : m_journal(journal) {}
    void Open(const std::string& path) override {
        m_journal.push_back("Open " + path);
        m_path = path;
    }
    bool IsOpen() const override { return !m_path.empty(); }
    void Rewind() override { m_journal.push_back("Rewind " + m_path); }
    void Play() override { m_journal.push_back("Play " + m_path); }

  private:
    std::vector<std::string>& m_journal;
    std::string m_path;
};

} // namespace

std::unique_ptr<SoundPlayer> FakePlatform::CreateSoundPlayer() {
    journal.push_back("CreateSoundPlayer");
    return std::make_unique<FakeSoundPlayer>(journal);
}

FakeFormWindow* FakePlatform::Find(const std::string& title) const {
    const auto it = std::find_if(windows.begin(), windows.end(),
                                 [&title](auto* w) { return w->Title() == title; });
    return it == windows.end() ? nullptr : *it;
}

} // namespace reloj::test
