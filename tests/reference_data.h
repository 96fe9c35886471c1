#pragma once

// Published growth data sets with reference least-squares results: R's
// DNase, run 1 (t = ln(conc)), NIST's StRD Rat42, and R's Orange, tree 1
// (t = age in days, y = circumference in mm).
#include "fit/least_squares.h"

#include <cmath>
#include <vector>

namespace reference_data {

using gompertz::fit::Point;

inline std::vector<Point> dnase1() {
    const double conc[] = {0.04882812, 0.1953125, 0.390625, 0.78125, 1.5625, 3.125, 6.25, 12.5};
    const double density[] = {0.017, 0.018, 0.121, 0.124, 0.206, 0.215, 0.377, 0.374,
                              0.614, 0.609, 1.019, 1.001, 1.334, 1.364, 1.730, 1.710};
    std::vector<Point> points;
    for (int i = 0; i < 16; ++i) {
        points.push_back({std::log(conc[i / 2]), density[i]});
    }
    return points;
}

inline std::vector<Point> rat42() {
    return {{9, 8.93},   {14, 10.8},  {21, 18.59}, {28, 22.33}, {42, 39.35},
            {57, 56.11}, {63, 61.73}, {70, 64.62}, {79, 67.08}};
}

inline std::vector<Point> orange1() {
    return {{118, 30}, {484, 58}, {664, 87}, {1004, 115}, {1231, 120}, {1372, 142}, {1582, 145}};
}

} // namespace reference_data
