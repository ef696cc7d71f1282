#include "display/form2.h"

#include "display/auto_colour.h"
#include "display/ring_geometry.h"
#include "display/screen_fit.h"

#include <cmath>

namespace reloj {

Form2::Form2(ClockState& state, Platform& platform)
    : m_state(state), m_platform(platform), m_form1(state, platform, *this) {}

Form2::~Form2() {
    if (IsLoaded()) {
        Unload();
    }
}

void Form2::Show() {
    if (!IsLoaded()) {
        m_window = m_platform.CreateForm(FormDesign{kMarkerTitle, true}, nullptr, *this);
        m_window->Move(kMarkerInitialLeft, kMarkerInitialTop);
        Form_Load();
    }
    m_window->Show();
}

void Form2::Unload() {
    if (!IsLoaded()) {
        return;
    }
    Form_Unload();
    m_window.reset();
}

void Form2::Form_Load() {
    m_window->SetWidth(static_cast<float>(m_state.FormSize));
    m_window->SetHeight(static_cast<float>(m_state.FormSize));
    if (m_state.ClockColour != kAutomaticColour) {
        m_window->SetBackColor(m_state.ClockColour);
    }
    if (m_state.StartLeft != 0) {
        m_window->SetLeft(static_cast<float>(m_state.StartLeft));
    }
    if (m_state.StartTop != 0) {
        m_window->SetTop(static_cast<float>(m_state.StartTop));
    }
    MakePoints();
    MakeRgn();
    m_form1.Show(*m_window);
    if (m_state.ClockColour != kAutomaticColour) {
        m_form1.Window().Circle(m_state.CentreX, m_state.CentreY, HubRadius(m_state), kBlack);
    } else {
        SampleDesktopColour(m_state, m_platform, m_form1.Window(), *m_window);
    }
    m_state.MarkersHwnd = m_window->hWnd();
    m_platform.KeepOnTop(m_window->hWnd());
    m_platform.WatchScreens([this] { KeepOnScreens(); });
}

void Form2::Form_Unload() {
    m_platform.WatchScreens({});
    m_window->Hide();
    MarkerRegions[1].reset();
    m_form1.Unload();
}

void Form2::MakePoints() {
    const auto corners =
        WindowCorners(m_window->Left(), m_window->Top(), m_window->Width(), m_window->Height(),
                      m_state.TwipsPerPixelX, m_state.TwipsPerPixelY);
    m_state.CornerX1 = corners[0].x;
    m_state.CornerY1 = corners[0].y;
    m_state.CornerX2 = corners[1].x;
    m_state.CornerY2 = corners[1].y;
    m_state.CornerX3 = corners[2].x;
    m_state.CornerY3 = corners[2].y;
    m_state.CornerX4 = corners[3].x;
    m_state.CornerY4 = corners[3].y;
}

void Form2::KeepOnScreens() {
    if (!IsLoaded()) {
        return;
    }
    const auto corners =
        WindowCorners(m_window->Left(), m_window->Top(), m_window->Width(), m_window->Height(),
                      m_state.TwipsPerPixelX, m_state.TwipsPerPixelY);
    // The window ends just before its right and bottom corners, which the automatic colour
    // reads and which must come onto the screen with it.
    const PixelRect window{corners[0].x, corners[0].y, corners[3].x, corners[3].y};
    const PixelRect reach{corners[0].x, corners[0].y, corners[3].x + 1, corners[3].y + 1};
    const auto place = PlaceOnNearestScreen(window, reach, m_platform.ScreenAreas());
    if (!place) {
        return;
    }
    // Whole pixels in twips, which the windows keep exactly.
    const auto left = static_cast<float>(place->x * m_state.TwipsPerPixelX);
    const auto top = static_cast<float>(place->y * m_state.TwipsPerPixelY);
    if (m_form1.IsLoaded()) {
        // As a drag does: the marker window follows to where the window system put the hands.
        m_form1.Window().Move(left, top);
        m_window->Move(m_form1.Window().Left(), m_form1.Window().Top());
    } else {
        m_window->Move(left, top);
    }
    MakePoints();
}

void Form2::MakeRgn() {
    for (int k = 0; k < kHourDots; ++k) {
        const PixelPoint centre = DotCentre(k, m_state.Radius, m_window->Width(),
                                            m_state.TwipsPerPixelX, m_state.TwipsPerPixelY);
        Region dot = Region::MakeEllipse(DotBounds(centre, m_state.DotRadius));
        if (k == 0) {
            MarkerRegions[0] = std::move(dot);
        } else {
            // The previous dot is let go as the new one takes its place.
            MarkerRegions[1] = std::move(dot);
            MarkerRegions[0]->Unite(*MarkerRegions[1]);
        }
    }
    m_window->SetWindowRgn(std::move(*MarkerRegions[0]));
    MarkerRegions[0].reset();
    m_platform.KeepOnTop(m_window->hWnd());
}

} // namespace reloj
