#include "display/form1.h"

#include "common/time_text.h"
#include "display/auto_colour.h"
#include "display/closing_message.h"
#include "display/form2.h"
#include "display/hand_geometry.h"

namespace reloj {

Form1::Form1(ClockState& state, Platform& platform, Form2& owner)
    : m_state(state), m_platform(platform), m_form2(owner), m_chimes(platform),
      m_form3(platform, chimesMuted), m_gestures(state, *this, owner) {}

Form1::~Form1() = default;

void Form1::Show(FormWindow& owner) {
    if (!IsLoaded()) {
        m_window = m_platform.CreateForm(FormDesign{kHandsTitle, true}, &owner, *this);
        Form_Load(owner);
    }
    m_window->Show();
}

void Form1::Form_Load(FormWindow& owner) {
    MinuteRegion.reset();
    HoldTicks = 0;
    LastMinute = 0;
    m_gestures.Reset();

    m_window->StartTimer(kTickIntervalMs);
    m_window->Move(owner.Left(), owner.Top(), owner.Width(), owner.Height());
    if (m_state.ClockColour != kAutomaticColour) {
        m_window->SetBackColor(m_state.ClockColour);
    }
    m_window->SetHeight(m_window->Width());
    const HourMinute now = ReadHoursMinutes(HoursMinutesText(m_platform.Now()));
    ShowTime(now.hour, now.minute);
    m_platform.KeepOnTop(m_window->hWnd());
    m_state.HandsHwnd = m_window->hWnd();
}

void Form1::Unload() {
    if (!IsLoaded()) {
        return;
    }
    Form_Unload();
    m_window.reset();
    m_platform.Quit(0);
}

void Form1::Form_Unload() {
    MinuteRegion.reset();
    m_form3.Unload();
}

void Form1::ShowTime(int32_t hour, int32_t minute) {
    const auto hands = HandsFor(m_state, hour, minute);
    if (!hands) {
        return;
    }
    // The minute hand comes first: the hour hand's region takes it in.
    MinuteRegion = Region::MakePolygon(hands->minute);
    Region handsRegion = Region::MakePolygon(hands->hour);
    handsRegion.Unite(*MinuteRegion);
    m_window->SetWindowRgn(std::move(handsRegion));
}

void Form1::Timer1_Timer() {
    // The clock is read once a tick: two reads could fall either side of a second, and a tick
    // that came late could then chime for one second and show the minute of the next.
    const LocalTime now = m_platform.Now();
    if (!chimesMuted) {
        m_chimes.ChimeCheck(TimeText(now));
    }

    // The closing box is modal, but the clock goes on ticking beneath it. Once closing has
    // begun the count stands still: a release lost while the box is up would otherwise let the
    // 16-bit count run round to the closing count again, and a second closing under the first
    // would unload the windows it is still using.
    if (!m_closingStarted) {
        if (m_state.ExitHold) {
            ++HoldTicks;
            if (HoldTicks == kHoldTicksToQuit) {
                ClosingSequence();
                return;
            }
        } else {
            HoldTicks = 0;
        }
    }

    if (m_state.ClockColour == kAutomaticColour) {
        SampleDesktopColour(m_state, m_platform, *m_window, m_form2.Window());
    }

    m_platform.KeepOnTop(m_state.HandsHwnd);
    m_platform.KeepOnTop(m_state.MarkersHwnd);

    const HourMinute shown = ReadHoursMinutes(HoursMinutesText(now));
    if (shown.minute == LastMinute) {
        return;
    }
    LastMinute = shown.minute;
    ShowTime(shown.hour, shown.minute);
}

void Form1::ClosingSequence() {
    m_closingStarted = true;
    m_chimes.PlayClosingSound();
    // The box is the hands window's own, so that it stays above the clock while it is open.
    m_platform.MessageBox(*m_window, kClosingTitle, ClosingMessage());
    m_window->Hide();
    // Unloading the marker window unloads this one, and the program ends; nothing of this
    // window may be touched after it.
    m_form2.Unload();
}

void Form1::Form_MouseDown(int16_t button, float x, float y) {
    m_gestures.Form_MouseDown(button, x, y);
}

void Form1::Form_MouseMove(int16_t buttons, float x, float y) {
    m_gestures.Form_MouseMove(buttons, x, y);
}

void Form1::Form_MouseUp(int16_t button, float x, float y) {
    m_gestures.Form_MouseUp(button, x, y);
}

void Form1::Form_Click() {
    m_form3.Unload();
}

void Form1::Form_DblClick() {
    m_form3.Show(*m_window);
}

} // namespace reloj
