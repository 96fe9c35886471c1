#pragma once

#include "comparison.h"
#include "least_squares.h"

#include <optional>
#include <string>
#include <vector>

namespace gompertz::fit {

// Whether two data sets (two conditions) follow the same curve of one
// model: extra sum of squares F tests of curves that share parameters
// against a curve for each set, and the differences of the parameters and
// read-outs (second minus first) with 95 % intervals, all under one
// residual variance pooled over both sets, as a stacked least-squares fit
// with an indicator of the set gives them.

// A fit of both sets at once with the given parameters shared (one value
// for both) and the others separate. Fixed parameters keep their value in
// `held` for both sets.
struct JointFit {
    bool converged = false;
    Parameters first{};
    Parameters second{};
    double sse = 0.0;
    int freeParameters = 0;
};
JointFit fitJointly(const GrowthModel& model, const std::vector<Point>& first,
                    const std::vector<Point>& second, const Fixed& fixed,
                    const std::array<bool, kMaxParameters>& shared, const Parameters& startFirst,
                    const Parameters& startSecond);

// A row of the comparison: a parameter or read-out's difference with its
// error and interval, and the test of that quantity being the same in both.
struct SetDifference {
    std::string label;
    bool parameter = true;
    double difference = 0.0;
    std::optional<double> standardError, lower, upper;
    // For a parameter: the F test of it shared, the others separate; for a
    // read-out: Wald's t test of its difference, as F = t^2 on 1 degree.
    std::optional<FTest> test;
};

struct SetComparison {
    // Ok, or why a set, or the common curve, could not be fitted.
    Status status = Status::Ok;
    std::string failure;
    Fit first, second;   // each set's own curve
    double sseCommon = 0.0, sseSeparate = 0.0;
    int dfCommon = 0, dfSeparate = 0;
    std::optional<FTest> common; // one curve for both against a curve for each
    std::vector<SetDifference> differences; // free parameters, then read-outs
    std::string sentence; // the answer in plain Spanish, naming the sets
};

SetComparison compareSets(LeastSquares& solver, const GrowthModel& model,
                          const std::vector<Point>& first, const std::vector<Point>& second,
                          const Fixed& fixed, const Parameters& held, const std::string& firstName,
                          const std::string& secondName);

} // namespace gompertz::fit
