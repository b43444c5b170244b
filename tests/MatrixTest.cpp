#include "core/Matrix.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <sys/resource.h>

namespace velmora {
namespace {

TEST(Matrix, AllocatorsZeroAndRefuseEmptyShapes) {
    RealMatrix m = nullptr;
    ASSERT_EQ(AllocRealMatrix(3, 5, m), 0);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 5; ++c) EXPECT_EQ(m[r][c], 0.0);
    FreeRealMatrix(3, 5, m);
    EXPECT_EQ(m, nullptr);

    IntMatrix im = nullptr;
    EXPECT_EQ(AllocIntMatrix(0, 5, im), 1);
    EXPECT_EQ(im, nullptr);
    RealVector v = nullptr;
    EXPECT_EQ(AllocRealVector(-1, v), 1);
    testing::internal::CaptureStdout();
    IntVector iv = nullptr;
    ASSERT_EQ(AllocIntVector(8, iv), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "extended int\n");
    FreeIntVector(iv);
}

// AddressSanitizer, as g++ (__SANITIZE_ADDRESS__) and clang (__has_feature) announce it.
#if defined(__SANITIZE_ADDRESS__)
#define VELMORA_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VELMORA_UNDER_ASAN 1
#endif
#endif

// A row that cannot be had: the rows obtained so far are given back and the integer
// allocator says so on standard output. Run in a child whose address space is capped.
[[noreturn, maybe_unused]] void AllocateBeyondACap() {
    rlimit cap{512u << 20, 512u << 20};
    setrlimit(RLIMIT_AS, &cap);
    testing::internal::CaptureStdout();
    IntMatrix m = nullptr;
    const int status = AllocIntMatrix(8, 16 << 20, m);  // 64 MiB rows, 512 MiB in all
    const std::string out = testing::internal::GetCapturedStdout();
    RealMatrix r = nullptr;
    const int realStatus = AllocRealMatrix(8, 16 << 20, r);
    // The holders, whose block is one allocation, give the same status and message.
    testing::internal::CaptureStdout();
    IntMatrixHolder held;
    const int heldStatus = held.Allocate(8, 16 << 20);
    const std::string heldOut = testing::internal::GetCapturedStdout();
    std::exit(status == 1 && m == nullptr && out == "Alloc Error  !!\n" && realStatus == 1 && r == nullptr &&
                      heldStatus == 1 && held.get() == nullptr && heldOut == out
                  ? 0
                  : 1);
}

TEST(MatrixDeathTest, AllocationFailureIsReported) {
#if defined(VELMORA_UNDER_ASAN)
    GTEST_SKIP() << "the address-space cap conflicts with the sanitizer's shadow memory";
#else
    EXPECT_EXIT(AllocateBeyondACap(), testing::ExitedWithCode(0), "");
#endif
}

// A grid is one aligned block, row after row; the kernel's row table points into it; copies
// copy the elements and moves hand the block over.
TEST(Grid, OneBlockRowAfterRowWithTheKernelsTableIntoIt) {
    RealGrid g(3, 5);
    ASSERT_EQ(g.size(), 15u);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(g.data()) % 64, 0u);
    for (double v : g) EXPECT_EQ(v, 0.0);
    for (int r = 0; r < 3; ++r) {
        EXPECT_EQ(g.Rows()[r], g.data() + r * 5);
        for (int c = 0; c < 5; ++c) g(r, c) = 10 * r + c;
    }
    EXPECT_EQ(g.data()[2 * 5 + 4], 24.0);

    RealGrid copy = g;
    copy(1, 1) = -1;
    EXPECT_EQ(g(1, 1), 11.0);
    EXPECT_NE(copy.data(), g.data());
    EXPECT_FALSE(copy == g);
    copy(1, 1) = 11;
    EXPECT_TRUE(copy == g);

    const double* block = g.data();
    RealGrid moved = std::move(g);
    EXPECT_EQ(moved.data(), block);
    EXPECT_EQ(moved.Rows()[2], block + 10);
    EXPECT_TRUE(g.empty());
    EXPECT_EQ(g.Rows(), nullptr);

    EXPECT_TRUE(RealGrid(0, 7).empty());
    EXPECT_THROW(RealGrid(-1, 7), std::invalid_argument);
}

