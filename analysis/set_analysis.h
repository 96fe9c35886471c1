#pragma once

#include "data/data_sets.h"
#include "fit/least_squares.h"
#include "fit/replicates.h"
#include "fit/report.h"

#include <atomic>
#include <string>
#include <variant>
#include <vector>

namespace gompertz::analysis {

// What "Ajuste óptimo" does to a data set, with no window: the set as read,
// weighted as chosen, fitted, with its profile intervals and warnings. The
// analysis window and the command line both go through here.

// A set as its file gives it: the values (replicates share a t), or the
// means of a summary file.
struct SetValues {
    std::vector<fit::Point> values;
    std::vector<fit::MeanRow> means;
};
SetValues valuesOf(const data::SetFile& file);

// The points that are fitted and drawn: the values or the means, weighted
// as asked; or why the set cannot be so weighted, in Spanish.
std::variant<std::vector<fit::Point>, std::string> pointsOf(const SetValues& set,
                                                            fit::Weighting weighting);

// A fit with its profile intervals and warnings, when it reached its
// optimum (and `cancelled` is not set); as it is otherwise.
fit::Analysis withIntervals(fit::LeastSquares& solver, const fit::Fit& fit,
                            const std::vector<fit::Point>& points,
                            const std::atomic<bool>* cancelled = nullptr);

// The optimum with its intervals and warnings. Intervals and warnings only
// for a fit that reached its optimum, and not once `cancelled` is set.
fit::Analysis analyse(fit::LeastSquares& solver, const fit::GrowthModel& model,
                      const std::vector<fit::Point>& points, const fit::Fixed& fixed,
                      const fit::Parameters& start, fit::LeastSquares::Starts starts,
                      fit::Weighting weighting, const std::atomic<bool>* cancelled = nullptr);

} // namespace gompertz::analysis
