// Columns of numbers from spreadsheets and instruments: separators, decimal
// marks, headers, line ends, and what is refused.
#include "data/columns.h"
#include "data/data_file.h"

#include <QString>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>

using namespace gompertz::data;

namespace {

class Table : public CellTable {
  public:
    std::array<std::string, kRows> x, y;
    std::string text(Column c, int row) const override {
        return c == Column::X ? x.at(row) : y.at(row);
    }
    void setText(Column c, int row, const std::string& t) override {
        (c == Column::X ? x.at(row) : y.at(row)) = t;
    }
    void setBackground(Column, int, CellColour) override {}
};

ColumnRows rowsOf(std::string_view text, ColumnSource source = ColumnSource::File) {
    const auto parsed = parseColumns(text, source);
    if (const auto* problem = std::get_if<std::string>(&parsed)) {
        ADD_FAILURE() << text << ": " << *problem;
        return {};
    }
    return std::get<ColumnRows>(parsed);
}

std::string problemOf(std::string_view text, ColumnSource source = ColumnSource::File) {
    const auto parsed = parseColumns(text, source);
    return std::holds_alternative<std::string>(parsed) ? std::get<std::string>(parsed) : "";
}

} // namespace

TEST(Columns, ReadEverySeparatorAndDecimalMark) {
    const ColumnRows expected = {{1.5, 2.25}, {3, 4000.5}};
    for (const char* text : {
             "1,5;2,25\n3;4.000,5\n",        // ";" and the decimal comma, point grouping
             "1.5;2.25\r\n3;4000.5\r\n",     // ";" and the decimal point, CR LF
             "1,5\t2,25\n3\t4.000,5",        // tab, no final line end
             "1.5\t2.25\n\n3\t4000.5\n\n",   // tab, empty lines
             "1.5,2.25\n3,4000.5\n",         // "," separates: always the point
             "1.5, 2.25\n3, 4000.5\n",       // "," and a blank
             "1,5 2,25\n3   4.000,5\n",      // blanks and the decimal comma
             "  1.5 2.25\n3 4000.5\n",       // blanks and the point
             "t;valor\n1,5;2,25\n3;4.000,5", // a header of words
             "Tiempo (h)\tDO600\n1.5\t2.25\n3\t4000.5\n",
             "1,5;2,25;\n3;4.000,5;;\n",         // empty trailing fields, as spreadsheets write
             "1,5;2,25\n;;\n3;4.000,5\n;;\n;\n", // rows of empty fields, like blank lines
             "\"t\",\"densidad\"\n\"1,5\",\"2,25\"\n\"3\",\"4.000,5\"\n", // quoted, RFC 4180
             "\"t\";\"y\"\r\n\"1,5\";2,25\r\n3;\"4.000,5\"\r\n",
             "\"1.5\" \"2.25\"\n3 \"4000.5\"\n", // quoted and blanks
             "\xEF\xBB\xBF"
             "1,5;2,25\n3;4.000,5\n", // a UTF-8 mark, no header
             "1,5;\xC2\xA0"
             "2,25\n3\xC2\xA0;4.000,5\n", // no-break spaces around fields
         }) {
        EXPECT_EQ(rowsOf(text), expected) << text;
    }
    EXPECT_EQ(rowsOf("1e-3;2E+2\n"), (ColumnRows{{0.001, 200}}));
}

TEST(Columns, RefuseWhatIsNotTwoColumnsOfNumbers) {
    std::string twentyOne;
    for (int i = 0; i < 21; ++i) {
        twentyOne += std::to_string(i) + ";1\n";
    }
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1;2\n3\n", "línea 2, se esperan dos números"},
        {"1;2\n3;x\n", "línea 2, «x» no es un número"},
        {"t;y\n1;2\nt;y\n", "línea 3, «t» no es un número"},
        {"1;2\n\n\n4;;5\n", "línea 4, se esperan dos números"},
        {twentyOne, "línea 21, hay más de 20 filas"},
        {"", "no hay filas"},
        {"t;y\n", "no hay filas"},
        {"1;2;3\n", "línea 1, se esperan dos números"},
        // A first line with a number is data, not a header: a typo is named.
        {"1;2x\n2;3\n3;4\n", "línea 1, «2x» no es un número"},
        {"\xEF\xBB\xBF"
         "1;2x\n2;3\n",
         "línea 1, «2x» no es un número"},
        {"\"1;2\n", "línea 1, falta la comilla"},
        // Too long for a cell: "0," then 100,005 zeros then an exponent.
        {"0," + std::string(100005, '0') + "1E+100006;1\n", "línea 1, la línea es demasiado larga"},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_NE(problemOf(text).find(expected), std::string::npos)
            << text << " → " << problemOf(text);
    }
}

