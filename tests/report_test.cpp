// The report texts, without a window: the summary, the clipboard's table and
// the CSV file, each naming the model, with the decimal comma or the point.
#include "fit/least_squares.h"
#include "fit/report.h"
#include "reference_data.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace gompertz::fit;

namespace {

const Fixed kAllFree = {false, false, false, false};

std::vector<std::string> linesOf(const std::string& text, const std::string& end) {
    std::vector<std::string> lines;
    std::size_t from = 0;
    for (std::size_t at = text.find(end); at != std::string::npos; at = text.find(end, from)) {
        lines.push_back(text.substr(from, at - from));
        from = at + end.size();
    }
    EXPECT_EQ(from, text.size()) << "every line ends with its line end";
    return lines;
}

Fit fitted(const GrowthModel& model, const std::vector<Point>& points) {
    LeastSquares solver;
    return solver.bestFit(model, points, kAllFree, model.fromGompertz({5, 1, 0, 0}));
}

} // namespace

TEST(Report, TheSummaryGivesTheSumsAndNamesTheModel) {
    const auto points = reference_data::dnase1();
    const Fit fit = fitted(gompertzModel(), points);
    // R: SSE 0.00936163766771, s = sqrt(SSE / 13) = 0.0268351630224.
    const auto lines = linesOf(summaryText({fit, {}, {}}, points) + "\n", "\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[0].rfind("n = 16, gl = 13, SSE = 0,00936164, s = 0,0268352, R² = 0,998", 0),
              0u)
        << lines[0];
    EXPECT_EQ(lines[1], "Modelo: Gompertz, f(t) = a·exp(−exp(−c·(t − t0)))");
    // DNase is measured in duplicate: R's lack-of-fit F is 15.5282, p 0.000611576.
    EXPECT_EQ(lines[2], "El modelo no se ajusta dentro de la dispersión de las réplicas: la curva "
                        "se aparta de las medias más de lo que varían las réplicas (falta de "
                        "ajuste frente al error puro: F(5, 8) = 15,53, p = 0,000612).");
}

TEST(Report, TheClipboardTableHasARowAParameterAndQuantity) {
    const auto points = reference_data::rat42();
    const GrowthModel& richards = *growthModels().at(3);
    const Fit fit = fitted(richards, points);
    ASSERT_EQ(fit.status, Status::Ok);
    const auto lines = linesOf(resultsText({fit, {}, {}}, points), "\n");
    EXPECT_EQ(lines[0], "\tValor\tError típico\tIC 95 % inferior\tIC 95 % superior");
    // Four parameters, three read-outs, a blank line, then the summary.
    EXPECT_EQ(lines[4].rfind("ν (forma)\t1,724109", 0), 0u) << lines[4];
    EXPECT_EQ(lines[5].rfind("Valor en la inflexión (a·(1 + ν)^(−1/ν))\t", 0), 0u) << lines[5];
    EXPECT_EQ(lines[8], "");
    EXPECT_EQ(lines[9], "n\t9");
    EXPECT_EQ(lines[10], "gl\t5");
    EXPECT_EQ(lines[11].rfind("SSE\t6,049098740", 0), 0u) << lines[11];
    EXPECT_EQ(lines[15], "modelo\tRichards");
}

TEST(Report, TheCsvFileIsCommaOrPointThroughout) {
    const auto points = reference_data::dnase1();
    const GrowthModel& logistic = *growthModels().at(2);
    const Fit fit = fitted(logistic, points);
    for (const bool decimalComma : {true, false}) {
        const char separator = decimalComma ? ';' : ',';
        const std::string text =
            csvText(logistic, Analysis{fit, {}, {}}, fit.parameters, fit.fixed, points, separator,
                    decimalComma);
        const auto lines = linesOf(text, "\r\n");
        const std::string sep(1, separator);
        EXPECT_EQ(lines[0], "t" + sep + "y" + sep + "ajustado" + sep + "residuo");
        // The first point: t = ln(0.04882812), y = 0.017, and the logistic
        // curve of R's SSlogis fit there.
        EXPECT_EQ(lines[1].rfind(decimalComma ? "-3,01944" : "-3.01944", 0), 0u) << lines[1];
        EXPECT_EQ(lines[17], "");
        EXPECT_EQ(lines[19].rfind(decimalComma ? "a;2,3451792" : "a,2.3451792", 0), 0u)
            << lines[19];
        EXPECT_EQ(lines[lines.size() - 2], "modelo" + sep + "Logístico");
        // A sentence that holds the separator is one quoted field.
        EXPECT_EQ(lines.back().rfind(decimalComma ? "El modelo no se ajusta"
                                                  : "\"El modelo no se ajusta",
                                     0),
                  0u)
            << lines.back();
        for (const std::string& line : lines) {
            if (!decimalComma) {
                EXPECT_EQ(line.find(';'), std::string::npos) << line;
            }
        }
    }
}

