// gompertz-lote: the analysis of data-set files without a window, for a
// folder of them or a cluster's job array.
#include "analysis/batch.h"
#include "data/data_file.h"

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace gompertz;

const char* const kHelp =
    "Uso: gompertz-lote [opciones] ARCHIVO|CARPETA...\n"
    "\n"
    "Ajusta cada archivo de datos (los que lee «Añadir datos…»: t y réplicas, forma\n"
    "larga, o t;media;DE;n) como «Ajuste óptimo», con los intervalos perfilados del\n"
    "95 %, y escribe una fila por archivo (o por modelo con --comparar-modelos) con el\n"
    "estado, cada estimación con su error típico y sus límites («sin límite» donde\n"
    "los datos no acotan), las magnitudes leídas en la curva, SSE, s, R², n y los\n"
    "avisos. De una carpeta toma sus archivos .csv, .tsv, .txt y .dat, por nombre.\n"
    "\n"
    "Opciones:\n"
    "  --modelo NOMBRE       gompertz (por omisión), gompertz-base, logistico o richards\n"
    "  --ponderacion P       ninguna (por omisión), 1/y2 o 1/DE2\n"
    "  --fijar P=V           fija el parámetro P (a, c, t0, y0, nu) en V; se repite\n"
    "  --comparar-modelos    ajusta los cuatro modelos, con AICc y pesos de Akaike\n"
    "  --salida ARCHIVO      escribe la tabla en ARCHIVO (por omisión, la salida estándar)\n"
    "  --formato F           csv (coma y punto decimal, por omisión), csv-es (punto y coma\n"
    "                        y coma decimal) o json\n"
    "  --hilos N             archivos a la vez (por omisión, todos los núcleos)\n"
    "  --ayuda, --help       esta ayuda\n"
    "\n"
    "Un archivo que no se puede leer se nombra en la salida de errores con su motivo;\n"
    "los demás se ajustan igual. El estado de salida es 1 si algún archivo falló.\n";

int refuse(const std::string& message) {
    std::cerr << "gompertz-lote: " << message << "\n"
              << "Pruebe «gompertz-lote --ayuda».\n";
    return 2;
}

} // namespace

int main(int argc, char* argv[]) {
    analysis::BatchOptions options;
    analysis::OutputFormat format = analysis::OutputFormat::Csv;
    std::string output;
    std::vector<std::string> held, named;
    unsigned threads = std::max(1u, std::thread::hardware_concurrency());
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const auto value = [&]() -> std::optional<std::string> {
            if (i + 1 >= argc) {
                return std::nullopt;
            }
            return std::string(argv[++i]);
        };
        if (arg == "--ayuda" || arg == "--help" || arg == "-h") {
            std::cout << kHelp;
            return 0;
        }
        if (arg == "--comparar-modelos") {
            options.compareModels = true;
        } else if (arg == "--modelo" || arg == "--ponderacion" || arg == "--fijar" ||
                   arg == "--salida" || arg == "--formato" || arg == "--hilos") {
            const auto v = value();
            if (!v) {
                return refuse("falta el valor de " + arg + ".");
            }
            if (arg == "--modelo") {
                options.model = analysis::modelNamed(*v);
                if (options.model == nullptr) {
                    return refuse("no hay un modelo «" + *v +
                                  "»: use gompertz, gompertz-base, logistico o richards.");
                }
            } else if (arg == "--ponderacion") {
                if (*v == "ninguna" || *v == "sin") {
                    options.weighting = fit::Weighting::None;
                } else if (*v == "1/y2" || *v == "1/y²") {
                    options.weighting = fit::Weighting::RelativeValue;
                } else if (*v == "1/DE2" || *v == "1/DE²" || *v == "1/de2") {
                    options.weighting = fit::Weighting::Deviation;
                } else {
                    return refuse("no hay una ponderación «" + *v + "»: use ninguna, 1/y2 o 1/DE2.");
                }
            } else if (arg == "--fijar") {
                held.push_back(*v);
            } else if (arg == "--salida") {
                output = *v;
            } else if (arg == "--formato") {
                if (*v == "csv") {
                    format = analysis::OutputFormat::Csv;
                } else if (*v == "csv-es") {
                    format = analysis::OutputFormat::CsvSpanish;
                } else if (*v == "json") {
                    format = analysis::OutputFormat::Json;
                } else {
                    return refuse("no hay un formato «" + *v + "»: use csv, csv-es o json.");
                }
            } else {
                try {
                    const int n = std::stoi(*v);
                    if (n < 1 || n > 256) {
                        throw std::out_of_range(*v);
                    }
                    threads = static_cast<unsigned>(n);
                } catch (const std::exception&) {
                    return refuse("--hilos pide un número de 1 a 256, no «" + *v + "».");
                }
            }
        } else if (arg.rfind("--", 0) == 0) {
            return refuse("no hay una opción " + arg + ".");
        } else {
            named.push_back(arg);
        }
    }
    for (const std::string& text : held) { // after --modelo, wherever it came
        if (const auto problem = analysis::holdParameter(options, text)) {
            return refuse(*problem);
        }
    }
    if (named.empty()) {
        return refuse("no se ha dado ningún archivo.");
    }
    const std::vector<analysis::FileResult> results =
        analysis::analyseFiles(analysis::dataFilesIn(named), options, threads);
    int status = 0;
    for (const analysis::FileResult& result : results) {
        if (result.failure) {
            std::cerr << "gompertz-lote: " << *result.failure << "\n";
            status = 1;
        }
    }
    const std::string text = analysis::batchText(results, format, options.compareModels);
    if (output.empty()) {
        std::cout << text;
    } else if (const auto problem = data::writeWhole(output, text, "escribir")) {
        std::cerr << "gompertz-lote: " << *problem << "\n";
        return 1;
    }
    return status;
}