TEST(Columns, TheClipboardTakesOneOrTwoColumns) {
    using S = ColumnSource;
    EXPECT_EQ(rowsOf("1.5\n2.5\n", S::Clipboard), (ColumnRows{{1.5}, {2.5}}));
    EXPECT_EQ(rowsOf("1\t2,5\r\n3\t4\r\n", S::Clipboard), (ColumnRows{{1, 2.5}, {3, 4}}));
    EXPECT_NE(problemOf("1\t2\n3\n", S::Clipboard).find("línea 2"), std::string::npos);
    // A copied header row is skipped as import skips it; a word later is not.
    EXPECT_EQ(rowsOf("t\ty\n1\t2\n", S::Clipboard), (ColumnRows{{1, 2}}));
    EXPECT_EQ(rowsOf("uno\n2\n", S::Clipboard), (ColumnRows{{2}}));
    EXPECT_NE(problemOf("1\nuno\n", S::Clipboard).find("línea 2, «uno»"), std::string::npos);
    EXPECT_TRUE(spansSeveralCells("1\n2"));
    EXPECT_TRUE(spansSeveralCells("1\t2"));
    EXPECT_TRUE(spansSeveralCells("1;2"));
    EXPECT_FALSE(spansSeveralCells("1,5\n"));
}

TEST(Columns, HugeTextIsRefusedBeforeItIsRead) {
    // A million lines: refused at the 21st row, never split whole.
    std::string lines;
    for (int i = 0; i < 1000000; ++i) {
        lines += "1;2\n";
    }
    EXPECT_NE(problemOf(lines).find("línea 21, hay más de 20 filas"), std::string::npos);
    EXPECT_NE(problemOf(lines, ColumnSource::Clipboard).find("línea 21"), std::string::npos);
    Table table;
    const std::string huge(16 * 1024 * 1024, '1');
    const auto refused = pasteColumns(table, 0, Column::X, huge);
    ASSERT_TRUE(refused);
    EXPECT_NE(refused->find("demasiado grande"), std::string::npos);
    EXPECT_EQ(table.x[0], "");
}

TEST(Columns, TextOfBytesReadsMarksAndUtf16) {
    const std::string utf16le("\xFF\xFEt\0;\0y\0\n\0"
                              "1\0;\0"
                              "2\0\n\0",
                              18);
    const std::string utf16be("\xFE\xFF\0t\0;\0\xE9\0\n\0"
                              "1\0;\0"
                              "2\0\n",
                              18);
    EXPECT_EQ(textOf(utf16le), "t;y\n1;2\n");
    EXPECT_EQ(textOf(utf16be), "t;\xC3\xA9\n1;2\n"); // é in UTF-8
    EXPECT_EQ(textOf("\xEF\xBB\xBF"
                     "1;2"),
              "1;2");
    EXPECT_EQ(textOf("1;2"), "1;2");
}

TEST(Columns, PastingFillsFromTheCellsRowAndRefusesOverflow) {
    Table table;
    table.x[0] = "9";
    ASSERT_EQ(pasteColumns(table, 3, Column::Y, "1.5\n2\n"), std::nullopt);
    EXPECT_EQ(table.y[3], "1,5");
    EXPECT_EQ(table.y[4], "2");
    EXPECT_EQ(table.x[3], "");
    ASSERT_EQ(pasteColumns(table, 18, Column::Y, "1\t2\n3\t4\n"), std::nullopt);
    EXPECT_EQ(table.x[19], "3");
    EXPECT_EQ(table.y[19], "4");
    const Table before = table;
    const auto tooMany = pasteColumns(table, 19, Column::X, "1\n2\n");
    ASSERT_TRUE(tooMany);
    EXPECT_NE(tooMany->find("no caben"), std::string::npos);
    EXPECT_TRUE(pasteColumns(table, 0, Column::X, "1\nx\n"));
    EXPECT_EQ(table.x, before.x);
    EXPECT_EQ(table.y, before.y);
}

