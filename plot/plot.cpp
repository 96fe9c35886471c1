#include "plot.h"

#include "model/checked.h"
#include "model/gompertz.h"

#include <cmath>

namespace gompertz::plot {

int twipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

void Picture::clear() {
    dots.clear();
    drawWidth = 1;
}

void Picture::setPoint(double x, double y, Rgb colour) {
    dots.push_back(Dot{x, y, drawWidth, colour});
}

double timeToX(double t) {
    return checked(checked(t * 240.0) + kAxisX);
}

double valueToY(double v, double yTop) {
    return checked(checked(checked(yTop - v) * kGraphHeight) / yTop);
}

void drawCurve(FitState& s, Picture& picture, SampleTest test) {
    for (s.pointIndex = -40; s.pointIndex <= 120; ++s.pointIndex) {
        const double t = checked(s.pointIndex / 8.0);
        const double v = f(s, t);
        const bool drawn = test == SampleTest::AbsBelow10 ? std::fabs(v) < 10.0 : v < 30.0;
        if (drawn) {
            picture.setPoint(30 * s.pointIndex + kAxisX, valueToY(v, s.yTop), kRed);
        }
    }
}

void drawData(FitState& s, Picture& picture) {
    const int last = s.pointCount - 1;
    for (s.pointIndex = 0; s.pointIndex <= last; ++s.pointIndex) {
        const double x = timeToX(xAt(s, s.pointIndex));
        picture.setPoint(x, valueToY(yAt(s, s.pointIndex), s.yTop), kBlue);
    }
}

std::optional<PixelRect> pixelRect(const Dot& dot, int boxWidth, int boxHeight) {
    const double px = std::round(dot.x / kTwipsPerPixel);
    const double py = std::round(dot.y / kTwipsPerPixel);
    const int half = dot.width / 2;
    // Compared as doubles so that a dot millions of pixels away never reaches
    // an integer conversion.
    if (px + half < 0.0 || py + half < 0.0 || px - half >= boxWidth || py - half >= boxHeight) {
        return std::nullopt;
    }
    const int x = static_cast<int>(px);
    const int y = static_cast<int>(py);
    return PixelRect{x - half, y - half, dot.width};
}

} // namespace gompertz::plot
