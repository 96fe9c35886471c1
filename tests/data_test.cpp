#include "data/capture.h"
#include "data/data_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/resource.h>

using namespace gompertz;
using namespace gompertz::data;

namespace {

class FakeTable : public CellTable {
  public:
    std::array<std::string, kRows> x, y;
    std::array<std::optional<CellColour>, kRows> xColour, yColour;
    int colourWrites = 0;

    std::string text(Column column, int row) const override {
        return column == Column::X ? x.at(row) : y.at(row);
    }
    void setText(Column column, int row, const std::string& text) override {
        (column == Column::X ? x.at(row) : y.at(row)) = text;
    }
    void setBackground(Column column, int row, CellColour colour) override {
        (column == Column::X ? xColour.at(row) : yColour.at(row)) = colour;
        ++colourWrites;
    }
    void fill(int rows) {
        for (int i = 0; i < rows; ++i) {
            x[i] = std::to_string(i);
            y[i] = std::to_string(i) + ",5";
        }
    }
    bool rowIs(int row, CellColour colour) const {
        return xColour[row] == colour && yColour[row] == colour;
    }
};

std::string readFile(const QString& path) {
    std::ifstream in(path.toStdString(), std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void writeFile(const QString& path, const std::string& bytes) {
    std::ofstream(path.toStdString(), std::ios::binary) << bytes;
}

} // namespace

TEST(Capture, TakesTheRunOfNumericRowsFromTheTop) {
    struct Case {
        const char* name;
        std::vector<std::pair<std::string, std::string>> rows;
        int count;
    };
    std::vector<std::pair<std::string, std::string>> twenty;
    for (int i = 0; i < kRows; ++i) {
        twenty.emplace_back(std::to_string(i), std::to_string(i) + ",5");
    }
    const std::vector<Case> cases = {
        {"all twenty", twenty, 20},
        {"empty", {}, 0},
        {"a gap ends it", {{"0", "1"}, {"1", "2"}, {"", "3"}, {"7", "8"}}, 2},
        {"a word ends it", {{"0", "1"}, {"1", "dos"}, {"2", "3"}}, 1},
        {"blanks are not empty", {{" ", "1"}}, 0},
        {"an empty value is no number", {{"1", ""}}, 0},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        FitState s;
        FakeTable table;
        for (std::size_t i = 0; i < test.rows.size(); ++i) {
            std::tie(table.x[i], table.y[i]) = test.rows[i];
        }
        capturar(s, table);
        EXPECT_EQ(s.pointCount, test.count);
        for (int i = 0; i < kRows; ++i) {
            EXPECT_TRUE(table.rowIs(i, i < test.count ? CellColour::White : CellColour::LightGrey))
                << "row " << i;
        }
    }
}

TEST(Capture, RewritesCellsCanonicallyAndStopsQuietlyAtABadOne) {
    FitState s;
    FakeTable table;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1,50", "1,5"}, {"  3  ", "3"}, {"2.5", "25"}, {"1e-5", "1E-05"}, {"-0", "0"}};
    for (std::size_t i = 0; i < cases.size(); ++i) {
        table.x[i] = cases[i].first;
        table.y[i] = "1";
    }
    table.x[5] = "1,0";
    table.y[5] = "uno";
    s.dataX[5] = 9.0;
    capturar(s, table);
    EXPECT_EQ(s.pointCount, 5);
    for (std::size_t i = 0; i < cases.size(); ++i) {
        EXPECT_EQ(table.x[i], cases[i].second) << cases[i].first;
    }
    // The bad row's t was taken and rewritten before its value failed.
    EXPECT_EQ(s.dataX[5], 1.0);
    EXPECT_EQ(table.x[5], "1");
    EXPECT_EQ(table.y[5], "uno");
    EXPECT_EQ(s.pointIndex, 20); // after colouring the rows below
}

TEST(FileFormat, CountLineThenTheCellTextsEachEndedByCrLf) {
    EXPECT_EQ(formatDataFile({}), " 0 \r\n");
    EXPECT_EQ(formatDataFile({{"0", "1,5"}, {"2,5", "4"}}), " 2 \r\n0\r\n1,5\r\n2,5\r\n4\r\n");
    const std::vector<Row> twenty(20, Row{"1", "2"});
    const std::string bytes = formatDataFile(twenty);
    EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 41);
    EXPECT_EQ(bytes.rfind(" 20 \r\n", 0), 0u);
}

TEST(FileFormat, ReadsAnyLineEnding) {
    const std::vector<Row> expected = {{"0", "1,5"}, {"2,5", "4"}};
    for (const std::string bytes : {" 2 \r\n0\r\n1,5\r\n2,5\r\n4\r\n", "2\n0\n1,5\n2,5\n4\n",
                                    " 2 \r0\r1,5\r2,5\r4\r", " 2 \r\n0\n1,5\r2,5\r\n4"}) {
        const auto parsed = parseDataFile(bytes);
        ASSERT_TRUE(std::holds_alternative<std::vector<Row>>(parsed)) << bytes;
        EXPECT_EQ(std::get<std::vector<Row>>(parsed), expected);
    }
}

TEST(FileFormat, TheCountIsTheLineLeadingNumberRoundedHalfToEven) {
    const std::string rows = "a\r\nb\r\nc\r\nd\r\ne\r\nf\r\ng\r\nh\r\n";
    const std::vector<std::pair<std::string, std::size_t>> cases = {
        {" 2 ", 2}, {"2.5", 2}, {"3.5 puntos", 4}, {"  1,9", 1}, {"+3", 3}};
    for (const auto& [line, count] : cases) {
        const auto parsed = parseDataFile(line + "\r\n" + rows);
        ASSERT_TRUE(std::holds_alternative<std::vector<Row>>(parsed)) << line;
        EXPECT_EQ(std::get<std::vector<Row>>(parsed).size(), count) << line;
    }
}

TEST(FileFormat, RefusesCountsOutsideTheTableAndMissingLines) {
    for (const std::string bytes : {" 21 \r\n", " -1 \r\n", "99999999\r\n", "", "ninguno\r\n",
                                    "\r\n", "-\r\n", " 2 \r\n0\r\n1\r\n2\r\n"}) {
        const auto parsed = parseDataFile(bytes);
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << bytes;
        EXPECT_NE(std::get<std::string>(parsed).find("datos.txt"), std::string::npos);
    }
}

class DataFileTest : public ::testing::Test {
  protected:
    QTemporaryDir folder;
    QString path() const { return folder.filePath(QStringLiteral("datos.txt")); }
};

TEST_F(DataFileTest, SavedRowsLoadBackIntoTheSameTexts) {
    FitState s;
    FakeTable written;
    written.x = {"0", "2,50", " 7 "};
    written.y = {"1,5", "4", "-1e3"};
    ASSERT_EQ(guardar(s, written, path().toStdString()), std::nullopt);
    EXPECT_EQ(readFile(path()), " 3 \r\n0\r\n1,5\r\n2,5\r\n4\r\n7\r\n-1000\r\n");

    FakeTable loaded;
    loaded.fill(20);
    ASSERT_EQ(recuperar(loaded, path().toStdString()), std::nullopt);
    for (int i = 0; i < kRows; ++i) {
        EXPECT_EQ(loaded.x[i], written.x[i]) << i;
        EXPECT_EQ(loaded.y[i], written.y[i]) << i;
    }
    EXPECT_EQ(loaded.colourWrites, 0);
}

TEST_F(DataFileTest, AnEmptyTableSavesOneLineThatClearsEveryRowOnLoad) {
    FitState s;
    FakeTable empty;
    ASSERT_EQ(guardar(s, empty, path().toStdString()), std::nullopt);
    EXPECT_EQ(readFile(path()), " 0 \r\n");
    FakeTable loaded;
    loaded.fill(20);
    ASSERT_EQ(recuperar(loaded, path().toStdString()), std::nullopt);
    EXPECT_EQ(loaded.x, FakeTable().x);
    EXPECT_EQ(loaded.y, FakeTable().y);
}

TEST_F(DataFileTest, ABadFileLeavesTheTableAsItWas) {
    FakeTable table;
    table.fill(5);
    const FakeTable before = table;
    const std::vector<std::string> bad = {" 21 \r\n", " 3 \r\n1\r\n2\r\n3\r\n", " -2 \r\n"};
    for (const std::string& bytes : bad) {
        writeFile(path(), bytes);
        const auto problem = recuperar(table, path().toStdString());
        ASSERT_TRUE(problem) << bytes;
        EXPECT_EQ(table.x, before.x);
        EXPECT_EQ(table.y, before.y);
    }
    QFile::remove(path());
    const auto missing = recuperar(table, path().toStdString());
    ASSERT_TRUE(missing);
    EXPECT_NE(missing->find("No se encuentra"), std::string::npos);
    EXPECT_EQ(table.x, before.x);
}

TEST_F(DataFileTest, AFolderInThePlaceOfTheFileIsReportedBothWays) {
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("datos.txt")));
    FitState s;
    FakeTable table;
    table.fill(2);
    const auto saved = guardar(s, table, path().toStdString());
    ASSERT_TRUE(saved);
    EXPECT_EQ(saved->rfind("No se pudo guardar datos.txt", 0), 0u);
    EXPECT_TRUE(QFileInfo(path()).isDir());
    const FakeTable before = table;
    EXPECT_TRUE(recuperar(table, path().toStdString()));
    EXPECT_EQ(table.x, before.x);
}

TEST_F(DataFileTest, AWriteThatFailsHalfWayKeepsThePreviousFile) {
    const std::string previous = " 1 \r\n9\r\n9\r\n";
    writeFile(path(), previous);
    FitState s;
    FakeTable table;
    table.fill(20); // far more than the file size limit below

    // Limit the size of files this process may write, so that the write
    // fails part way through, even for root.
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &small);
    const auto problem = guardar(s, table, path().toStdString());
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("no se ha modificado"), std::string::npos);
    EXPECT_EQ(readFile(path()), previous);
    EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files),
              QStringList{"datos.txt"}); // no temporary left
}
