#include "data/capture.h"
#include "data/data_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <linux/fs.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

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
        {" 2 ", 2},
        {"2.5", 2},
        {"2.4", 2},
        {"3.5\t ", 4},
        {"\t1.9", 2},
        {"+3", 3},
        {"-0", 0},
        {"4.", 4},
        {"0." + std::string(400, '0') + "55", 0}}; // below the smallest double: 0
    for (const auto& [line, count] : cases) {
        const auto parsed = parseDataFile(line + "\r\n" + rows);
        ASSERT_TRUE(std::holds_alternative<std::vector<Row>>(parsed)) << line;
        EXPECT_EQ(std::get<std::vector<Row>>(parsed).size(), count) << line;
    }
}

// A CSV or any text opened by mistake is refused before a cell changes: its
// first line holds more than a count.
TEST(FileFormat, AFirstLineWithMoreThanACountIsNotADataFile) {
    const std::string rows = "a\r\nb\r\nc\r\nd\r\n";
    for (const std::string& first : std::vector<std::string>{"1;2", "0;0", "-0;-0", "0x2", ";2", "x2", "abc", ",5", "2abc", "3.5 puntos", "  1,9",
          "2 3", "1\t2", std::string("2\0", 2), "1.2.3", "2;", "\"2\""}) {
        const auto parsed = parseDataFile(first + "\r\n" + rows, "medidas.csv");
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << first;
        EXPECT_NE(std::get<std::string>(parsed).find(
                      "El archivo medidas.csv no es un archivo de datos de este programa"),
                  std::string::npos)
            << first;
    }
}

