#pragma once

#include "model/fit_state.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace gompertz::plot {

struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The colours of the 16-colour palette that the window uses.
constexpr Rgb kBlue{0, 0, 128};
constexpr Rgb kRed{128, 0, 0};
constexpr Rgb kMagenta{128, 0, 128};
constexpr Rgb kLightGrey{192, 192, 192};
constexpr Rgb kLightGreen{0, 255, 0};
constexpr Rgb kWhite{255, 255, 255};

// The graph's own coordinates: twips, origin top left, y downwards.
constexpr double kTwipsPerPixel = 15.0;
constexpr double kGraphWidth = 4800.0;
constexpr double kGraphHeight = 4000.0;
constexpr double kAxisX = 1200.0; // t = 0

int twipsToPixels(double twips);

// A dot of the given width in pixels, centred on (x, y) in twips.
struct Dot {
    double x = 0.0;
    double y = 0.0;
    int width = 1;
    Rgb colour;
};

// What the graph shows: the dots set since it was last cleared, replayed
// whenever the box repaints.
struct Picture {
    std::vector<Dot> dots;
    int drawWidth = 1;

    void clear();
    void setPoint(double x, double y, Rgb colour);
};

// Horizontal position of time t: t * 240 + 1200.
double timeToX(double t);
// Vertical position of value v: (yTop - v) * 4000 / yTop.
double valueToY(double v, double yTop);

// Which curve samples are drawn: |v| < 10 when the read-outs are refreshed
// too, v < 30 after descent steps.
enum class SampleTest { AbsBelow10, Below30 };

// The 161 samples t = -5 .. 15 in steps of 1/8, in red, width 1.
void drawCurve(FitState& s, Picture& picture, SampleTest test);
// The captured points in blue, width 4, without a range test.
void drawData(FitState& s, Picture& picture);

// A dot's square in pixels of a box of the given size, or nothing when no
// part of it falls inside: far-off dots are never handed to the painter.
struct PixelRect {
    int left = 0;
    int top = 0;
    int size = 1;
};
std::optional<PixelRect> pixelRect(const Dot& dot, int boxWidth, int boxHeight);

} // namespace gompertz::plot
