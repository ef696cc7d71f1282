// A window of the forms runtime on Qt: a QWidget that keeps its position and size in twips,
// paints its back colour and the circles drawn on it, takes a Region as its X11 shape, and
// passes mouse events to the logic that drives it. It decides nothing about the clock.
#pragma once

#include "platform/platform.h"

#include <QColor>
#include <QWidget>
#include <optional>
#include <vector>

namespace reloj {

class QtFormWindow final : public QWidget, public FormWindow {
  public:
    QtFormWindow(const FormDesign& design, QWidget* owner, FormEvents& events,
                 int32_t twipsPerPixelX, int32_t twipsPerPixelY);

    float Left() const override;
    float Top() const override;
    float Width() const override;
    float Height() const override;
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

    WindowHandle hWnd() const override;
    void Show() override;
    void Hide() override;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

  private:
    struct DrawnCircle {
        int32_t centreX, centreY, radius; // twips
        Colour outline, fill;
    };

    // A coordinate in twips as the window system holds it: the twips last set, as long as
    // the window still stands on the pixel they give, otherwise the pixel itself.
    float Twips(const std::optional<float>& set, int pixels, int32_t twipsPerPixel) const;
    float TwipsX(double pixels) const;
    float TwipsY(double pixels) const;
    int PixelsX(float twips) const;
    int PixelsY(float twips) const;

    FormEvents& m_events;
    int32_t m_twipsPerPixelX;
    int32_t m_twipsPerPixelY;
    std::optional<float> m_left, m_top, m_width, m_height;
    QColor m_back;
    Colour m_fill = kBlack;
    std::vector<DrawnCircle> m_circles;
    std::optional<Region> m_region;
};

} // namespace reloj
