#include "clock/hand_geometry.h"

#include "core/numeric.h"

#include <cmath>

namespace reloj {

namespace {

constexpr double kUp = 90.0; // 12 o'clock, in degrees from 3 o'clock
constexpr double kQuarterTurn = 90.0;
constexpr double kFullTurn = 360.0;
constexpr double kHalfTurn = 180.0;
constexpr double kMinutesPerHour = 60.0;
constexpr double kHoursPerTurn = 12.0;
constexpr double kTailFactor = 1.5; // the kite's tail reaches one and a half tail lengths
constexpr double kBarTailDivisor = 5.0;
constexpr double kHalf = 2.0;
constexpr int32_t kHubDivisor = 50;

double Radians(float degrees) {
    return degrees / kHalfTurn * kSinglePi;
}

int32_t Round(double value) {
    return RoundToInt32(value).value;
}

} // namespace

float MinuteAngle(int32_t minute) {
    return Single(kUp - minute / kMinutesPerHour * kFullTurn);
}

float HourAngle(int32_t hour, int32_t minute) {
    const float whole = Single(kUp - hour / kHoursPerTurn * kFullTurn);
    return Single(whole - minute / kMinutesPerHour * (kFullTurn / kHoursPerTurn));
}

PixelPoint HandsCentre(const ClockLayout& layout) {
    const PixelScale pixels = Pixels(layout);
    return {pixels.Device(IntDiv(layout.centreOffset, layout.twipsPerPixelX)),
            pixels.Device(IntDiv(layout.centreOffset, layout.twipsPerPixelY))};
}

// Each length is scaled before the centre is added: with a scale of 1 the sums are the very
// ones the hands have always been rounded from.
Quad KiteHand(float angle, float reach, float tailLength, PixelPoint centre, double scale) {
    const double cx = centre.x;
    const double cy = centre.y;
    Quad vertices;
    double rho = Radians(angle);
    vertices[0] = {Round(scale * (reach * std::cos(rho)) + cx),
                   Round(cy - scale * (reach * std::sin(rho)))};
    angle = Single(angle - kQuarterTurn);
    rho = Radians(angle);
    vertices[1] = {Round(scale * (tailLength * std::cos(rho)) + cx),
                   Round(cy - scale * (tailLength * std::sin(rho)))};
    angle = Single(angle - kQuarterTurn);
    rho = Radians(angle);
    vertices[2] = {Round(scale * (tailLength * std::cos(rho) * kTailFactor) + cx),
                   Round(cy - scale * (tailLength * std::sin(rho) * kTailFactor))};
    angle = Single(angle - kQuarterTurn);
    rho = Radians(angle);
    vertices[3] = {Round(scale * (tailLength * std::cos(rho)) + cx),
                   Round(cy - scale * (tailLength * std::sin(rho)))};
    return vertices;
}

Quad BarHand(float angle, float reach, float width, PixelPoint centre, double scale) {
    const double cx = centre.x;
    const double cy = centre.y;
    const double rho = Radians(angle);
    const int32_t tipX = Round(scale * (reach * std::cos(rho)) + cx);
    const int32_t tipY = Round(cy - scale * (reach * std::sin(rho)));
    const int32_t tailX = Round(cx - scale * (reach * std::cos(rho) / kBarTailDivisor));
    const int32_t tailY = Round(scale * (reach * std::sin(rho) / kBarTailDivisor) + cy);
    const double across = Radians(Single(angle - kQuarterTurn));
    const int32_t dx = Round(scale * (std::cos(across) * width / kHalf));
    const int32_t dy = Round(scale * (std::sin(across) * width / kHalf));
    return {{{tipX - dx, tipY + dy},
             {tipX + dx, tipY - dy},
             {tailX + dx, tailY - dy},
             {tailX - dx, tailY + dy}}};
}

int32_t HubRadius(const ClockLayout& layout) {
    return IntDiv(RoundToInt32(layout.radius).value, kHubDivisor);
}

Disc HubDisc(const ClockLayout& layout, Colour colour) {
    // The circle is drawn at the twips' exact place, on parts of a pixel if need be.
    const double radius = HubRadius(layout);
    const double centre = layout.centreOffset;
    return {.centreX = layout.scale * centre / layout.twipsPerPixelX,
            .centreY = layout.scale * centre / layout.twipsPerPixelY,
            .radiusX = layout.scale * radius / layout.twipsPerPixelX,
            .radiusY = layout.scale * radius / layout.twipsPerPixelY,
            .colour = colour};
}

std::optional<HandShapes> HandsFor(const ClockLayout& layout, int32_t hour, int32_t minute) {
    const PixelPoint centre = HandsCentre(layout);
    HandShapes shapes;
    const float minuteAngle = MinuteAngle(minute);
    const float hourAngle = HourAngle(hour, minute);
    switch (layout.handStyle) {
    case kKiteStyle:
        shapes.minute =
            KiteHand(minuteAngle, layout.handReach, layout.tailLength, centre, layout.scale);
        shapes.hour =
            KiteHand(hourAngle, layout.hourReach, layout.tailLength, centre, layout.scale);
        return shapes;
    case kBarStyle:
        shapes.minute =
            BarHand(minuteAngle, layout.handReach, layout.halfHandWidth, centre, layout.scale);
        shapes.hour = BarHand(hourAngle, layout.hourReach, layout.handWidth, centre, layout.scale);
        return shapes;
    default:
        return std::nullopt;
    }
}

} // namespace reloj
