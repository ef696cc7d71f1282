#include "calculator/form3.h"

namespace reloj {

Form3::Form3(Platform& platform, std::string& chimeFlag)
    : m_platform(platform), m_chimeFlag(chimeFlag) {}

Form3::~Form3() {
    Unload();
}

void Form3::Show() {
    if (!m_window) {
        m_window = m_platform.CreateForm(FormDesign{kCalculatorTitle, false}, nullptr, *this);
    }
    m_window->Show();
}

void Form3::Unload() {
    m_window.reset();
}

} // namespace reloj
