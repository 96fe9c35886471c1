// Profile bounds against the exact profile roots, worked out apart from the
// program's solver (exact_profile.h), on simulated sets that stop soon after
// the inflection, where the held refits meet the zero curve and the step
// curves: every bound the exact root to 1e-6, or both sides open.
#include "exact_profile.h"
#include "fit/least_squares.h"
#include "fit/prediction.h"
#include "fit/profile.h"
#include "fit/statistics.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

using namespace gompertz::fit;

namespace {

struct Tally {
    int sides = 0;
    int wrong = 0;
    int shortOf = 0;
};

// One side against the exact one: the root to 1e-6 of the larger of the
// value and the distance to the estimate, or both open; where the exact
// profile runs past range before its root, open or a bound beyond the last
// value shown inside.
bool agrees(const ProfileSide& side, const exact_profile::Profile::Side& exact, double estimate) {
    if (!exact.settled) {
        return !side.bound ||
               std::fabs(*side.bound - estimate) >= std::fabs(exact.verified - estimate) * (1 - 1e-9);
    }
    if (!exact.root || !side.bound) {
        return !exact.root && !side.bound;
    }
    const double scale = std::max(std::fabs(*exact.root), std::fabs(*exact.root - estimate));
    return std::fabs(*side.bound - *exact.root) <= 1e-6 * scale;
}

int setsFromEnvironment(int fallback) {
    const char* value = std::getenv("PROFILE_EXACT_SETS");
    return value != nullptr ? std::atoi(value) : fallback;
}

// The program's intervals of every row of every model's fit to `points`,
// and of the time to reach `level`, checked side by side.
void check(LeastSquares& solver, const GrowthModel& model, const std::vector<Point>& points,
           double level, Tally& tally, const std::string& name) {
    const Fit fit = solver.bestFit(model, points, {}, model.fromGompertz({5, 1, 0, 0}));
    if (fit.status != Status::Ok) {
        return;
    }
    const double q = studentQuantile975(fit.degreesOfFreedom);
    const double excess = q * q * fit.sse / fit.degreesOfFreedom;
    const auto rows = estimates(fit);
    const auto intervals = profileIntervals(solver, fit, points);
    struct Row {
        int row;
        double estimate;
        double step;
        std::optional<ProfileInterval> interval;
    };
    std::vector<Row> checked;
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const Estimate& e = rows[static_cast<std::size_t>(r)].estimate;
        if (!e.standardError || !intervals[static_cast<std::size_t>(r)]) {
            continue;
        }
        checked.push_back({r, e.value, *e.standardError, intervals[static_cast<std::size_t>(r)]});
    }
    const TimeAt time = timeAt(solver, fit, points, level);
    if (time.t && time.standardError && time.interval) {
        checked.push_back({-1, *time.t, *time.standardError, time.interval});
    }
    for (const Row& row : checked) {
        const exact_profile::Profile exact(model, points, {row.row, level}, fit.parameters);
        const std::pair<double, const ProfileSide*> sides[] = {{-1.0, &row.interval->lower},
                                                               {+1.0, &row.interval->upper}};
        for (const auto& [direction, side] : sides) {
            const auto bound = exact.bound(row.estimate, row.step, direction, fit.sse, excess);
            ++tally.sides;
            if (!agrees(*side, bound, row.estimate)) {
                ++tally.wrong;
                const double reach = bound.root ? *bound.root : bound.verified;
                const bool isShort = side->bound && (!bound.root || std::fabs(*side->bound - row.estimate) <
                                                                        std::fabs(reach - row.estimate));
                tally.shortOf += isShort;
                ADD_FAILURE() << name << " " << model.name() << " row " << row.row
                              << (direction < 0 ? " lower " : " upper ") << "program "
                              << (side->bound ? std::to_string(*side->bound) : "open") << " exact "
                              << (bound.root ? std::to_string(*bound.root)
                                  : bound.settled ? "open"
                                                  : "past " + std::to_string(bound.verified))
                              << " estimate "
                              << row.estimate;
            }
        }
    }
}

} // namespace

// Ten points over t = 0 ... 6 of a = 100, c = 0.5, t0 = 5 with noise of
// deviation 5: the data stop one unit past the inflection. The sets checked
// are those of the first 34 where a refit went wrong: the curve that is zero
// over the data (0), a held refit that stopped short of its optimum or ran
// off (1, 8), a largest rate held in the wrong one of two basins (2, 9), a
// point taken to be outside from one poor refit (11), a steeper curve rising
// between two points (33). PROFILE_EXACT_SETS=n checks the first n instead.
TEST(ProfileExact, BoundsAreTheExactRootsWhereTheDataStopAfterTheInflection) {
    exact_profile::Normal noise(20261209u);
    LeastSquares solver;
    std::vector<int> chosen = {0, 1, 2, 8, 9, 11, 33};
    if (const int sets = setsFromEnvironment(0); sets > 0) {
        chosen.clear();
        for (int set = 0; set < sets; ++set) {
            chosen.push_back(set);
        }
    }
    Tally tally;
    for (int set = 0; set <= chosen.back(); ++set) {
        const auto points = exact_profile::gompertzData(noise, 10, 6.0, 100, 0.5, 5, 5);
        if (std::find(chosen.begin(), chosen.end(), set) == chosen.end()) {
            continue;
        }
        for (const GrowthModel* model : growthModels()) {
            if (model->parameterCount() > 3) {
                continue; // four parameters on ten points: left to the R sets
            }
            check(solver, *model, points, 30.0, tally, "set " + std::to_string(set));
        }
    }
    std::printf("%d sides, %d not the exact root (%d short of it)\n", tally.sides, tally.wrong,
                tally.shortOf);
    // Every row of both models on every set, the time to reach 30 among them.
    EXPECT_GE(tally.sides, static_cast<int>(chosen.size()) * 2 * 7 * 2 * 9 / 10);
}
