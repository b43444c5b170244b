// The files a user gives the pupil: the user filter table and the user mask picture in the
// bitmap depths paint programs write, with the mask's preview copy and minimum size.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <random>

#include "files/Bmp.h"
#include "files/UserFilterFile.h"
#include "files/UserMaskFile.h"
#include "TestSupport.h"
#include "files/WavelengthTableFile.h"
#include "pupil/UserMaskStage.h"

namespace velmora {
namespace {

using testing::GreyPicture;
using testing::SamePicture;

const std::string& thirds = testing::thirdsFilterFile;

TEST(UserFilter, ThreeEntriesByThirdsOfTheRadius) {
    UserFilter f;
    const UserFilterRead read = ReadUserFilterText(thirds, f);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_TRUE(f.userFilterLoaded);
    EXPECT_EQ(f.userFilterCount, 3);
    auto at = [&](double rho) { return DensityFactor(DensityProfileKind::UserFilter, 1, &f, rho); };
    EXPECT_EQ(at(0), 1);
    EXPECT_EQ(at(0.33), 1);
    EXPECT_EQ(at(0.34), 0.5);
    EXPECT_EQ(at(0.66), 0.5);
    EXPECT_EQ(at(0.67), 0);
    EXPECT_EQ(at(1), 0);

    // The same tokens on one line, or spread over ten, read the same; the first numbers of
    // the pairs play no part.
    UserFilter oneLine, tenLines;
    ASSERT_TRUE(ReadUserFilterText("a b c d e f g 3 x y 9 1 9 0.5 9 0", oneLine).ok);
    ASSERT_TRUE(ReadUserFilterText("a\nb\r\nc\n\n d\ne\tf\ng\n3\nx\ny  -7 1 1e3 5e-1 0 0\n", tenLines).ok);
    EXPECT_EQ(oneLine.userFilterTable, f.userFilterTable);
    EXPECT_EQ(tenLines.userFilterTable, f.userFilterTable);
}

TEST(UserFilter, AShorterFileKeepsTheHigherEntriesAndALongOneStopsAtTheTable) {
    UserFilter f;
    ASSERT_TRUE(ReadUserFilterText(thirds, f).ok);
    ASSERT_TRUE(ReadUserFilterText("1 2 3 4 5 6 7 1 h h 0 0.25", f).ok);
    EXPECT_EQ(f.userFilterCount, 1);
    EXPECT_EQ(f.userFilterTable[0], 0.25);
    EXPECT_EQ(f.userFilterTable[1], 0.5) << "left from the first file";
    EXPECT_EQ(DensityFactor(DensityProfileKind::UserFilter, 1, &f, 0.9), 0.25) << "only the first N count";

    std::string big = "t t t t t t t 600 r v\n";
    for (int i = 0; i < 600; ++i) big += std::to_string(i) + " " + std::to_string(i / 1000.0) + "\n";
    ASSERT_TRUE(ReadUserFilterText(big, f).ok);
    EXPECT_EQ(f.userFilterCount, 500);
    EXPECT_DOUBLE_EQ(f.userFilterTable[499], 0.499);
    EXPECT_DOUBLE_EQ(DensityFactor(DensityProfileKind::UserFilter, 1, &f, 0.999), 0.499);

    // A 600-pair header with only 500 pairs present is enough: the rest is never read.
    std::string exact = "t t t t t t t 600 r v\n";
    for (int i = 0; i < 500; ++i) exact += "0 1\n";
    EXPECT_TRUE(ReadUserFilterText(exact, f).ok);
}

TEST(UserFilter, UnreadableFilesChangeNothingAndSayWhere) {
    UserFilter f;
    ASSERT_TRUE(ReadUserFilterText(thirds, f).ok);
    const UserFilter before = f;
    const std::string longWord(300, '9');
    const struct {
        std::string text;
        std::string mentions;
    } bad[] = {
        {"", "7"},
        {"only five words here", "7"},
        {"a b c d e f g", "N"},
        {"a b c d e f g three x y 0 1", "three"},
        {"a b c d e f g 0 x y", "1"},
        {"a b c d e f g -2 x y 0 1", "-2"},
        {"a b c d e f g 3 x", "2"},
        {"a b c d e f g 3 x y 0 1 0.5 0.5 1", "3"},   // truncated in the last pair
        {"a b c d e f g 3 x y 0 1 0.5 half 1 0", "half"},
        {"a b c d e f g 2 x y 0 1 0 nan", "nan"},
        {"a b c d e f g 2 x y 0 1 0 1e999", "1e999"},
        {"a b c d e f g 1 x y 0 " + longWord, "999"},
        {"a b c d e f g 1 x y 0 0x1p-1", "0x1p-1"},
    };
    for (const auto& b : bad) {
        const UserFilterRead read = ReadUserFilterText(b.text, f);
        EXPECT_FALSE(read.ok) << b.text;
        EXPECT_NE(read.problem.find(b.mentions), std::string::npos) << b.text << " -> " << read.problem;
        EXPECT_EQ(f.userFilterTable, before.userFilterTable) << b.text;
        EXPECT_EQ(f.userFilterCount, 3) << b.text;
        EXPECT_TRUE(f.userFilterLoaded);
    }
    // A never-loaded filter stays not loaded.
    UserFilter fresh;
    EXPECT_FALSE(ReadUserFilterText("a b c", fresh).ok);
    EXPECT_FALSE(fresh.userFilterLoaded);
    // An over-long header word is one word, not several.
    EXPECT_TRUE(ReadUserFilterText(longWord + " b c d e f g 1 x y 0 0.75", fresh).ok);
    EXPECT_EQ(fresh.userFilterTable[0], 0.75);
    EXPECT_FALSE(ReadUserFilterFile("/nonexistent/filter.uft", fresh).ok);
    // An endless stream of non-blanks ends at the read limit instead of hanging.
    if (std::filesystem::exists("/dev/zero")) {
        EXPECT_FALSE(ReadUserFilterFile("/dev/zero", fresh).ok);
    }
}

// The bitmap specs below name only the fields they need.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

// A bitmap file of any depth, written the way a paint program does.
struct BmpSpec {
    int bits = 24;
    int width = 0;
    int height = 0;
    bool topDown = false;
    uint32_t compression = 0;
    std::vector<uint32_t> palette;  // 0x00RRGGBB
    std::vector<uint32_t> masks;    // bit fields after the header
    std::function<uint32_t(int x, int y)> pixel;  // index, or the raw pixel value
};

void Put(std::string& s, uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) s.push_back(static_cast<char>((v >> (8 * k)) & 255));
}

std::string MakeBmp(const BmpSpec& b) {
    const size_t rowBytes = (static_cast<size_t>(b.width) * b.bits + 31) / 32 * 4;
    const size_t extras = b.palette.size() * 4 + b.masks.size() * 4;
    std::string s = "BM";
    Put(s, static_cast<uint32_t>(54 + extras + rowBytes * b.height), 4);
    Put(s, 0, 4);
    Put(s, static_cast<uint32_t>(54 + extras), 4);
    Put(s, 40, 4);
    Put(s, static_cast<uint32_t>(b.width), 4);
    Put(s, static_cast<uint32_t>(b.topDown ? -b.height : b.height), 4);
    Put(s, 1, 2);
    Put(s, static_cast<uint32_t>(b.bits), 2);
    Put(s, b.compression, 4);
    Put(s, 0, 4);
    Put(s, 2835, 4);
    Put(s, 2835, 4);
    Put(s, static_cast<uint32_t>(b.palette.size()), 4);
    Put(s, 0, 4);
    for (uint32_t m : b.masks) Put(s, m, 4);
    for (uint32_t c : b.palette) Put(s, c, 4);
    for (int row = 0; row < b.height; ++row) {
        const int y = b.topDown ? row : b.height - 1 - row;
        std::string line(rowBytes, '\0');
        for (int x = 0; x < b.width; ++x) {
            const uint32_t v = b.pixel(x, y);
            if (b.bits < 8) {
                const int bit = x * b.bits;
                line[bit / 8] = static_cast<char>(static_cast<uint8_t>(line[bit / 8]) | (v << (8 - b.bits - bit % 8)));
            } else {
                for (int k = 0; k < b.bits / 8; ++k) line[x * (b.bits / 8) + k] = static_cast<char>((v >> (8 * k)) & 255);
            }
        }
        s += line;
    }
    return s;
}

Picture24 Decode(const std::string& bytes) {
    Picture24 p;
    std::string problem;
    EXPECT_TRUE(DecodeBmp(bytes, p, problem)) << problem;
    return p;
}

TEST(UserFilter, AFileLongerThanTheTableSaysHowLongItWas) {
    UserFilter filter;
    std::string text = "a b c d e f g 501 r t";
    for (int i = 0; i < 501; ++i) text += " 0 " + std::to_string(i);
    const UserFilterRead read = ReadUserFilterText(text, filter);
    ASSERT_TRUE(read.ok) << read.problem;
    EXPECT_TRUE(read.Truncated());
    EXPECT_EQ(read.countInFile, 501);
    EXPECT_EQ(filter.userFilterCount, 500);
    EXPECT_EQ(filter.userFilterTable[499], 499);
    EXPECT_EQ(UserFilterTruncatedText("f.uft", 501),
              "ユーザフィルタ f.uft のデータ数 501 は上限の 500 を超えています。先頭の 500 組だけを使います。");
    EXPECT_FALSE(ReadUserFilterText(thirds, filter).Truncated());
    EXPECT_FALSE(ReadUserFilterText("a b c d e f g 900 r t 0", filter).Truncated()) << "a failed read cuts nothing";
}

TEST(WavelengthTableFile, RowsCommentsBlanksAndLineEnds) {
    const WavelengthTableRead read = ReadWavelengthTableText("# lambda sph foc\n\n 600  0.1\t-0.2\r\n   # indented note\n650 x\n700\n");
    ASSERT_TRUE(read.ok) << read.problem;
    ASSERT_EQ(read.rows.size(), 3u);
    EXPECT_EQ(read.rows[0].spherical, "0.1");
    EXPECT_EQ(read.rows[0].focus, "-0.2");
    EXPECT_EQ(read.rows[1].spherical, "x") << "cells are judged by the calculation, as the window's";
    EXPECT_EQ(read.rows[1].focus, "");
    EXPECT_EQ(read.rows[2].spherical, "");
    EXPECT_EQ(read.wavelengths, (std::vector<std::string>{"600", "650", "700"}));
    EXPECT_EQ(read.lineNumbers, (std::vector<int>{3, 5, 6}));

    EXPECT_TRUE(ReadWavelengthTableText("").ok);
    EXPECT_TRUE(ReadWavelengthTableText("").rows.empty());
    const WavelengthTableRead wide = ReadWavelengthTableText("600 0 0\n\n700 0 0 1\n");
    EXPECT_FALSE(wide.ok);
    EXPECT_EQ(wide.problem, "line 3 has 4 values; a row is \"wavelength spherical focus\"");
}

TEST(WavelengthTableFile, AByteOrderMarkAtTheStartIsSkipped) {
    // Editors on other systems often begin a UTF-8 file with EF BB BF; only there is it no text.
    const struct {
        const char* text;
        std::vector<std::string> wavelengths;
        std::vector<int> lineNumbers;
    } cases[] = {
        {"\xEF\xBB\xBF""600 0.1 0.2\r\n700 0 0\r\n", {"600", "700"}, {1, 2}},
        {"\xEF\xBB\xBF# lambda sph foc\n600 0 0\n", {"600"}, {2}},
        {"\xEF\xBB\xBF\n\n600 0 0", {"600"}, {3}},
        {"\xEF\xBB\xBF", {}, {}},
        {"600 0 0\n\xEF\xBB\xBF""700 0 0\n", {"600", "\xEF\xBB\xBF""700"}, {1, 2}},  // elsewhere it is a word
    };
    for (const auto& c : cases) {
        const WavelengthTableRead read = ReadWavelengthTableText(c.text);
        ASSERT_TRUE(read.ok) << read.problem;
        EXPECT_EQ(read.wavelengths, c.wavelengths) << c.text;
        EXPECT_EQ(read.lineNumbers, c.lineNumbers) << c.text;
    }
    EXPECT_EQ(ReadWavelengthTableText("\xEF\xBB\xBF""600 0.1 0.2\n").rows[0].spherical, "0.1");
}

TEST(WavelengthTableFile, MissingAndOversizedFilesAreRefused) {
    EXPECT_EQ(ReadWavelengthTableFile("/nonexistent/table.txt").problem, "the file cannot be opened");
    const auto dir = std::filesystem::temp_directory_path() / ("velmora-table-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(dir);
    { std::ofstream(dir / "big.txt", std::ios::binary) << std::string(wavelengthTableReadLimit + 1, '#'); }
    const WavelengthTableRead big = ReadWavelengthTableFile((dir / "big.txt").string());
    EXPECT_FALSE(big.ok);
    EXPECT_NE(big.problem.find("larger than 4 MiB"), std::string::npos) << big.problem;
    { std::ofstream(dir / "ok.txt", std::ios::binary) << "600 1 2\n"; }
    EXPECT_EQ(ReadWavelengthTableFile((dir / "ok.txt").string()).rows.size(), 1u);
    EXPECT_FALSE(ReadWavelengthTableFile(dir.string()).ok) << "a folder is no table";
    std::filesystem::remove_all(dir);
}

TEST(MaskBitmap, EveryCommonDepthBecomes24Bits) {
    // 8-bit grey palette, bottom-up: pixel value = (x + 3y) grey.
    BmpSpec grey{8, 5, 3};
    for (uint32_t k = 0; k < 256; ++k) grey.palette.push_back(k * 0x010101);
    grey.pixel = [](int x, int y) { return static_cast<uint32_t>(x + 3 * y); };
    const Picture24 g = Decode(MakeBmp(grey));
    ASSERT_EQ(g.width, 5);
    ASSERT_EQ(g.height, 3);
    EXPECT_EQ(g.Blue(4, 2), 10);
    EXPECT_EQ(g.Red(4, 2), 10);
    EXPECT_EQ(g.Green(1, 0), 1);

    // 1-bit and 4-bit with colour palettes, odd widths that pad their rows.
    BmpSpec mono{1, 11, 2, false, 0, {0x000000, 0xFFFFFF}};
    mono.pixel = [](int x, int) { return static_cast<uint32_t>(x % 2); };
    const Picture24 m = Decode(MakeBmp(mono));
    EXPECT_EQ(m.Blue(0, 0), 0);
    EXPECT_EQ(m.Blue(9, 1), 255);
    EXPECT_EQ(m.Green(10, 1), 0);
    BmpSpec nibble{4, 3, 1, true, 0, {0x102030, 0x405060, 0x708090}};
    nibble.pixel = [](int x, int) { return static_cast<uint32_t>(x); };
    const Picture24 n = Decode(MakeBmp(nibble));
    EXPECT_EQ(n.Red(2, 0), 0x70);
    EXPECT_EQ(n.Green(2, 0), 0x80);
    EXPECT_EQ(n.Blue(1, 0), 0x60);

    // 32 bits, plain (B, G, R, unused) and with bit fields; top-down.
    BmpSpec plain{32, 2, 2, true};
    plain.pixel = [](int x, int y) { return 0xFF000000u | static_cast<uint32_t>((x * 100) << 16 | (y * 50) << 8 | 7); };
    const Picture24 p = Decode(MakeBmp(plain));
    EXPECT_EQ(p.Red(1, 0), 100);
    EXPECT_EQ(p.Green(0, 1), 50);
    EXPECT_EQ(p.Blue(1, 1), 7);
    BmpSpec fields{32, 1, 1, false, 3, {}, {0x000000FF, 0x0000FF00, 0x00FF0000}};
    fields.pixel = [](int, int) { return 0x00112233u; };
    const Picture24 f = Decode(MakeBmp(fields));
    EXPECT_EQ(f.Red(0, 0), 0x33);
    EXPECT_EQ(f.Blue(0, 0), 0x11);

    // 16 bits, 5-5-5 by default and 5-6-5 by bit fields: full scale stays 255.
    BmpSpec rgb555{16, 2, 1};
    rgb555.pixel = [](int x, int) { return x == 0 ? 0x7C00u : 0x001Fu; };
    const Picture24 r = Decode(MakeBmp(rgb555));
    EXPECT_EQ(r.Red(0, 0), 255);
    EXPECT_EQ(r.Blue(0, 0), 0);
    EXPECT_EQ(r.Blue(1, 0), 255);
    BmpSpec rgb565{16, 1, 1, false, 3, {}, {0xF800, 0x07E0, 0x001F}};
    rgb565.pixel = [](int, int) { return 0x07E0u; };
    EXPECT_EQ(Decode(MakeBmp(rgb565)).Green(0, 0), 255);

    // The 24-bit files this program writes read back exactly.
    Picture24 own(3, 2);
    own.SetPixel(2, 1, 1, 2, 3);
    EXPECT_TRUE(SamePicture(Decode(EncodeBmp24(own)), own));
}

TEST(MaskBitmap, FilesThatAreNotReadablePicturesSaySo) {
    Picture24 kept(1, 1);
    kept.SetPixel(0, 0, 9, 9, 9);
    const Picture24 before = kept;
    std::string problem;
    BmpSpec rle{8, 4, 4, false, 1, {0, 0xFFFFFF}};
    rle.pixel = [](int, int) { return 0u; };
    BmpSpec huge{24, 9000, 2};
    huge.pixel = [](int, int) { return 0u; };
    std::string truncated = EncodeBmp24(Picture24(20, 20));
    truncated.resize(truncated.size() - 10);
    std::string badDepth = EncodeBmp24(Picture24(2, 2));
    badDepth[28] = 2;
    const std::pair<std::string, std::string> cases[] = {
        {"", "BMP"},
        {"GIF89a this is no bitmap at all", "BMP"},
        {MakeBmp(rle), "圧縮"},
        {MakeBmp(huge), "9000 x 2"},
        {truncated, "途中"},
        {badDepth, "2 ビット"},
        {std::string("BM") + std::string(30, '\0'), "ヘッダ"},
    };
    for (const auto& [bytes, mentions] : cases) {
        EXPECT_FALSE(DecodeBmp(bytes, kept, problem, userMaskMaxSide)) << mentions;
        EXPECT_NE(problem.find(mentions), std::string::npos) << problem;
        EXPECT_TRUE(SamePicture(kept, before));
    }
    EXPECT_FALSE(LoadUserMaskFile("/nonexistent/mask.bmp", kept, problem));
    EXPECT_TRUE(SamePicture(kept, before));
}

TEST(MaskPreview, TheMaskIsShown160PixelsWideFromTheTopLeft) {
    // 320 wide, a white left half: shown at half size, 80 white columns over 100 rows.
    const Picture24 wide = GreyPicture(320, 200, [](int x, int) { return x < 160 ? 255 : 0; });
    const Picture24 half = MaskPreviewCopy(wide);
    ASSERT_EQ(half.width, 160);
    ASSERT_EQ(half.height, 160);
    EXPECT_EQ(half.Blue(0, 0), 255);
    EXPECT_EQ(half.Blue(79, 99), 255);
    EXPECT_EQ(half.Red(79, 99), 255);
    EXPECT_EQ(half.Blue(80, 50), 0);
    EXPECT_EQ(half.Blue(40, 100), 0) << "below the mask: black";

    // Only the blue byte counts for the preview.
    Picture24 blue(160, 160);
    blue.SetPixel(5, 5, 0, 0, 200);
    EXPECT_EQ(MaskPreviewCopy(blue).Green(5, 5), 200);
    EXPECT_EQ(MaskPreviewCopy(blue).Red(6, 5), 0);

    // Narrower than 160: enlarged, not left undefined. 80 wide doubles.
    const Picture24 narrow = GreyPicture(80, 80, [](int x, int y) { return (x < 40 && y < 40) ? 255 : 0; });
    const Picture24 big = MaskPreviewCopy(narrow);
    EXPECT_EQ(big.Blue(0, 0), 255);
    EXPECT_EQ(big.Blue(79, 79), 255);
    EXPECT_EQ(big.Blue(80, 79), 0);
    EXPECT_EQ(big.Blue(159, 159), 0);
    const Picture24 ramp = GreyPicture(160, 160, [](int x, int y) { return x * 7 + y; });
    EXPECT_TRUE(SamePicture(MaskPreviewCopy(ramp), ramp)) << "160 wide is copied as it is";
}

TEST(MaskMinimumSize, ShortestStartWavelengthOfAllFourBands) {
    SimulationParameters p;
    EXPECT_EQ(MinimumMaskSize(p), 220) << "550000 / 400 x 160 / 1000";
    p.colorMode = ColorMode::Monochrome;
    EXPECT_EQ(MinimumMaskSize(p), 220) << "the colour bands count in monochrome too";
    p.whiteBand.min = 350;
    EXPECT_EQ(MinimumMaskSize(p), 251);  // 251.43
    p.aperture = 300;
    p.focalLength = 100;
    EXPECT_EQ(MinimumMaskSize(p), 4714);
    p.focalLength = 0;
    EXPECT_EQ(MinimumMaskSize(p), 0);
    p = SimulationParameters{};
    p.redBand.min = 20000;  // above the 10000 the comparison starts from: no effect
    EXPECT_EQ(MinimumMaskSize(p), 220);
}

}  // namespace
}  // namespace velmora
