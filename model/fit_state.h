#pragma once

#include "errors.h"

#include <array>
#include <cstdint>

namespace gompertz {

constexpr std::int16_t kTrue = -1;
constexpr std::int16_t kFalse = 0;
constexpr int kMaxIndex = 20;

// Everything the window keeps between events.
struct FitState {
    std::int16_t pointIndex = 0; // the one loop index every loop over points uses
    std::int16_t busy = kTrue;
    std::int16_t tableMode = kTrue;
    double a = 5.0;
    double c = 1.0;
    double t0 = 0.0;
    double yTop = 10.0;
    std::array<double, kMaxIndex + 1> dataX{};
    std::array<double, kMaxIndex + 1> dataY{};
    std::int16_t pointCount = 0;
    double gradA = 0.0;
    double gradC = 0.0;
    double gradT0 = 0.0;
    double sqError = 0.0;
    double prevSqError = 0.0;
    double yMean = 0.0;
};

inline void checkIndex(int index) {
    if (index < 0 || index > kMaxIndex) {
        throw SubscriptError();
    }
}

inline double& xAt(FitState& s, int index) {
    checkIndex(index);
    return s.dataX[static_cast<std::size_t>(index)];
}

inline double& yAt(FitState& s, int index) {
    checkIndex(index);
    return s.dataY[static_cast<std::size_t>(index)];
}

// The Value of the three "Fijar parámetro" check boxes: 0 unticked, 1 ticked,
// 2 greyed. Anything but 0 holds the parameter fixed.
struct FixFlags {
    std::int16_t checkA = 0;
    std::int16_t checkC = 0;
    std::int16_t checkT0 = 0;
};

} // namespace gompertz