// The kernel's holder keeps its 0/1 status over a grid made for transforms: its rows start on
// cache lines, and rows whose length is a multiple of 4 KiB lie one cache line more apart, so a
// pass down the columns does not fall into the same cache sets row after row.
TEST(Grid, TheHolderIsAGridForTransformsWithTheKernelsStatus) {
    RealMatrixHolder h;
    EXPECT_EQ(h.Allocate(0, 5), 1);
    EXPECT_EQ(h.get(), nullptr);
    struct Case {
        int cols;
        ptrdiff_t rowApart;  // in elements
    } cases[] = {{6, 8}, {512, 520}, {1024, 1032}, {1000, 1000}};
    for (const Case& c : cases) {
        ASSERT_EQ(h.Allocate(3, c.cols), 0);
        EXPECT_EQ(h.get()[1] - h.get()[0], c.rowApart) << c.cols;
        EXPECT_EQ(h.get()[2] - h.get()[1], c.rowApart) << c.cols;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(h.get()[1]) % 64, 0u) << c.cols;
        for (int r = 0; r < 3; ++r)
            for (int col = 0; col < c.cols; ++col) EXPECT_EQ(h[r][col], 0.0);
    }
    RealGrid padded = RealGrid::ForTransforms(2, 1024, true);
    padded(1, 1023) = 5;
    const RealGrid copy = padded;
    EXPECT_FALSE(copy.Dense());
    EXPECT_TRUE(copy == padded);
    EXPECT_EQ(copy(1, 1023), 5.0);

    RealMatrixHolder other;
    ASSERT_EQ(other.AllocateUncleared(2, 2), 0);
    h[2][5] = 7;
    double* row = h.get()[2];
    h.Swap(other);
    EXPECT_EQ(other.rows(), 3);
    EXPECT_EQ(other.get()[2], row);
    EXPECT_EQ(other[2][5], 7.0);
    EXPECT_EQ(h.rows(), 2);
}

// The peak as the measurements first found it: a scan in row order that moves on whenever it
// meets a larger value, from 0 at (noneI, noneJ). The fast search must give its value and place.
GridPeak ScannedPeak(const RealGrid& g, int noneI, int noneJ) {
    GridPeak p{0, noneI, noneJ};
    for (int i = 0; i < g.rows(); ++i)
        for (int j = 0; j < g.cols(); ++j)
            if (g(i, j) > p.value) p = {g(i, j), i, j};
    return p;
}

TEST(Grid, FirstPeakIsTheScansFirstLargestValue) {
    struct Case {
        const char* name;
        int rows, cols;
        std::function<double(std::mt19937&, int, int)> value;
    } cases[] = {
        {"random", 37, 61, [](std::mt19937& r, int, int) { return std::uniform_real_distribution<>(-1, 1)(r); }},
        // Few levels: the largest value occurs many times, in several rows and lanes.
        {"ties", 40, 29, [](std::mt19937& r, int, int) { return double(std::uniform_int_distribution<>(0, 3)(r)); }},
        {"NaNs and infinities",
         16, 17,
         [](std::mt19937& r, int i, int j) {
             if ((i + j) % 5 == 0) return std::nan("");
             return (i * j) % 13 == 12 ? HUGE_VAL : std::uniform_real_distribution<>(0, 1)(r);
         }},
        {"nothing positive", 9, 8, [](std::mt19937&, int i, int) { return i % 2 ? -0.0 : -3.0; }},
        {"one row", 1, 5, [](std::mt19937&, int, int j) { return j == 3 ? 2.0 : 1.0; }},
    };
    std::mt19937 random(5);
    for (const Case& c : cases) {
        RealGrid g(c.rows, c.cols);
        for (int i = 0; i < c.rows; ++i)
            for (int j = 0; j < c.cols; ++j) g(i, j) = c.value(random, i, j);
        const GridPeak fast = FirstPeak(g, c.rows / 2, c.cols / 2), plain = ScannedPeak(g, c.rows / 2, c.cols / 2);
        EXPECT_EQ(fast.value, plain.value) << c.name;
        EXPECT_EQ(fast.i, plain.i) << c.name;
        EXPECT_EQ(fast.j, plain.j) << c.name;
    }
}

