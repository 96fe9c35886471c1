// The two-exponential evaluation must give exactly what the literal one
// gives: same bits, same point of failure, same state left behind.
#include "model/descent.h"
#include "model/errors.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

using namespace gompertz;

namespace {

struct Case {
    std::string name;
    std::vector<std::pair<double, double>> points;
    double a, c, t0, step;
    FixFlags fix;
};

FitState startState(const Case& test) {
    FitState s;
    for (std::size_t i = 0; i < test.points.size(); ++i) {
        s.dataX[i] = test.points[i].first;
        s.dataY[i] = test.points[i].second;
    }
    s.pointCount = static_cast<std::int16_t>(test.points.size());
    s.a = test.a;
    s.c = test.c;
    s.t0 = test.t0;
    s.sqError = 1e30; // a generous reference, so that the batch runs on
    s.prevSqError = s.sqError;
    return s;
}

struct Outcome {
    FitState state;
    BatchResult result;
    std::optional<std::string> error;
};

Outcome run(const Case& test, Evaluation evaluation) {
    Outcome out{startState(test), {}, std::nullopt};
    try {
        out.result = runBatch(out.state, test.fix, test.step, 10000, evaluation);
    } catch (const RuntimeError& error) {
        out.error = error.what();
    }
    return out;
}

std::uint64_t bits(double value) {
    return std::bit_cast<std::uint64_t>(value);
}

void expectSameBits(const FitState& fast, const FitState& literal) {
    const std::vector<std::pair<const char*, std::pair<double, double>>> fields = {
        {"a", {fast.a, literal.a}},
        {"c", {fast.c, literal.c}},
        {"t0", {fast.t0, literal.t0}},
        {"gradA", {fast.gradA, literal.gradA}},
        {"gradC", {fast.gradC, literal.gradC}},
        {"gradT0", {fast.gradT0, literal.gradT0}},
        {"sqError", {fast.sqError, literal.sqError}},
    };
    for (const auto& [name, values] : fields) {
        EXPECT_EQ(bits(values.first), bits(values.second)) << name;
    }
    EXPECT_EQ(fast.pointIndex, literal.pointIndex);
}

std::vector<std::pair<double, double>> twentyPoints() {
    std::vector<std::pair<double, double>> points;
    for (int i = 0; i < 20; ++i) {
        const double t = -2.0 + 0.75 * i;
        points.emplace_back(t, 4.2 * std::exp(-std::exp(-0.8 * (t - 1.3))) + 0.05 * ((i % 3) - 1));
    }
    return points;
}

} // namespace

TEST(BatchIdentity, FastAndLiteralEvaluationsAgreeBitForBit) {
    const std::vector<Case> cases = {
        {"twenty points", twentyPoints(), 5.0, 1.0, 0.0, 0.001, {}},
        {"a and t0 fixed", twentyPoints(), 4.0, 0.5, 1.0, 0.002, {1, 0, 2}},
        {"c fixed", {{0.0, 1.5}, {2.5, 4.0}, {5.0, 4.9}}, 6.0, 1.2, -0.5, 0.01, {0, 1, 0}},
        {"overflows mid-batch", {{-30.0, 0.0}, {0.5, 5.0}, {4.0, 6.0}}, 5.0, 1.0, 0.0, 1e200, {}},
        {"overflows at once", {{1.0, 2.0}, {-800.0, 1.0}}, 5.0, 1.0, 0.0, 0.001, {}},
        {"no points", {}, 5.0, 1.0, 0.0, 0.001, {}},
        // (-a) * c overflows: an error only while t0 is free to move.
        {"huge rate, t0 fixed", {{0.5, 4.0}}, 5.0, 1e308, 0.0, 0.0, {0, 0, 1}},
        {"huge rate, t0 free", {{0.5, 4.0}}, 5.0, 1e308, 0.0, 0.0, {}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        const Outcome fast = run(test, Evaluation::Fast);
        const Outcome literal = run(test, Evaluation::Literal);
        EXPECT_EQ(fast.error, literal.error);
        EXPECT_EQ(fast.result.stepsEvaluated, literal.result.stepsEvaluated);
        EXPECT_EQ(fast.result.stoppedOnGrowth, literal.result.stoppedOnGrowth);
        expectSameBits(fast.state, literal.state);
    }
}

TEST(BatchIdentity, AFixedParameterCannotRaiseAnError) {
    FitState fixed = startState({"", {{0.5, 4.0}}, 5.0, 1e308, 0.0, 0.0, {0, 0, 1}});
    EXPECT_NO_THROW(runBatch(fixed, FixFlags{0, 0, 1}, 0.0, 3));
    FitState free = startState({"", {{0.5, 4.0}}, 5.0, 1e308, 0.0, 0.0, {}});
    EXPECT_THROW(runBatch(free, FixFlags{}, 0.0, 3), OverflowError);
    EXPECT_EQ(free.gradT0, 0.0);              // raised in the derivative, before the sum
    EXPECT_EQ(free.gradA, 2.0 * (5.0 - 4.0)); // the sums before it are in
}

TEST(BatchIdentity, TheOverflowingCaseReallyOverflowsPartWayThrough) {
    const Case test{"", {{-30.0, 0.0}, {0.5, 5.0}, {4.0, 6.0}}, 5.0, 1.0, 0.0, 1e200, {}};
    FitState s = startState(test);
    int completed = 0;
    try {
        for (; completed < 10000; ++completed) {
            runBatch(s, test.fix, test.step, 1);
        }
    } catch (const OverflowError&) {
    }
    EXPECT_GT(completed, 0);
    EXPECT_LT(completed, 10000);
}