TEST(Report, AStartOrARunShortOfItsOptimumShowsNoErrors) {
    Estimate e;
    e.value = 2.5;
    e.standardError = 0.1;
    e.lower = 2.3;
    e.upper = 2.7;
    EXPECT_EQ(resultCells(e, false, 6), (std::vector<std::string>{"2,5", "", "", ""}));
    EXPECT_EQ(resultCells(e, true, 6), (std::vector<std::string>{"2,5", "0,1", "2,3", "2,7"}));
    Estimate held;
    held.value = 1;
    held.fixed = true;
    EXPECT_EQ(resultCells(held, true, 6), (std::vector<std::string>{"1", "fijo", "", ""}));
    Estimate unknown;
    unknown.value = 3;
    EXPECT_EQ(resultCells(unknown, true, 6), (std::vector<std::string>{"3", "—", "", ""}));

    Fit stalled;
    stalled.status = Status::NotConverged;
    stalled.parameters = {5, 1, 0, 0};
    stalled.points = 4;
    stalled.degreesOfFreedom = 1;
    stalled.iterations = 1000;
    stalled.sse = 2;
    const std::vector<Point> points = {{0, 1}, {1, 2}, {2, 3}, {3, 5}};
    const auto lines = linesOf(summaryText({stalled, {}, {}}, points) + "\n", "\n");
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[2], "No convergido tras 1000 iteraciones: no es el óptimo");
    const auto csv = linesOf(csvText(gompertzModel(), Analysis{stalled, {}, {}}, stalled.parameters,
                                     stalled.fixed, points, ';', true),
                             "\r\n");
    EXPECT_EQ(csv[7], "a;5;;;");
}

// Running text writes a negative number with the minus sign of the
// formulas; hyphens within words, exponents and table cells stay.
TEST(Report, NegativeNumbersInSentencesTakeTheMinusSign) {
    const struct {
        const char* text;
        const char* expected;
    } cases[] = {
        {"latencia = -0,538746", "latencia = −0,538746"},
        {"-3 al empezar", "−3 al empezar"},
        {"(IC 95 %: -1,2 a -0,5)", "(IC 95 %: −1,2 a −0,5)"},
        {"entre [-2; 3]", "entre [−2; 3]"},
        {"Levenberg-Marquardt", "Levenberg-Marquardt"},
        {"p = 1,2E-05", "p = 1,2E-05"},
        {"t0-1", "t0-1"},
        {"a - b", "a - b"},
        {"", ""},
        {"-", "-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(withMinusSigns(c.text), c.expected) << c.text;
    }
}

TEST(Report, ALabelWithinASentenceStartsInLowerCaseUnlessASymbol) {
    EXPECT_EQ(labelInSentence("Valor en la inflexión (a/e)"), "valor en la inflexión (a/e)");
    EXPECT_EQ(labelInSentence("Fase de latencia (t0 − 1/c)"), "fase de latencia (t0 − 1/c)");
    EXPECT_EQ(labelInSentence("a (asíntota)"), "a (asíntota)");
    EXPECT_EQ(labelInSentence("R²"), "R²");
    EXPECT_EQ(labelInSentence("t0"), "t0");
}

// The methods paragraph says how the values were weighted even when they
// were not, writes negative results with the minus sign, names read-outs in
// lower case mid-sentence and repeats the summary's warnings.
TEST(Report, TheMethodsTextStatesTheWeightingAndTheWarnings) {
    const auto points = reference_data::dnase1();
    const Fit fit = fitted(gompertzModel(), points);
    ASSERT_EQ(fit.status, Status::Ok);
    const std::string warning = "La curva no alcanza la meseta dentro de los datos.";
    const std::string text = methodsText({fit, {}, {warning}}, points, "Gompertz 1");
    EXPECT_NE(text.find("MINPACK), sin ponderar"), std::string::npos) << text;
    EXPECT_NE(text.find("; valor en la inflexión (a/e) = "), std::string::npos) << text;
    // DNase's lag, t0 - 1/c = 2,46044 - 1/0,333424 (R's nls).
    EXPECT_NE(text.find("fase de latencia (t0 − 1/c) = −0,538746"), std::string::npos) << text;
    EXPECT_EQ(text.find(" -0,"), std::string::npos) << text;
    EXPECT_NE(text.find(warning), std::string::npos) << text;
}
