#include "fake_platform.h"

#include <algorithm>

namespace reloj::test {

FakeFormWindow::FakeFormWindow(FakePlatform& platform, std::string title, WindowHandle handle)
    : m_platform(platform), m_title(std::move(title)), m_handle(handle) {
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
}
void FakeFormWindow::SetFillColor(Colour) {
    Note("SetFillColor");
}
void FakeFormWindow::Circle(int32_t, int32_t, int32_t, Colour) {
    Note("Circle");
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

std::unique_ptr<FormWindow> FakePlatform::CreateForm(const FormDesign& design, FormWindow*,
                                                     FormEvents&) {
    return std::make_unique<FakeFormWindow>(*this, design.title, m_nextHandle++);
}

void FakePlatform::KeepOnTop(WindowHandle window) {
    const auto it = std::find_if(windows.begin(), windows.end(),
                                 [window](auto* w) { return w->hWnd() == window; });
    journal.push_back("KeepOnTop " + (it == windows.end() ? std::string("?") : (*it)->Title()));
}

FakeFormWindow* FakePlatform::Find(const std::string& title) const {
    const auto it = std::find_if(windows.begin(), windows.end(),
                                 [&title](auto* w) { return w->Title() == title; });
    return it == windows.end() ? nullptr : *it;
}

} // namespace reloj::test
