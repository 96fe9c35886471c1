#include "set_analysis.h"

#include "fit/profile.h"
#include "fit/warnings.h"

namespace gompertz::analysis {

SetValues valuesOf(const data::SetFile& file) {
    SetValues out;
    out.values.reserve(file.values.size());
    for (const data::Measurement& m : file.values) {
        out.values.push_back({m.t, m.value, 1.0});
    }
    out.means.reserve(file.means.size());
    for (const data::MeanRow& row : file.means) {
        out.means.push_back({row.t, row.mean, row.deviation, row.count});
    }
    return out;
}

std::variant<std::vector<fit::Point>, std::string> pointsOf(const SetValues& set,
                                                            fit::Weighting weighting) {
    return set.means.empty() ? fit::weightedValues(set.values, weighting)
                             : fit::weightedMeans(set.means, weighting);
}

fit::Analysis analyse(fit::LeastSquares& solver, const fit::GrowthModel& model,
                      const std::vector<fit::Point>& points, const fit::Fixed& fixed,
                      const fit::Parameters& start, fit::LeastSquares::Starts starts,
                      fit::Weighting weighting, const std::atomic<bool>* cancelled) {
    fit::Fit fit = solver.bestFit(model, points, fixed, start, starts);
    fit.weighting = weighting;
    return withIntervals(solver, fit, points, cancelled);
}

fit::Analysis withIntervals(fit::LeastSquares& solver, const fit::Fit& fit,
                            const std::vector<fit::Point>& points,
                            const std::atomic<bool>* cancelled) {
    fit::Analysis out;
    out.fit = fit;
    if (fit.status == fit::Status::Ok && (cancelled == nullptr || !*cancelled)) {
        out.intervals = fit::profileIntervals(solver, fit, points);
        out.warnings = fit::fitWarnings(fit, points, out.intervals);
    }
    return out;
}

} // namespace gompertz::analysis
