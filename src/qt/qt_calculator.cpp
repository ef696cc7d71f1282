#include "qt/qt_calculator.h"

#include "core/colour.h"
#include "qt/qt_colour.h"
#include "qt/qt_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <algorithm>

namespace reloj {

namespace {

constexpr Colour kWhiteText = 0xFFFFFF;
constexpr Colour kLightCyan = 0xFFFF80;
constexpr Colour kLightYellow = 0x80FFFF;
constexpr Colour kLightPeach = 0xC0E0FF;

// A check box's box and tick, whatever the colour of its caption.
const QColor kCheckBoxGround(Qt::white);
const QColor kCheckBoxTick(Qt::black);

constexpr const char* kTitle = "Calcula La Edad De Quien Desees Con Esta Utilidad...";
constexpr const char* kPromptText = "Tu Fecha De Nacimiento dd/mm/aaaa";
constexpr const char* kHeadingText = "Tiempo Exacto Que Llevas Viviendo";
constexpr const char* kMuteText = "Quitar Sonidos De Las Horas";

// What a screen reader says of each part: plain words rather than the captions' capitals and
// the pattern "dd/mm/aaaa", which would be spelt out letter by letter.
constexpr const char* kPromptName = "Escribe tu fecha de nacimiento";
constexpr const char* kDateName = "Fecha de nacimiento";
constexpr const char* kDateDescription = "Día, mes y año, como 20/05/2000";
constexpr const char* kResultName = "Tiempo vivido";
constexpr const char* kHeadingName = "Tiempo exacto que llevas viviendo";
constexpr const char* kMuteName = "Quitar sonidos de las horas";

// Text in the given colour on the window's black ground. A check box's own box is drawn in
// the colours of an input field, which would be black on black: it keeps a light box with a
// dark tick, as users know check boxes, and only its caption takes the colour.
void Colourise(QWidget* widget, Colour foreground) {
    QPalette palette = widget->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(role, ToQColor(foreground));
    }
    for (auto role : {QPalette::Window, QPalette::Base, QPalette::Button}) {
        palette.setColor(role, Qt::black);
    }
    if (qobject_cast<QCheckBox*>(widget) != nullptr) {
        palette.setColor(QPalette::Base, kCheckBoxGround);
        palette.setColor(QPalette::Text, kCheckBoxTick);
    }
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

} // namespace

// The line as the window's own painting would draw it, pen and all, on a strip of the window
// just wide enough for it: the same pixels at every scale, odd widths included.
class DividingLine final : public QWidget {
  public:
    DividingLine(QWidget* window, QLine line, int width, QColor colour)
        : QWidget(window), m_line(line), m_width(width), m_colour(colour) {
        setGeometry(line.x1() - width, 0, 2 * width + 1, window->height());
        setFocusPolicy(Qt::NoFocus);
    }

  protected:
    void paintEvent(QPaintEvent* /*event*/) override {
        QPainter painter(this);
        painter.translate(-pos());
        painter.setPen(QPen(m_colour, m_width));
        painter.drawLine(m_line);
    }

