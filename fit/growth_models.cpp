// The models the analysis offers: a new model is its own file in models/
// and one line here.
#include "growth_model.h"

namespace gompertz::fit {

const GrowthModel& gompertzWithBaseline();
const GrowthModel& logisticModel();
const GrowthModel& richardsModel();

const std::vector<const GrowthModel*>& growthModels() {
    static const std::vector<const GrowthModel*> models = {
        &gompertzModel(),
        &gompertzWithBaseline(),
        &logisticModel(),
        &richardsModel(),
    };
    return models;
}

std::vector<Role> rolesOf(const GrowthModel& model) {
    std::vector<Role> roles;
    for (int j = 0; j < model.parameterCount(); ++j) {
        roles.push_back(model.parameter(j).role);
    }
    return roles;
}

} // namespace gompertz::fit
