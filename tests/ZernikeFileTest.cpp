#include "files/ZernikeFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "TestSupport.h"

namespace velmora {
namespace {

using Coefficients = std::map<int, double>;

TEST(ZernikeFile, ReadsTheTermsOfEitherOrdering) {
    const struct {
        const char* what;
        std::string text;
        ZernikeOrdering ordering;
        Coefficients coefficients;
    } cases[] = {
        {"fringe by default", "4 0.25\n9 -0.05\n", ZernikeOrdering::Fringe, {{4, 0.25}, {9, -0.05}}},
        {"fringe named", "ordering fringe\n37 1e-3\n1 0\n", ZernikeOrdering::Fringe, {{37, 1e-3}, {1, 0}}},
        {"ansi", "ordering ansi\n0 0.1\n90 -0.2\n12 0.03\n", ZernikeOrdering::Ansi, {{0, 0.1}, {90, -0.2}, {12, 0.03}}},
        {"comments and blank lines", "# from the report\n\n  # indented comment\nordering ansi\n\n4 0.5 \n#4 9\n",
         ZernikeOrdering::Ansi, {{4, 0.5}}},
        {"a comment may stand before the ordering", "#x\nordering ansi\n5 1\n", ZernikeOrdering::Ansi, {{5, 1}}},
        {"CR LF and tabs", "ordering fringe\r\n5\t0.125\r\n6 -.5\r\n", ZernikeOrdering::Fringe, {{5, 0.125}, {6, -0.5}}},
        {"byte-order mark", "\xEF\xBB\xBF" "ordering ansi\r\n3 2\r\n", ZernikeOrdering::Ansi, {{3, 2}}},
        {"plus signs", "+4 +0.5\n", ZernikeOrdering::Fringe, {{4, 0.5}}},
        {"no last line end", "7 0.01", ZernikeOrdering::Fringe, {{7, 0.01}}},
        {"empty", "", ZernikeOrdering::Fringe, {}},
        {"limit", "4 1000\n5 -1000\n", ZernikeOrdering::Fringe, {{4, 1000}, {5, -1000}}},
        {"underflow is zero", "4 1e-999\n", ZernikeOrdering::Fringe, {{4, 0}}},
    };
    for (const auto& c : cases) {
        const ZernikeFileRead read = ReadZernikeText(c.text);
        ASSERT_TRUE(read.ok) << c.what << ": " << read.problem;
        EXPECT_EQ(read.set.ordering, c.ordering) << c.what;
        EXPECT_EQ(read.set.coefficients, c.coefficients) << c.what;
    }
}

TEST(ZernikeFile, RefusesABadLineByItsNumber) {
    const struct {
        const char* what;
        std::string text;
        const char* message;  // the Japanese message, whole
    } cases[] = {
        {"fringe index 0", "0 0.1\n", "1 行目: 項番号 0 は fringe の並びにありません（1 から 37 まで）"},
        {"fringe index 38", "# c\n4 1\n38 0.1\n", "3 行目: 項番号 38 は fringe の並びにありません（1 から 37 まで）"},
        {"ansi index 91", "ordering ansi\n91 0.1\n", "2 行目: 項番号 91 は ansi の並びにありません（0 から 90 まで）"},
        {"ansi index -1", "ordering ansi\n-1 0.1\n", "2 行目: 項番号 -1 は ansi の並びにありません（0 から 90 まで）"},
        {"repeated index", "4 0.1\n\n4 0.2\n", "3 行目: 項番号 4 は 1 行目にもあります"},
        {"index not a number", "four 0.1\n", "1 行目: 項番号「four」は整数ではありません"},
        {"index with a fraction", "4.0 0.1\n", "1 行目: 項番号「4.0」は整数ではありません"},
        {"index beyond int", "99999999999 0.1\n", "1 行目: 項番号「99999999999」は整数ではありません"},
        {"coefficient not a number", "4 0,1\n", "1 行目: 係数「0,1」は数値ではありません"},
        {"coefficient +-", "4 +-1\n", "1 行目: 係数「+-1」は数値ではありません"},
        {"hexadecimal", "4 0x1p3\n", "1 行目: 係数「0x1p3」は数値ではありません"},
        {"nan", "4 nan\n", "1 行目: 係数「nan」は有限の数値ではありません"},
        {"infinity", "5 -inf\n", "1 行目: 係数「-inf」は有限の数値ではありません"},
        {"overflow", "5 1e400\n", "1 行目: 係数「1e400」は有限の数値ではありません"},
        {"too large", "5 1000.5\n", "1 行目: 係数 1000.5 は大きすぎます（1000 波まで）"},
        {"missing coefficient", "4 0.1\n9\n", "2 行目: 項番号 9 の係数がありません"},
        {"extra field", "4 0.1 waves\n", "1 行目: 値が 3 個あります。1 行には「項番号 係数」の 2 つだけを書いてください"},
        {"ordering after a term", "4 0.1\nordering ansi\n", "2 行目: ordering の行は係数の行より前に一度だけ書けます"},
        {"second ordering", "ordering ansi\nordering ansi\n", "2 行目: ordering の行は係数の行より前に一度だけ書けます"},
        {"unknown ordering", "ordering noll\n", "1 行目: 並び順「noll」は使えません。fringe か ansi と書いてください"},
        {"ordering without a word", "ordering\n", "1 行目: ordering の後には fringe か ansi の 1 語だけを書いてください"},
    };
    for (const auto& c : cases) {
        const ZernikeFileRead read = ReadZernikeText(c.text);
        EXPECT_FALSE(read.ok) << c.what;
        EXPECT_EQ(read.problem, c.message) << c.what;
        EXPECT_EQ(read.reason.Text(), c.message) << c.what;
        EXPECT_TRUE(read.set.coefficients.empty()) << c.what;
    }
}

TEST(ZernikeFile, QuotesAtMostAShortPieceOfALongWord) {
    const ZernikeFileRead read = ReadZernikeText("4 " + std::string(5000, '7') + "x\n");
    ASSERT_FALSE(read.ok);
    EXPECT_LT(read.problem.size(), 200u);
}

TEST(ZernikeFile, WriterRoundTripsToTheBit) {
    const ZernikeSet sets[] = {
        {ZernikeOrdering::Fringe, {{4, 0.1}, {9, -1.0 / 3}, {37, 1e-300}, {2, 1000}}},
        {ZernikeOrdering::Ansi, {{0, 0.5}, {90, -0.0625}, {12, std::nextafter(0.2, 1.0)}}},
        {ZernikeOrdering::Fringe, {}},
    };
    for (const ZernikeSet& set : sets) {
        const std::string text = ZernikeFileText(set);
        const ZernikeFileRead read = ReadZernikeText(text);
        ASSERT_TRUE(read.ok) << read.problem;
        EXPECT_EQ(read.set, set);
        for (char ch : text) EXPECT_LT(static_cast<unsigned char>(ch), 0x80u) << "ASCII only";
    }
    EXPECT_EQ(ZernikeFileText({ZernikeOrdering::Ansi, {{4, 0.25}, {5, 0.0}, {3, -2}}}),
              "# Zernike coefficients in waves: index coefficient\r\nordering ansi\r\n3 -2\r\n4 0.25\r\n");
}

TEST(ZernikeFile, RefusesWhatIsNoRegularFile) {
    testing::TempDir dir;
    EXPECT_FALSE(ReadZernikeFile(dir.File("missing.zer")).ok);
    const ZernikeFileRead folder = ReadZernikeFile(dir.Path().string());
    EXPECT_FALSE(folder.ok);
    EXPECT_FALSE(folder.problem.empty());
    testing::WriteAll(dir.File("big.zer"), std::string(zernikeReadLimit + 1, '#'));
    EXPECT_FALSE(ReadZernikeFile(dir.File("big.zer")).ok);
    testing::WriteAll(dir.File("ok.zer"), "ordering ansi\n4 0.5\n");
    const ZernikeFileRead ok = ReadZernikeFile(dir.File("ok.zer"));
    ASSERT_TRUE(ok.ok);
    EXPECT_EQ(ok.set, (ZernikeSet{ZernikeOrdering::Ansi, {{4, 0.5}}}));
}

}  // namespace
}  // namespace velmora