TEST(Columns, ImportFillsTheTableOrLeavesIt) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("medidas.csv").toStdString();
    Table table;
    for (int i = 0; i < kRows; ++i) {
        table.x[i] = table.y[i] = "7";
    }
    // A point beside decimal commas is no grouping mark ("1.5" has a group of
    // one digit): the marks are mixed, and that is refused naming the line.
    std::ofstream(path) << "t;y\r\n0;0,017\r\n1.5;1,2\r\n";
    const auto mixed = importColumns(table, path);
    ASSERT_TRUE(mixed);
    EXPECT_EQ(mixed->rfind("No se puede importar medidas.csv: en la línea 3", 0), 0u) << *mixed;
    EXPECT_EQ(table.x[0], "7");
    std::ofstream(path) << "t;y\r\n0;0,017\r\n1.500,0;1,2\r\n";
    ASSERT_EQ(importColumns(table, path), std::nullopt);
    EXPECT_EQ(table.x[0], "0");
    EXPECT_EQ(table.y[0], "0,017");
    EXPECT_EQ(table.x[1], "1500"); // the point groups digits where the comma is decimal
    EXPECT_EQ(table.y[2], "");
    const Table before = table;
    std::ofstream(path) << "1;2\n3;tres\n";
    const auto problem = importColumns(table, path);
    ASSERT_TRUE(problem);
    EXPECT_EQ(problem->rfind("No se puede importar medidas.csv: en la línea 2", 0), 0u) << *problem;
    EXPECT_EQ(table.x, before.x);
    EXPECT_TRUE(importColumns(table, folder.filePath("no.csv").toStdString()));

    // A spreadsheet's "Unicode text": UTF-16 with its mark, tabs.
    const std::string unicode("\xFF\xFE"
                              "1\0\t\0"
                              "2\0\r\0\n\0"
                              "3\0\t\0"
                              "4\0",
                              18);
    std::ofstream(path, std::ios::binary) << unicode;
    ASSERT_EQ(importColumns(table, path), std::nullopt);
    EXPECT_EQ(table.x[1], "3");
    EXPECT_EQ(table.y[1], "4");
}

namespace {

// Whether text is well-formed UTF-8 holding no control character.
bool isCleanUtf8(const std::string& text) {
    const QString decoded = QString::fromUtf8(text);
    return decoded.toStdString() == text && std::ranges::none_of(decoded, [](QChar ch) {
               return ch.category() == QChar::Other_Control;
           });
}

} // namespace

TEST(Columns, OneDecimalMarkPerTextAndGroupingWhereItIsClear) {
    using S = ColumnSource;
    const std::vector<std::tuple<std::string, S, ColumnRows>> cases = {
        {"1;1,234.5\n", S::File, {{1, 1234.5}}}, // both marks: the last is decimal
        {"1\t1,234.5\n", S::File, {{1, 1234.5}}},
        {"1,\"1,234.5\"\n", S::File, {{1, 1234.5}}},
        {"1;1.234,5\n2;2,5\n", S::File, {{1, 1234.5}, {2, 2.5}}},
        {"1;1.234.567\n2;0,5\n", S::File, {{1, 1234567}, {2, 0.5}}}, // a repeated mark groups
        {"1;1,234,567\n2;0.5\n", S::File, {{1, 1234567}, {2, 0.5}}},
        {"1;1,234\n", S::File, {{1, 1.234}}}, // a single mark is decimal, never grouping
        {"1;1.234\n", S::File, {{1, 1.234}}},
        {"1;-12.345,5e-1\n", S::File, {{1, -1234.55}}},
        {"t;y\n1;1,234.5\n", S::File, {{1, 1234.5}}},
        {"1\t1,234.5\n2\t1\n", S::Clipboard, {{1, 1234.5}, {2, 1}}},
        {"1;1,234.5\n", S::Clipboard, {{1, 1234.5}}},
        // Comma-separated text, as an English spreadsheet or a text file holds it.
        {"t,y\n1,2.5\n2,3.5\n", S::Clipboard, {{1, 2.5}, {2, 3.5}}},
        {"1, 2\n3, 4\n", S::Clipboard, {{1, 2}, {3, 4}}},
        {"\"1\",\"2,5\"\n\"3\",\"4\"\n", S::Clipboard, {{1, 2.5}, {3, 4}}},
        {"1,\"1,234.5\"\n", S::Clipboard, {{1, 1234.5}}},
        {"1,234.5\n2,5\n", S::Clipboard, {{1, 234.5}, {2, 5}}}, // one column would mix marks
        // Lone decimal commas stay one column, as Spanish users copy it.
        {"1,5\n2,5\n", S::Clipboard, {{1.5}, {2.5}}},
        {"1.234,5\n2,5\n", S::Clipboard, {{1234.5}, {2.5}}},
        {"1,234\n", S::Clipboard, {{1.234}}},
        {"1,234,567\n", S::Clipboard, {{1234567}}},
    };
    for (const auto& [text, source, expected] : cases) {
        EXPECT_EQ(rowsOf(text, source), expected) << text;
    }
}

