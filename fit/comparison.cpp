#include "comparison.h"

#include "model/number_text.h"

#include <gsl/gsl_cdf.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>
#include <numbers>

namespace gompertz::fit {
namespace {

// Models within this much AICc of the best are not told apart by the data.
constexpr double kIndistinct = 2.0;

std::string capitalised(std::string text) {
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    }
    return text;
}

std::string strength(double weight) {
    return weight >= 0.9   ? "evidencia fuerte"
           : weight >= 0.7 ? "evidencia moderada"
                           : "evidencia débil";
}

std::string verdictOf(const std::vector<ModelScore>& scores) {
    const ModelScore* best = nullptr;
    for (const ModelScore& s : scores) {
        if (s.deltaAicc && *s.deltaAicc == 0.0) {
            best = &s;
        }
    }
    if (best == nullptr) {
        return "Ningún modelo se ajusta a estos datos: ninguno alcanza su óptimo.";
    }
    std::vector<const ModelScore*> close;
    for (const ModelScore& s : scores) {
        if (&s != best && s.deltaAicc && *s.deltaAicc < kIndistinct) {
            close.push_back(&s);
        }
    }
    if (close.empty()) {
        return capitalised(best->fit.model->inSentence()) +
               " es el preferido (peso de Akaike " + formatNumber(*best->weight, 2) + "): " +
               strength(*best->weight) + " frente a los demás.";
    }
    std::string names = best->fit.model->inSentence();
    for (std::size_t i = 0; i < close.size(); ++i) {
        names += (i + 1 == close.size() ? " y " : ", ") + std::string(close[i]->fit.model->inSentence());
    }
    return "Los datos no distinguen entre " + names +
           " (ΔAICc menor que 2): describen los datos igual de bien; " + best->fit.model->inSentence() +
           " tiene el mayor peso de Akaike (" + formatNumber(*best->weight, 2) + ").";
}

} // namespace

LeastSquares::Starts startsFor(const GrowthModel& model) {
    return &model == &gompertzModel() ? LeastSquares::Starts::AutomaticAndCurrent
                                      : LeastSquares::Starts::Automatic;
}

double akaike(int points, double sse, int k) {
    const double n = points;
    return n * std::log(2 * std::numbers::pi) + n * std::log(sse / n) + n + 2.0 * k;
}

std::optional<double> akaikeCorrected(int points, double sse, int k) {
    if (points - k - 1 < 1) {
        return std::nullopt;
    }
    return akaike(points, sse, k) + 2.0 * k * (k + 1) / (points - k - 1);
}

std::optional<FTest> extraSumOfSquares(const Fit& smaller, const Fit& larger) {
    const int df1 = smaller.degreesOfFreedom - larger.degreesOfFreedom;
    const int df2 = larger.degreesOfFreedom;
    if (df1 < 1 || df2 < 1 || !(larger.sse > 0.0)) {
        return std::nullopt;
    }
    const double f = std::max(0.0, (smaller.sse - larger.sse) / df1 / (larger.sse / df2));
    return FTest{f, gsl_cdf_fdist_Q(f, df1, df2)};
}

Comparison compareModels(LeastSquares& solver, const std::vector<Point>& points,
                         const Fixed& fixed, const Parameters& windowGompertz) {
    Comparison out;
    for (const GrowthModel* model : growthModels()) {
        ModelScore score;
        score.fit = solver.bestFit(*model, points, fixed, model->fromGompertz(windowGompertz),
                                   startsFor(*model));
        score.k = score.fit.freeParameters + 1;
        if (score.fit.status == Status::Ok && score.fit.sse > 0.0) {
            score.aic = akaike(score.fit.points, score.fit.sse, score.k);
            score.aicc = akaikeCorrected(score.fit.points, score.fit.sse, score.k);
        }
        out.scores.push_back(std::move(score));
    }
    double best = std::numeric_limits<double>::infinity();
    for (const ModelScore& s : out.scores) {
        best = s.aicc ? std::min(best, *s.aicc) : best;
    }
    double total = 0.0;
    for (ModelScore& s : out.scores) {
        if (s.aicc) {
            s.deltaAicc = *s.aicc - best;
            total += std::exp(-*s.deltaAicc / 2);
        }
    }
    const Fit& gompertz = out.scores.front().fit;
    for (ModelScore& s : out.scores) {
        if (s.deltaAicc) {
            s.weight = std::exp(-*s.deltaAicc / 2) / total;
        }
        if (s.fit.model->containsGompertz() && s.fit.status == Status::Ok &&
            gompertz.status == Status::Ok) {
            s.againstGompertz = extraSumOfSquares(gompertz, s.fit);
        }
    }
    out.verdict = verdictOf(out.scores);
    return out;
}

std::string statusInWords(Status status) {
    switch (status) {
    case Status::Ok:
        return "";
    case Status::NoData:
        return "sin datos";
    case Status::TooFewPoints:
        return "pocos puntos para sus parámetros";
    case Status::NotConverged:
        return "no converge";
    case Status::NoPlateau:
        return "sin meseta: la asíntota crece sin límite";
    case Status::NoGrowth:
        return "no sigue los datos (peor que la media)";
    case Status::NoFiniteOptimum:
        return "sin óptimo finito";
    case Status::OutOfRange:
        return "valores fuera del rango del ordenador";
    }
    return "";
}

} // namespace gompertz::fit
