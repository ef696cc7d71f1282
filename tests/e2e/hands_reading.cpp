// What the end-to-end tests of the hands read off a running clock: the pixels two hands cover,
// the hands' shape once it is cut, where to press and where to read the colour, the pixels of
// the shape that do not show the clock's colour, and how two pixel sets differ. The X server's
// view itself is x_harness.h's, and starting the clock running_clock.h's.
#include "hands_reading.h"

#include <QPoint>
#include <QPolygon>
#include <QRect>
#include <QRegion>
#include <cstdio>
#include <sstream>

namespace reloj::e2e {
namespace {

// In screen coordinates, the pixel of the hands nearest the window's centre (where the hands
// meet) or farthest from it.
Point Extreme(const RunningClock& clock, bool nearest) {
    const Rect place = clock.HandsPlace();
    const int cx = (place.right - place.left) / 2;
    const int cy = (place.bottom - place.top) / 2;
    const PixelSet shape = clock.HandsShape();
    Point best{-1, -1};
    int bestDistance = nearest ? 1 << 30 : -1;
    for (const auto& [x, y] : shape) {
        const int d = (x - cx) * (x - cx) + (y - cy) * (y - cy);
        if (nearest ? d < bestDistance : d > bestDistance) {
            bestDistance = d;
            best = {x, y};
        }
    }
    return {place.left + best.first, place.top + best.second};
}

// Away from the circle drawn at the centre: the place to read the hands' colour.
Point Tip(const RunningClock& clock) {
    return Extreme(clock, false);
}

// The colours of the 12 o'clock dot's centre and of a hand's tip, in a default-size clock.
std::pair<unsigned long, unsigned long> Colours(const RunningClock& clock) {
    const Rect place = clock.MarkersPlace();
    const Point tip = Tip(clock);
    return {clock.Server().Pixel(place.left + 39, place.top + 4),
            clock.Server().Pixel(tip.first, tip.second)};
}

} // namespace

std::string Hex(unsigned long rgb) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%06lX", rgb);
    return text;
}

PixelSet HandsPixels(const Quad& minute, const Quad& hour) {
    QRegion region;
    for (const Quad* hand : {&minute, &hour}) {
        QPolygon polygon;
        for (const auto& [x, y] : *hand) {
            polygon << QPoint(x, y);
        }
        region = region.united(QRegion(polygon, Qt::WindingFill));
    }
    std::vector<Rect> rects;
    for (const QRect& r : region) {
        rects.push_back({r.left(), r.top(), r.right() + 1, r.bottom() + 1});
    }
    return Pixels(rects);
}

PixelSet WholeWindow(const Rect& place) {
    return Pixels({{0, 0, place.right - place.left, place.bottom - place.top}});
}

std::string Difference(const PixelSet& shown, const PixelSet& expected) {
    std::ostringstream text;
    const auto list = [&text](const char* what, const PixelSet& a, const PixelSet& b) {
        int count = 0;
        text << what << ":";
        for (const Point& p : a) {
            if (b.count(p) == 0 && ++count <= 12) {
                text << " (" << p.first << "," << p.second << ")";
            }
        }
        text << (count > 12 ? " ..." : "") << " [" << count << "]\n";
    };
    list("shown but not expected", shown, expected);
    list("expected but not shown", expected, shown);
    return text.str();
}

ClockOptions Alone(const std::vector<std::string>& commandLine, const std::string& time,
                   std::optional<unsigned long> desktop) {
    return {.arguments = commandLine, .desktop = desktop, .startsAt = "2026-12-08 " + time};
}

PixelSet CutHandsShape(const RunningClock& clock) {
    const PixelSet whole = WholeWindow(clock.HandsPlace());
    PixelSet shape;
    PollUntil(
        [&] {
            shape = clock.HandsShape();
            return shape != whole;
        },
        3s);
    return shape;
}

Point Grip(const RunningClock& clock) {
    return Extreme(clock, true);
}

testing::AssertionResult ShowsColour(const RunningClock& clock, unsigned long rgb,
                                     std::chrono::milliseconds timeout) {
    std::pair<unsigned long, unsigned long> seen;
    if (PollUntil(
            [&] {
                seen = Colours(clock);
                return seen.first == rgb && seen.second == rgb;
            },
            timeout)) {
        return testing::AssertionSuccess();
    }
    return testing::AssertionFailure() << "expected " << Hex(rgb) << ", the dot shows "
                                       << Hex(seen.first) << " and the hand " << Hex(seen.second);
}

void Click(const XServer& server, unsigned button) {
    server.Button(button, true);
    server.Button(button, false);
}

std::vector<Point> Unpainted(const RunningClock& clock, unsigned long colour, int hub) {
    const Rect place = clock.HandsPlace();
    const PixelSet shape = clock.HandsShape();
    const ScreenArea screen = clock.Server().Capture(place);
    const int cx = (place.right - place.left) / 2;
    const int cy = (place.bottom - place.top) / 2;
    std::vector<Point> wrong;
    for (const auto& [x, y] : shape) {
        const bool inWindow =
            x >= 0 && y >= 0 && x < place.right - place.left && y < place.bottom - place.top;
        const bool atHub = (x - cx) * (x - cx) + (y - cy) * (y - cy) <= hub * hub;
        if (inWindow && !atHub &&
            (screen.pixels.empty() || screen.At(place.left + x, place.top + y) != colour)) {
            wrong.push_back({place.left + x, place.top + y});
        }
    }
    return wrong;
}

std::string Listed(const std::vector<Point>& points, unsigned long colour,
                   const ScreenArea& screen) {
    std::ostringstream text;
    text << points.size() << " pixels not " << Hex(colour) << ":";
    for (std::size_t i = 0; i < points.size() && i < 8; ++i) {
        const auto [x, y] = points[i];
        text << " (" << x << "," << y
             << ")=" << (screen.pixels.empty() ? std::string("?") : Hex(screen.At(x, y)));
    }
    return text.str();
}

PixelSet Visible(const std::vector<Rect>& shape, const Rect& place) {
    PixelSet visible;
    for (const auto& [x, y] : Pixels(shape)) {
        if (x >= 0 && y >= 0 && x < place.right - place.left && y < place.bottom - place.top) {
            visible.insert({x, y});
        }
    }
    return visible;
}

} // namespace reloj::e2e