TEST(FileFormat, RefusesCountsOutsideTheTableAndMissingLines) {
    for (const std::string& bytes : std::vector<std::string>{
             " 21 \r\n", " -1 \r\n", "99999999\r\n", "1" + std::string(400, '0'), "", "ninguno\r\n",
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
    const std::vector<std::string> bad = {" 21 \r\n", " 3 \r\n1\r\n2\r\n3\r\n", " -2 \r\n",
                                          "1;2\r\n2;3\r\n", "0;0\r\n", "-0;-0\n1;1\n"};
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

// Files that are not ours, or not files at all.
class FileFaultTest : public DataFileTest {
  protected:
    std::string target() const { return path().toStdString(); }
    void linkTo(const std::string& destination) const {
        ASSERT_EQ(::symlink(destination.c_str(), target().c_str()), 0);
    }
    std::string inFolder(const char* name) const {
        return folder.filePath(QString::fromLatin1(name)).toStdString();
    }
};

bool isRegularFile(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

TEST_F(FileFaultTest, WhatIsNotARegularFileIsNeitherReadNorReplaced) {
    ASSERT_EQ(::mkfifo(inFolder("pipe").c_str(), 0600), 0);
    std::vector<std::string> targets = {"/dev/zero", inFolder("pipe")};
    // A device node of our own, like /dev/null, where this user may make one.
    if (::mknod(inFolder("device").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0) {
        targets.push_back(inFolder("device"));
    }
    for (const std::string& destination : targets) {
        SCOPED_TRACE(destination);
        QFile::remove(path());
        linkTo(destination);
        FakeTable table;
        table.fill(3);
        const FakeTable before = table;
        const auto loaded = recuperar(table, target()); // a pipe must not block
        ASSERT_TRUE(loaded);
        EXPECT_NE(loaded->find("no es un archivo normal"), std::string::npos) << *loaded;
        EXPECT_EQ(table.x, before.x);

        FitState s;
        const auto saved = guardar(s, table, target());
        ASSERT_TRUE(saved);
        EXPECT_NE(saved->find("no es un archivo normal"), std::string::npos) << *saved;
        EXPECT_EQ(saved->find("anterior"), std::string::npos) << *saved;
        if (destination != "/dev/zero") {
            EXPECT_FALSE(isRegularFile(destination));
        }
    }
}

TEST_F(FileFaultTest, SavingThroughALinkToAFileWritesTheFile) {
    writeFile(QString::fromStdString(inFolder("real.txt")), " 0 \r\n");
    linkTo("real.txt");
    FitState s;
    FakeTable table;
    table.fill(1);
    ASSERT_EQ(guardar(s, table, target()), std::nullopt);
    EXPECT_EQ(readFile(QString::fromStdString(inFolder("real.txt"))), " 1 \r\n0\r\n0,5\r\n");
    EXPECT_TRUE(QFileInfo(path()).isSymLink());
}

TEST_F(FileFaultTest, ReadingStopsAtTheBoundsOfAValidFile) {
    FakeTable table;
    table.fill(4);
    const FakeTable before = table;
    const std::string longLine(kMaxLineLength + 1, '7');
    const std::vector<std::pair<std::string, std::string>> refused = {
        {std::string(2 * kMaxFileBytes, '\n'), "demasiado grande"},
        {" 1 \r\n" + longLine + "\r\n1\r\n", "demasiado larga"},
    };
    for (const auto& [bytes, why] : refused) {
        writeFile(path(), bytes);
        const auto problem = recuperar(table, target());
        ASSERT_TRUE(problem) << why;
        EXPECT_NE(problem->find(why), std::string::npos) << *problem;
        EXPECT_EQ(table.x, before.x);
    }
    // Lines past the promised ones are never looked at, however many.
    std::string bytes = " 1 \r\n2\r\n3\r\n" + longLine + "\r\n";
    for (int i = 0; i < 100000; ++i) {
        bytes += "x\n";
    }
    writeFile(path(), bytes);
    ASSERT_EQ(recuperar(table, target()), std::nullopt);
    EXPECT_EQ(table.x[0], "2");
    EXPECT_EQ(table.y[0], "3");
    EXPECT_EQ(table.x[1], "");
}

TEST_F(FileFaultTest, AHugeFileIsRefusedWithoutBeingRead) {
    const std::int64_t hugeSize = std::int64_t{200} << 20;
    { std::ofstream(target(), std::ios::binary) << " 2 \r\n"; }
    ASSERT_EQ(::truncate(target().c_str(), hugeSize), 0); // sparse: costs no disk
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    FakeTable table;
    const auto problem = recuperar(table, target());
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("demasiado grande"), std::string::npos);
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024); // kB: far below the file's size
}

// Where a save fails, the message names why, and mentions the previous file
// only when there was one.
TEST_F(FileFaultTest, SaveFailuresNameTheirCause) {
    FitState s;
    FakeTable table;
    table.fill(2);
    ASSERT_TRUE(QDir(folder.path()).mkdir(QStringLiteral("datos.txt")));
    auto problem = guardar(s, table, target());
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("carpeta"), std::string::npos);
    EXPECT_EQ(problem->find("anterior"), std::string::npos);

    const std::vector<std::pair<int, std::string>> causes = {
        {ENOSPC, "espacio"}, {EDQUOT, "espacio"}, {EROFS, "solo lectura"},
        {EACCES, "permiso"}, {EPERM, "permiso"},  {EFBIG, "tamaño"}};
    for (const auto& [error, words] : causes) {
        EXPECT_NE(describeFileError(error).find(words), std::string::npos) << error;
    }
    // A file that cannot be read lacks permission to read, not to write.
    for (const int error : {EACCES, EPERM}) {
        const std::string cause = describeFileError(error, FileAccess::Read);
        EXPECT_NE(cause.find("permiso para leer"), std::string::npos) << cause;
        EXPECT_EQ(cause.find("escribir"), std::string::npos) << cause;
    }
}

TEST_F(FileFaultTest, AReplacedFileKeepsItsOwnerAndMode) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "only root may give a file to another user";
    }
    writeFile(path(), " 0 \r\n");
    ASSERT_EQ(::chown(target().c_str(), 1234, 2345), 0);
    ASSERT_EQ(::chmod(target().c_str(), 0640), 0);
    FitState s;
    FakeTable table;
    table.fill(2);
    ASSERT_EQ(guardar(s, table, target()), std::nullopt);
    struct stat info {};
    ASSERT_EQ(::stat(target().c_str(), &info), 0);
    EXPECT_EQ(info.st_uid, 1234u);
    EXPECT_EQ(info.st_gid, 2345u);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_NE(readFile(path()), " 0 \r\n");
}

// Real full, read-only and protected folders; only where this user may
// mount a file system and protect a file (root, as in CI).
class MountedFolderTest : public FileFaultTest {
  protected:
    std::string mountPoint() const { return inFolder("disk"); }
    bool mountSmallDisk(unsigned long flags) {
        QDir(folder.path()).mkdir(QStringLiteral("disk"));
        mounted_ = ::mount("tmpfs", mountPoint().c_str(), "tmpfs", flags, "size=64k") == 0;
        return mounted_;
    }
    void TearDown() override {
        if (mounted_) {
            ::umount(mountPoint().c_str());
        }
    }
    bool mounted_ = false;
};

TEST_F(MountedFolderTest, AFullDiskSaysThereIsNoSpaceLeft) {
    if (!mountSmallDisk(0)) {
        GTEST_SKIP() << "cannot mount a file system here";
    }
    const std::string file = mountPoint() + "/datos.txt";
    writeFile(QString::fromStdString(file), " 0 \r\n");
    writeFile(QString::fromStdString(mountPoint() + "/filler"), std::string(256 * 1024, 'x'));
    FitState s;
    FakeTable table;
    table.fill(20);
    const auto problem = guardar(s, table, file);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("no queda espacio"), std::string::npos) << *problem;
    EXPECT_NE(problem->find("anterior no se ha modificado"), std::string::npos) << *problem;
    EXPECT_EQ(readFile(QString::fromStdString(file)), " 0 \r\n");
}

