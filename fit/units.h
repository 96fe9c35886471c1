#pragma once

#include "growth_model.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

// For the solvers of fit/ only: the single fits and the joint fit of two
// sets work in the same units.
namespace gompertz::fit {

// The units the solver works in: t = centre + half * u, y = height * v,
// so that u spans [-1, 1] and the largest |v| is 1. Then an amplitude or a
// level is height times its unit value, a rate is over half, a time is
// centre + half times its unit value, and a shape has no unit.
struct Scale {
    double centre = 0.0;
    double half = 1.0;
    double height = 1.0;
    double weightScale = 1.0; // weights in the fit's units average 1

    explicit Scale(const std::vector<Point>& points) {
        if (points.empty()) {
            return;
        }
        const auto [lo, hi] = std::minmax_element(
            points.begin(), points.end(), [](const Point& l, const Point& r) { return l.t < r.t; });
        // Halved before the difference, which may exceed the largest double.
        const double span = hi->t / 2 - lo->t / 2;
        half = span > 0.0 ? span : 1.0;
        centre = lo->t + half;
        double top = 0.0;
        for (const Point& point : points) {
            top = std::max(top, std::fabs(point.y));
        }
        height = top > 0.0 ? top : 1.0;
        double total = 0.0;
        for (const Point& point : points) {
            total += point.weight / static_cast<double>(points.size());
        }
        weightScale = total > 0.0 && std::isfinite(total) ? total : 1.0;
    }

    std::vector<Point> toUnit(const std::vector<Point>& points) const {
        std::vector<Point> out;
        out.reserve(points.size());
        for (const Point& point : points) {
            out.push_back({(point.t - centre) / half, point.y / height, point.weight / weightScale});
        }
        return out;
    }
    Parameters toUnit(const GrowthModel& model, const Parameters& p) const {
        Parameters out = p;
        for (std::size_t j = 0; j < static_cast<std::size_t>(model.parameterCount()); ++j) {
            switch (model.parameter(static_cast<int>(j)).role) {
            case Role::Amplitude:
            case Role::Level:
                out[j] = p[j] / height;
                break;
            case Role::Rate:
                out[j] = p[j] * half;
                break;
            case Role::Time:
                out[j] = (p[j] - centre) / half;
                break;
            case Role::Shape:
                break;
            }
        }
        return out;
    }
    Parameters fromUnit(const GrowthModel& model, const Parameters& q) const {
        Parameters out = q;
        for (std::size_t j = 0; j < static_cast<std::size_t>(model.parameterCount()); ++j) {
            switch (model.parameter(static_cast<int>(j)).role) {
            case Role::Amplitude:
            case Role::Level:
                out[j] = q[j] * height;
                break;
            case Role::Rate:
                out[j] = q[j] / half;
                break;
            case Role::Time:
                out[j] = centre + q[j] * half;
                break;
            case Role::Shape:
                break;
            }
        }
        return out;
    }
    // d(parameter) / d(its unit value): the covariance's scale.
    double factor(Role role) const {
        switch (role) {
        case Role::Amplitude:
        case Role::Level:
            return height;
        case Role::Rate:
            return 1.0 / half;
        case Role::Time:
            return half;
        case Role::Shape:
            break;
        }
        return 1.0;
    }
};

} // namespace gompertz::fit