TEST(Matrix, ClampAndMaximum) {
    IntMatrixHolder m;
    ASSERT_EQ(m.Allocate(1, 4), 0);
    m[0][0] = -3; m[0][1] = 255; m[0][2] = 300; m[0][3] = 254;
    ClampMatrix(0, 255, 1, 4, m.get());
    EXPECT_EQ(m[0][0], 0);
    EXPECT_EQ(m[0][1], 255);
    EXPECT_EQ(m[0][2], 255);
    EXPECT_EQ(m[0][3], 254);

    RealMatrixHolder r;
    ASSERT_EQ(r.Allocate(2, 3), 0);
    EXPECT_EQ(MatrixMaximum(2, 3, r.get()), 0.0);
    r[0][0] = -1; r[1][2] = -5;
    EXPECT_EQ(MatrixMaximum(2, 3, r.get()), 0.0) << "all-negative gives 0";
    r[1][1] = 2.5;
    EXPECT_EQ(MatrixMaximum(2, 3, r.get()), 2.5);
    ScaleMatrix(2, 2, 3, r.get());
    EXPECT_EQ(r[1][1], 5.0);
    EXPECT_EQ(r[1][2], -10.0);
}

// The maximum as the kernel first defined it: a scan from 0 that takes every value not below
// the best so far. The fast version must give its bits, the sign of a zero maximum included.
double ScannedMaximum(int rows, int cols, const RealMatrix m) {
    double best = 0;
    for (int r = 0; r < rows; ++r)
        for (int c = 0; c < cols; ++c)
            if (m[r][c] >= best) best = m[r][c];
    return best;
}

TEST(Matrix, MaximumGivesTheScansBitsWhateverTheValues) {
    const double nan = std::nan(""), inf = INFINITY;
    std::mt19937 random(7);
    std::uniform_real_distribution<double> uniform(-1, 1);
    // Widths below, at and beyond the eight lanes; special values anywhere in the grid.
    const struct {
        int rows, cols;
        std::vector<double> specials;
    } cases[] = {
        {3, 5, {}},           {4, 8, {-0.0}},        {5, 13, {nan}},       {2, 17, {nan, -0.0, 0.0}},
        {6, 9, {inf}},        {3, 24, {-inf, nan}},  {1, 1, {-0.0}},       {7, 31, {1e-310, -0.0}},
    };
    for (const auto& c : cases)
        for (const bool allNegative : {false, true}) {
            RealMatrixHolder m;
            ASSERT_EQ(m.Allocate(c.rows, c.cols), 0);
            for (int r = 0; r < c.rows; ++r)
                for (int k = 0; k < c.cols; ++k) m[r][k] = allNegative ? -std::fabs(uniform(random)) : uniform(random);
            for (size_t s = 0; s < c.specials.size(); ++s)
                m[static_cast<int>(random() % c.rows)][static_cast<int>(random() % c.cols)] = c.specials[s];
            const double expected = ScannedMaximum(c.rows, c.cols, m.get());
            const double got = MatrixMaximum(c.rows, c.cols, m.get());
            EXPECT_EQ(std::signbit(got), std::signbit(expected)) << c.rows << "x" << c.cols;
            EXPECT_EQ(got, expected) << c.rows << "x" << c.cols << (allNegative ? " all negative" : "");
        }
}

TEST(Matrix, ShrinkIsAnAreaWeightedBoxFilter) {
    RealMatrixHolder m;
    ASSERT_EQ(m.Allocate(4, 4), 0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) m[r][c] = 1;
    ASSERT_EQ(ShrinkMatrix(0.5, 4, 4, m.get()), 0);
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_DOUBLE_EQ(m[r][c], (r < 2 && c < 2) ? 1.0 : 0.0) << r << "," << c;

    // a = 1 changes nothing; a factor beyond 1 is refused untouched.
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(0, 1);
    RealMatrixHolder k;
    ASSERT_EQ(k.Allocate(7, 5), 0);
    double before[7][5];
    double sum = 0;
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 5; ++c) sum += before[r][c] = k[r][c] = u(rng);
    ASSERT_EQ(ShrinkMatrix(1, 7, 5, k.get()), 0);
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 5; ++c) EXPECT_EQ(k[r][c], before[r][c]);
    EXPECT_EQ(ShrinkMatrix(1.5, 7, 5, k.get()), 1);
    EXPECT_EQ(ShrinkMatrix(0, 7, 5, k.get()), 1);

    // An awkward factor keeps the content times a^2 and stays within a x size.
    const double a = 0.37;
    ASSERT_EQ(ShrinkMatrix(a, 7, 5, k.get()), 0);
    double after = 0;
    for (int r = 0; r < 7; ++r)
        for (int c = 0; c < 5; ++c) {
            after += k[r][c];
            if (r > a * 7 || c > a * 5) {
                EXPECT_EQ(k[r][c], 0.0) << r << "," << c;
            }
        }
    EXPECT_NEAR(after, sum * a * a, 1e-12);
}

}  // namespace
}  // namespace velmora