  private:
    QLine m_line; // in the window's pixels
    int m_width;
    QColor m_colour;
};

CalculatorWidget::CalculatorWidget(QWidget* owner, const CalculatorLayout& layout,
                                   CalculatorEvents& events)
    : QWidget(owner), m_events(&events), m_layout(layout) {
    // An ordinary window with a single fixed border, opening centred on the screen.
    setWindowFlags(Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
    KeepAboveWithOwner(*this, owner);
    setFixedSize(m_layout.width, m_layout.height);
    setWindowTitle(QString::fromUtf8(kTitle));
    // Small letters, so that the captions fit the boxes they were laid out in.
    QFont letters = font();
    letters.setPixelSize(m_layout.letterPixels);
    setFont(letters);

    const auto place = [](const PixelRect& r) {
        return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
    };
    const auto label = [&](const char* text, const PixelRect& where, Colour colour,
                           const char* name) {
        auto* made = new QLabel(QString::fromUtf8(text), this);
        made->setAlignment(Qt::AlignCenter);
        made->setTextFormat(Qt::PlainText);
        made->setFocusPolicy(Qt::NoFocus);
        made->setAccessibleName(QString::fromUtf8(name));
        made->setGeometry(place(where));
        Colourise(made, colour);
        FitFont(made, made->text());
        return made;
    };

    m_line = new DividingLine(this,
                              QLine(m_layout.lineFrom.x, m_layout.lineFrom.y, m_layout.lineTo.x,
                                    m_layout.lineTo.y),
                              m_layout.lineWidth, ToQColor(kLightPeach));
    m_prompt = label(kPromptText, m_layout.prompt, kWhiteText, kPromptName);

    m_date = new QLineEdit(this);
    m_date->setAlignment(Qt::AlignCenter);
    m_date->setFrame(true);
    m_date->setAccessibleName(QString::fromUtf8(kDateName));
    m_date->setAccessibleDescription(QString::fromUtf8(kDateDescription));
    m_date->setGeometry(place(m_layout.date));
    Colourise(m_date, kLightCyan);
    m_prompt->setBuddy(m_date);

    m_result = label("", m_layout.result, kLightYellow, kResultName);
    m_heading = label(kHeadingText, m_layout.heading, kWhiteText, kHeadingName);

    m_mute = new QCheckBox(QString::fromUtf8(kMuteText), this);
    m_mute->setAccessibleName(QString::fromUtf8(kMuteName));
    m_mute->setGeometry(place(m_layout.mute));
    Colourise(m_mute, kWhiteText);
    FitFont(m_mute, m_mute->text());
    QObject::connect(m_mute, &QCheckBox::clicked, this, [this](bool checked) {
        if (m_events != nullptr) {
            m_events->OnMuteToggled(checked);
        }
    });

    QWidget::setTabOrder(m_date, m_mute);
    m_date->setFocus();

    m_timer = new SecondTimer(this, [this] {
        if (m_events != nullptr) {
            m_events->OnTick();
        }
    });
}

// The largest letters, up to the window's own, in which the text fits the part of the control
// that lies inside the window: the controls keep the sizes they were laid out with, whatever
// font the desktop offers, and a control that reaches past the window's edge still shows its
// whole text.
void CalculatorWidget::FitFont(QWidget* control, const QString& text) const {
    const int reserved =
        qobject_cast<QCheckBox*>(control) != nullptr ? m_layout.checkIndicatorPixels : 0;
    const int shownWidth = std::min(control->width(), width() - control->x());
    QFont letters = font();
    const int smallest = m_layout.smallestLetterPixels;
    for (int pixels = m_layout.letterPixels; pixels > smallest; --pixels) {
        letters.setPixelSize(pixels);
        const QFontMetrics metrics(letters);
        if (metrics.horizontalAdvance(text) + reserved <= shownWidth &&
            metrics.height() <= control->height() + 2) {
            break;
        }
    }
    control->setFont(letters);
}

// Set once a second with the same text most of the time: repainted only on a change.
void CalculatorWidget::SetResult(const QString& text) {
    if (m_result->text() != text) {
        FitFont(m_result, text);
        m_result->setText(text);
        m_result->setAccessibleDescription(text);
    }
}

QString CalculatorWidget::TypedDate() const {
    return m_date->text();
}

void CalculatorWidget::SetMuted(bool muted) {
    m_mute->setChecked(muted);
}

void CalculatorWidget::TickAt(int64_t epochSecond) {
    m_timer->TickAt(epochSecond);
}

void CalculatorWidget::Detach() {
    m_events = nullptr;
    m_timer->Stop();
}

void CalculatorWidget::closeEvent(QCloseEvent* event) {
    // The logic decides: it closes the window, which then goes away.
    event->ignore();
    if (m_events != nullptr) {
        m_events->OnCloseRequested();
    }
}

void CalculatorWidget::showEvent(QShowEvent* event) {
    if (m_centreWhenShown) {
        m_centreWhenShown = false;
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame = frameGeometry();
            frame.moveCenter(screen->geometry().center());
            move(frame.topLeft());
        }
    }
    QWidget::showEvent(event);
}

void CalculatorWidget::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    for (const QRect& part : event->region()) {
        painter.fillRect(part, Qt::black);
    }
}

QtCalculator::QtCalculator(QWidget* owner, const CalculatorLayout& layout,
                           CalculatorEvents& events)
    : m_widget(new CalculatorWidget(owner, layout, events)) {}

QtCalculator::~QtCalculator() {
    if (m_widget) {
        m_widget->Detach();
        m_widget->hide();
        m_widget->deleteLater();
    }
}

void QtCalculator::Show() {
    m_widget->show();
}
void QtCalculator::SetResult(const std::string& text) {
    m_widget->SetResult(QString::fromStdString(text));
}
std::string QtCalculator::TypedDate() const {
    return m_widget->TypedDate().toStdString();
}
void QtCalculator::SetMuted(bool muted) {
    m_widget->SetMuted(muted);
}
void QtCalculator::TickAt(int64_t epochSecond) {
    m_widget->TickAt(epochSecond);
}

} // namespace reloj