TEST(Columns, RefuseMixedMarksAndBadGroupingNamingTheLine) {
    using S = ColumnSource;
    const std::vector<std::tuple<std::string, S, std::string>> cases = {
        {"1;2.5\n2;3,5\n", S::File,
         "en la línea 2, «3,5» usa la coma decimal, pero «2.5», en la línea 1, usa el punto"},
        {"1\t2,5\n2\t3.5\n", S::Clipboard,
         "en la línea 2, «3.5» usa el punto decimal, pero «2,5», en la línea 1, usa la coma"},
        {"t;y\n1.5;1,2\n", S::File,
         "en la línea 2, «1,2» usa la coma decimal, pero «1.5», en la misma línea"},
        {"1;1.234.567\n2;2.5\n", S::File, "en la línea 2, «2.5» usa el punto decimal"},
        {"1;1,234\n2;2.5\n", S::File, "en la línea 2, «2.5»"}, // 1,234 is decimal, not 1234
        {"1,5\n2,5\n3.5\n", S::Clipboard, "en la línea 3, «3.5» usa el punto decimal"},
        // Grouping marks only in the integer part, one to three digits then threes.
        {"1;1.2.3\n", S::File, "en la línea 1, «1.2.3» no es un número"},
        {"1;2\n2;12.34,5\n", S::File, "en la línea 2, «12.34,5» no es un número"},
        {"1;1234.567,8\n", S::File, "en la línea 1, «1234.567,8» no es un número"},
        {"1;1.2345,6\n", S::File, "en la línea 1, «1.2345,6» no es un número"},
        {"1;1,5.000\n", S::File, "en la línea 1, «1,5.000» no es un número"},
        {"1;.234,5\n", S::File, "en la línea 1, «.234,5» no es un número"},
        {"1;1,234.5,6\n", S::File, "en la línea 1, «1,234.5,6» no es un número"},
        {"1;1,234.5\n", S::File, ""}, // the control: read
        // Read either way, as grouped or as two columns: refused, not guessed.
        {"1,234.5\n2,345.5\n", S::Clipboard, "en la línea 1, «1,234.5»"},
        {"1,2.5\n2,x\n", S::Clipboard, "en la línea 2, «x» no es un número"},
    };
    for (const auto& [text, source, expected] : cases) {
        const std::string problem = problemOf(text, source);
        if (expected.empty()) {
            EXPECT_EQ(problem, "") << text;
        } else {
            EXPECT_NE(problem.find(expected), std::string::npos) << text << " → " << problem;
        }
    }
    Table table;
    table.y[0] = "7";
    EXPECT_TRUE(pasteColumns(table, 0, Column::Y, "1\t2.5\n2\t3,5\n"));
    EXPECT_EQ(table.x[0], "");
    EXPECT_EQ(table.y[0], "7");
}

TEST(Columns, CommaSeparatedSingleLinesPasteIntoSeveralCells) {
    EXPECT_TRUE(spansSeveralCells("1,2.5"));
    EXPECT_TRUE(spansSeveralCells("1, 2"));
    EXPECT_TRUE(spansSeveralCells("1,234.5")); // refused by the paste rather than misread
    EXPECT_FALSE(spansSeveralCells("2,5"));
    EXPECT_FALSE(spansSeveralCells("1.234,5"));
    EXPECT_FALSE(spansSeveralCells("hola, mundo"));
    Table table;
    ASSERT_EQ(pasteColumns(table, 2, Column::Y, "1,2.5"), std::nullopt);
    EXPECT_EQ(table.x[2], "1");
    EXPECT_EQ(table.y[2], "2,5");
}