TEST_F(MountedFolderTest, AReadOnlyDiskSaysSo) {
    if (!mountSmallDisk(MS_RDONLY)) {
        GTEST_SKIP() << "cannot mount a file system here";
    }
    FitState s;
    FakeTable table;
    table.fill(2);
    const auto problem = guardar(s, table, mountPoint() + "/datos.txt");
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("solo lectura"), std::string::npos) << *problem;
    EXPECT_EQ(problem->find("anterior"), std::string::npos) << *problem;
}

TEST_F(MountedFolderTest, AProtectedFileSaysThereIsNoPermission) {
    writeFile(path(), " 0 \r\n");
    const int fd = ::open(target().c_str(), O_RDONLY);
    int flags = 0;
    const bool set = ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 &&
                     (flags |= FS_IMMUTABLE_FL, ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0);
    if (!set) {
        ::close(fd);
        GTEST_SKIP() << "cannot make a file immutable here";
    }
    FitState s;
    FakeTable table;
    table.fill(2);
    const auto problem = guardar(s, table, target());
    flags &= ~FS_IMMUTABLE_FL;
    ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
    ::close(fd);
    ASSERT_TRUE(problem);
    EXPECT_NE(problem->find("permiso"), std::string::npos) << *problem;
    EXPECT_NE(problem->find("anterior no se ha modificado"), std::string::npos) << *problem;
    EXPECT_EQ(readFile(path()), " 0 \r\n");
}

// A column of numbers opened by mistake ("1", "2", "3", as an editor
// writes one) is not read as a count of 1 and the point (2; 3): it is
// refused, pointing to "Importar…". Files of the format, whose lines end in
// CR LF, files of this program, whose count stands between blanks, and
// files whose lines are not all such numbers read as before.
TEST(FileFormat, AColumnOfNumbersIsRefusedAsSuch) {
    for (const std::string bytes : {"1\n2\n3", "1\n2\n3\n", "2\n1\n2\n3\n4\n\n",
                                    "1\n2\n3\n4\n5\n6\n7\n", "25\n1\n2\n", "3\n1\n2\n"}) {
        const auto parsed = parseDataFile(bytes, "columna.txt");
        ASSERT_TRUE(std::holds_alternative<std::string>(parsed)) << bytes;
        EXPECT_EQ(std::get<std::string>(parsed).rfind(
                      "El archivo columna.txt parece una columna de números, no un archivo de "
                      "datos de este programa",
                      0),
                  0u)
            << std::get<std::string>(parsed);
        EXPECT_NE(std::get<std::string>(parsed).find("«Importar…»"), std::string::npos);
    }
    const std::vector<std::pair<std::string, std::size_t>> read = {
        {" 1 \r\n2\r\n3\r\n", 1},   {" 1 \n2\n3\n", 1}, {"1\n2,5\n3\n", 1},
        {"2\n0\n1,5\n2,5\n4\n", 2}, {"1\nx\n3\n", 1},   {"0\n", 0},
        {"1\r\n2\r\n3\r\n", 1},       {"2\r\n0\r\n1\r\n2\r\n4\r\n", 2},
    };
    for (const auto& [bytes, rows] : read) {
        const auto parsed = parseDataFile(bytes);
        ASSERT_TRUE(std::holds_alternative<std::vector<Row>>(parsed)) << bytes;
        EXPECT_EQ(std::get<std::vector<Row>>(parsed).size(), rows) << bytes;
    }
    // Two numbers are no column: a count with a line missing, as before.
    const auto tooShort = parseDataFile("1\n2\n");
    ASSERT_TRUE(std::holds_alternative<std::string>(tooShort));
    EXPECT_NE(std::get<std::string>(tooShort).find("le faltan líneas"), std::string::npos);
}

// checkDataFile gives the message recuperar would, without a table: none
// for a sound file, the column's refusal for a column.
TEST_F(DataFileTest, CheckingAFileSaysWhatLoadingItWould) {
    FakeTable table;
    table.fill(3);
    const FakeTable before = table;
    writeFile(path(), "1\n2\n3\n");
    const auto problem = recuperar(table, path().toStdString());
    ASSERT_TRUE(problem);
    EXPECT_EQ(checkDataFile(path().toStdString()), problem);
    EXPECT_EQ(table.x, before.x);
    writeFile(path(), " 1 \r\n2\r\n3\r\n");
    EXPECT_EQ(checkDataFile(path().toStdString()), std::nullopt);
    EXPECT_EQ(table.x, before.x);
    QFile::remove(path());
    EXPECT_NE(checkDataFile(path().toStdString())->find("No se encuentra"), std::string::npos);
}
