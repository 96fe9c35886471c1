#pragma once

// The data sets and models as the R reference scripts name them.
#include "fit/growth_model.h"
#include "reference/models_reference.h"
#include "reference_data.h"

#include <map>
#include <string>
#include <vector>

namespace reference_sets {

using gompertz::fit::GrowthModel;
using gompertz::fit::Point;

// "gompertz", "gompertz_base", "logistic", "richards": the selector's order.
inline std::size_t indexNamed(const std::string& name) {
    static const std::map<std::string, std::size_t> index = {
        {"gompertz", 0}, {"gompertz_base", 1}, {"logistic", 2}, {"richards", 3}};
    return index.at(name);
}

inline const GrowthModel& modelNamed(const std::string& name) {
    return *gompertz::fit::growthModels().at(indexNamed(name));
}

// "dnase1", "rat42", "orange1" … "orange5".
inline std::vector<Point> setNamed(const std::string& name) {
    if (name == "dnase1") {
        return reference_data::dnase1();
    }
    if (name == "rat42") {
        return reference_data::rat42();
    }
    const auto tree = static_cast<std::size_t>(name.back() - '1');
    std::vector<Point> points;
    for (std::size_t i = 0; i < reference_models::kOrangeAge.size(); ++i) {
        points.push_back(
            {reference_models::kOrangeAge[i], reference_models::kOrangeCircumference[tree][i]});
    }
    return points;
}

} // namespace reference_sets
