#include "examples.h"

#include "model/errors.h"
#include "model/number_text.h"

#include <cmath>

namespace gompertz::data {
namespace {

std::vector<std::pair<double, double>> dnaseRun1() {
    const double conc[] = {0.04882812, 0.1953125, 0.390625, 0.78125, 1.5625, 3.125, 6.25, 12.5};
    const double density[] = {0.017, 0.018, 0.121, 0.124, 0.206, 0.215, 0.377, 0.374,
                              0.614, 0.609, 1.019, 1.001, 1.334, 1.364, 1.730, 1.710};
    std::vector<std::pair<double, double>> rows;
    for (int i = 0; i < 16; ++i) {
        rows.emplace_back(std::log(conc[i / 2]), density[i]);
    }
    return rows;
}

bool holdsNumber(const CellTable& table, Column column, int row) {
    try {
        parseNumber(table.text(column, row));
        return true;
    } catch (const RuntimeError&) {
        return false;
    }
}

} // namespace

// Each from R's datasets package (R Core Team, R: A Language and Environment
// for Statistical Computing), as print(DNase[DNase$Run == 1, ]),
// print(Orange[Orange$Tree == 1, ]) and print(ChickWeight[ChickWeight$Chick
// == 1, ]) give them. Each shows one thing: the duplicates that the table
// holds as rows of the same t, a curve that bends to its plateau, and data
// that stop before it, which the default Gompertz fit refuses with its
// advice.
const std::vector<Example>& examples() {
    static const std::vector<Example> list = {
        {"DNasa, ensayo 1: densidad óptica frente a ln(concentración) (con réplicas: dos "
         "medidas en cada concentración)",
         "R, conjunto DNase (ensayo 1); Davidian y Giltinan (1995), Nonlinear Models for "
         "Repeated Measurement Data, Chapman & Hall",
         dnaseRun1(), "DNasa, ensayo 1", "ln(concentración de DNasa)", "Densidad óptica"},
        {"Naranjo 1: circunferencia del tronco (mm) frente a edad (días) (con meseta)",
         "R, conjunto Orange (árbol 1); Draper y Smith (1998), Applied Regression Analysis, "
         "Wiley",
         {{118, 30}, {484, 58}, {664, 87}, {1004, 115}, {1231, 120}, {1372, 142}, {1582, 145}},
         "Naranjo 1", "Edad (días)", "Circunferencia del tronco (mm)"},
        {"Pollito 1: peso (g) frente a días de vida (sin meseta: ejemplo de datos que paran "
         "antes)",
         "R, conjunto ChickWeight (pollito 1); Crowder y Hand (1990), Analysis of Repeated "
         "Measures, Chapman & Hall",
         {{0, 42}, {2, 51}, {4, 59}, {6, 64}, {8, 76}, {10, 93}, {12, 106}, {14, 125}, {16, 149},
          {18, 171}, {20, 199}, {21, 205}},
         "Pollito 1", "Días de vida", "Peso (g)"},
    };
    return list;
}

void loadExample(CellTable& table, const Example& example) {
    for (int i = 0; i < kRows; ++i) {
        const bool loaded = i < static_cast<int>(example.rows.size());
        const auto& row = loaded ? example.rows[static_cast<std::size_t>(i)]
                                 : std::pair<double, double>{};
        table.setText(Column::X, i, loaded ? formatNumber(row.first) : std::string());
        table.setText(Column::Y, i, loaded ? formatNumber(row.second) : std::string());
    }
}

std::vector<int> rowsLeftOut(const CellTable& table, int captured) {
    std::vector<int> out;
    for (int i = captured + 1; i < kRows; ++i) {
        if (holdsNumber(table, Column::X, i) || holdsNumber(table, Column::Y, i)) {
            out.push_back(i);
        }
    }
    return out;
}

} // namespace gompertz::data