TEST(Columns, WideEncodingsAndControlCharactersAreNamedVisibly) {
    using namespace std::string_literals;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1\0;\0002\0\n\0003\0;\0004\0\n\0"s, "UTF-16 sin marca de orden de bytes"},
        {"\0001\0;\0002\0\n\0003\0;\0004\0\n"s, "UTF-16 sin marca de orden de bytes"},
        {"1\0\0\0;\0\0\0002\0\0\0\n\0\0\0"s, "UTF-32 sin marca de orden de bytes"},
        {"\0\0\0001\0\0\0;\0\0\0002\0\0\0\n"s, "UTF-32 sin marca de orden de bytes"},
        {"1;2\n3;4\0\n"s, "en la línea 2, «4␀» contiene un carácter de control"},
        {"1;2\x01\n"s, "«2␁» contiene un carácter de control"},
        {"1;\x1B[31m2\n"s, "«␛[31m2»"},
        {"1;2\xC2\x85\n"s, "carácter de control"},           // U+0085, a C1 control
        {"1;2\xB5m\n"s, "«2\xEF\xBF\xBDm» no es un número"}, // a Latin-1 byte shows as U+FFFD
    };
    for (const auto& [bytes, expected] : cases) {
        const std::string problem = problemOf(textOf(bytes));
        EXPECT_NE(problem.find(expected), std::string::npos) << problem;
        EXPECT_TRUE(isCleanUtf8(problem)) << problem;
    }
    const std::string pasted = problemOf("1\n2\0003\n"s, ColumnSource::Clipboard);
    EXPECT_NE(pasted.find("«2␀3» contiene un carácter de control"), std::string::npos) << pasted;

    // A quoted field is shortened to 40 characters, never inside one.
    const std::string longField = std::string(39, 'x') + "ééé";
    const std::string shortened = problemOf("1;" + longField + "\n");
    EXPECT_NE(shortened.find("«" + std::string(39, 'x') + "é"), std::string::npos) << shortened;
    EXPECT_TRUE(isCleanUtf8(shortened)) << shortened;
}

TEST(Columns, Utf32WithItsMarkIsRead) {
    using namespace std::string_literals;
    EXPECT_EQ(textOf("\xFF\xFE\0\0"
                     "1\0\0\0;\0\0\0\xE9\0\0\0"s),
              "1;\xC3\xA9");
    EXPECT_EQ(textOf("\0\0\xFE\xFF"
                     "\0\0\0001\0\0\0;\0\0\0002"s),
              "1;2");
    QTemporaryDir folder;
    const std::string path = folder.filePath("unicode.txt").toStdString();
    std::ofstream(path, std::ios::binary) << "\xFF\xFE\0\0"
                                             "1\0\0\0\t\0\0\0002\0\0\0\n\0\0\0"s;
    Table table;
    ASSERT_EQ(importColumns(table, path), std::nullopt);
    EXPECT_EQ(table.x[0], "1");
    EXPECT_EQ(table.y[0], "2");
}

// Import refuses more rows than the table holds, pointing to "Añadir
// datos…", which reads up to 10 000 values; checkImport says so without a
// table, and a number past the range of a double is said to be one.
TEST(Columns, ImportNamesWhereLongerDataGoAndNumbersOutOfRange) {
    QTemporaryDir folder;
    const std::string path = folder.filePath("largo.csv").toStdString();
    {
        std::ofstream file(path);
        file << "t;y\n";
        for (int i = 0; i < 97; ++i) {
            file << i << ";" << i % 5 << "\n";
        }
    }
    const auto problem = checkImport(path);
    ASSERT_TRUE(problem);
    EXPECT_EQ(*problem, "No se puede importar largo.csv: en la línea 22, hay más de 20 filas de "
                        "datos (la tabla tiene 20; «Añadir datos…», en la ventana de análisis, "
                        "lee hasta 10 000 valores). La tabla no se ha modificado.");
    Table table;
    EXPECT_EQ(importColumns(table, path), problem);
    std::ofstream(path) << "t;y\n1;2\n";
    EXPECT_EQ(checkImport(path), std::nullopt);
    EXPECT_EQ(table.x[0], "");

    for (const std::string text : {"1;1e309\n", "1;2\n-1,5E400;3\n"}) {
        const std::string message = problemOf(text);
        EXPECT_NE(message.find("es un número fuera del rango que maneja el programa"),
                  std::string::npos)
            << message;
        EXPECT_EQ(message.find("no es un número"), std::string::npos) << message;
    }
    EXPECT_NE(
        problemOf("1\n2\n1e309\n", ColumnSource::Clipboard).find("«1e309» es un número fuera"),
        std::string::npos);
}

// A text of blank lines or of separators is read at the cost of its bytes:
// empty fields are never kept, a row past two fields stops there.
TEST(Columns, EmptyLinesAndFieldsCostNothingToSkip) {
    std::string blank = "t;y\n1;2\n";
    for (int i = 0; i < 4000; ++i) {
        blank += std::string(250, ';') + "\n";
    }
    EXPECT_EQ(rowsOf(blank), (ColumnRows{{1, 2}}));
    EXPECT_NE(problemOf("1;2" + std::string(30000, ';') + "x\n").find("línea 1, se esperan dos"),
              std::string::npos);
}
