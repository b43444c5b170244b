#include "core/Fft.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include <cmath>
#include <complex>
#include <cstring>
#include <random>
#include <vector>

#include "core/Fft2DPasses.h"
#include "pupil/PupilModel.h"
#include "ReferenceAlgorithms.h"

namespace velmora {
namespace {

const double pi = 3.14159265358979323846;

struct Tables1D {
    explicit Tables1D(int n) : n(n), sine(static_cast<size_t>(n * 1.25) + 1, 999.0), rev(n) {
        MakeSineTable(n, sine.data());
        MakeBitReverseTable(n, rev.data());
    }
    int n;
    std::vector<double> sine;
    std::vector<int32_t> rev;
};

TEST(SineTable, EntriesOfTheQuarterWaveTable) {
    Tables1D t(1024);
    EXPECT_EQ(t.sine[256], 1.0);
    EXPECT_EQ(t.sine[128], std::sqrt(0.5));
    EXPECT_EQ(t.sine[0], 0.0);
    EXPECT_EQ(t.sine[512], 0.0);
    EXPECT_EQ(t.sine[1024], 0.0);
    EXPECT_EQ(t.sine[1280], 999.0) << "the table has 1280 entries and writes nothing beyond";
    for (int k = 0; k < 1280; ++k) EXPECT_NEAR(t.sine[k], std::sin(2 * pi * k / 1024), 1e-15) << "k=" << k;

    Tables1D four(4);  // eighth = 0: symmetry steps alone
    EXPECT_EQ(four.sine[0], 0.0);
    EXPECT_EQ(four.sine[1], 1.0);
    EXPECT_EQ(four.sine[2], 0.0);
    EXPECT_EQ(four.sine[3], -1.0);
    EXPECT_EQ(four.sine[4], 0.0);
}

TEST(FftTables, TraceLinesAndRefusedLengths) {
    testing::internal::CaptureStdout();
    FftTables t;
    ASSERT_EQ(t.Create(1024), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "extended int\na\nb\n");
    EXPECT_EQ(t.n, 1024);
    EXPECT_EQ(t.Create(1000), 1) << "not a power of two";
    EXPECT_EQ(t.Create(8), 1) << "narrower than the vector lanes";
    EXPECT_EQ(t.n, 0);
}

TEST(BitReverseTable, SixteenAndOneThousandTwentyFour) {
    Tables1D t(16);
    EXPECT_EQ(t.rev, (std::vector<int32_t>{0, 8, 4, 12, 2, 10, 6, 14, 1, 9, 5, 13, 3, 11, 7, 15}));
    Tables1D big(1024);
    for (int i = 0; i < 1024; ++i) {
        int r = 0;
        for (int b = 0; b < 10; ++b) r |= ((i >> b) & 1) << (9 - b);
        ASSERT_EQ(big.rev[i], r) << "i=" << i;
    }
}

TEST(Fft, KnownTransforms) {
    const int n = 64;
    Tables1D t(n);
    std::vector<double> x(n, 0.0), y(n, 0.0);
    x[0] = 1;
    Fft(n, t.rev.data(), t.sine.data(), x.data(), y.data());
    for (int k = 0; k < n; ++k) {
        EXPECT_DOUBLE_EQ(x[k], 1.0 / n);
        EXPECT_EQ(y[k], 0.0);
    }

    for (int j = 0; j < n; ++j) { x[j] = std::cos(2 * pi * j / n); y[j] = 0; }
    Fft(n, t.rev.data(), t.sine.data(), x.data(), y.data());
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(x[k], (k == 1 || k == n - 1) ? 0.5 : 0.0, 1e-15) << "k=" << k;
        EXPECT_NEAR(y[k], 0.0, 1e-15);
    }

    for (int j = 0; j < n; ++j) { x[j] = std::cos(2 * pi * j / n); y[j] = std::sin(2 * pi * j / n); }
    Fft(n, t.rev.data(), t.sine.data(), x.data(), y.data());
    for (int k = 0; k < n; ++k) {
        EXPECT_NEAR(x[k], k == 1 ? 1.0 : 0.0, 1e-15) << "exp(+2 pi i j/n) at k=" << k;
        EXPECT_NEAR(y[k], 0.0, 1e-15);
    }
}

TEST(Fft, AgreesWithDirectDftOnRandomData) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int n : {4, 8, 32, 256, 1024}) {
        std::vector<double> sine(static_cast<size_t>(n * 1.25) + 2);
        std::vector<int32_t> rev(n);
        MakeSineTable(n, sine.data());
        MakeBitReverseTable(n, rev.data());
        std::vector<double> x(n), y(n);
        for (int j = 0; j < n; ++j) { x[j] = u(rng); y[j] = u(rng); }
        std::vector<std::complex<long double>> expected(n);
        for (int k = 0; k < n; ++k) {
            std::complex<long double> sum = 0;
            for (int j = 0; j < n; ++j) {
                long double angle = -2.0L * 3.14159265358979323846264338L * ((static_cast<long long>(j) * k) % n) / n;
                sum += std::complex<long double>(x[j], y[j]) * std::complex<long double>(std::cos(angle), std::sin(angle));
            }
            expected[k] = sum / static_cast<long double>(n);
        }
        Fft(n, rev.data(), sine.data(), x.data(), y.data());
        for (int k = 0; k < n; ++k) {
            ASSERT_NEAR(x[k], static_cast<double>(expected[k].real()), 1e-14) << "n=" << n << " k=" << k;
            ASSERT_NEAR(y[k], static_cast<double>(expected[k].imag()), 1e-14) << "n=" << n << " k=" << k;
        }
    }
}

class Field {
public:
    explicit Field(int n) : n_(n) {
        re.Allocate(n, n);
        im.Allocate(n, n);
    }
    void CopyFrom(const Field& o) {
        for (int r = 0; r < n_; ++r) {
            std::memcpy(re[r], o.re[r], sizeof(double) * n_);
            std::memcpy(im[r], o.im[r], sizeof(double) * n_);
        }
    }
    // Bitwise equality, so that -0 and +0 or two NaNs are told apart.
    bool SameBits(const Field& o) const {
        for (int r = 0; r < n_; ++r)
            if (std::memcmp(re[r], o.re[r], sizeof(double) * n_) || std::memcmp(im[r], o.im[r], sizeof(double) * n_))
                return false;
        return true;
    }
    RealMatrixHolder re, im;

private:
    int n_;
};

TEST(Fft2D, ImpulseAndConstant) {
    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    Field f(gridSize);
    f.re[0][0] = 1;
    Fft2D(t, f.re.get(), f.im.get());
    for (int r = 0; r < gridSize; r += 37)
        for (int c = 0; c < gridSize; c += 41) {
            ASSERT_DOUBLE_EQ(f.re[r][c], 1.0 / (1024.0 * 1024.0)) << r << "," << c;
            ASSERT_EQ(f.im[r][c], 0.0);
        }

    Field g(gridSize);
    for (int r = 0; r < gridSize; ++r)
        for (int c = 0; c < gridSize; ++c) g.re[r][c] = 0.75;
    Fft2D(t, g.re.get(), g.im.get());
    EXPECT_DOUBLE_EQ(g.re[512][512], 0.75) << "zero frequency moves to the centre";
    double others = 0;
    for (int r = 0; r < gridSize; ++r)
        for (int c = 0; c < gridSize; ++c)
            if (r != 512 || c != 512) others = std::max(others, std::hypot(g.re[r][c], g.im[r][c]));
    EXPECT_LT(others, 1e-15);
}

TEST(Fft2D, ProgressRunsOverColumnsThenRows) {
    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    Field f(gridSize);
    f.re[3][5] = 1;
    std::vector<int> seen;
    Fft2D(t, f.re.get(), f.im.get(), [&](int p) { seen.push_back(p); });
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.front(), 0);
    EXPECT_EQ(seen.back(), 99);
    for (size_t k = 1; k < seen.size(); ++k) EXPECT_GT(seen[k], seen[k - 1]);
}

// Random content with zero columns and signed zeros, where a shortcut would show.
void FillAwkward(Field& f, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> u(-1, 1);
    for (int r = 0; r < gridSize; ++r)
        for (int c = 0; c < gridSize; ++c) {
            const bool zeroColumn = (c % 9 == 0) || (c >= 600 && c < 700);
            f.re[r][c] = zeroColumn ? 0.0 : u(rng);
            f.im[r][c] = zeroColumn ? 0.0 : u(rng);
        }
    for (int r = 0; r < gridSize; r += 5) f.re[r][700] = -0.0;  // a column of zeros, one signed
    f.im[17][801] = -0.0;
}

// `to` made the straightforward transform of `from`.
void ReferenceTransform(const FftTables& t, const Field& from, Field& to) {
    to.CopyFrom(from);
    reference::Fft2D(t, to.re.get(), to.im.get());
}

TEST(Fft2D, BitIdenticalToTheStraightforwardAlgorithm) {
    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    Field input(gridSize);
    FillAwkward(input, 11);

    Field expected(gridSize);
    ReferenceTransform(t, input, expected);

    Field fast(gridSize);
    fast.CopyFrom(input);
    Fft2D(t, fast.re.get(), fast.im.get());
    EXPECT_TRUE(fast.SameBits(expected)) << "dispatched path";

    // Both builds of the passes, whatever the machine picks.
    struct Build {
        const char* name;
        bool runs;
        void (*passes)(const detail::Fft2DPassArgs&);
    };
    const Build builds[] = {
        {"baseline", true, &detail::Fft2DPassesBaseline},
        {"AVX2", static_cast<bool>(__builtin_cpu_supports("avx2")), &detail::Fft2DPassesAvx2},
        {"AVX-512", static_cast<bool>(__builtin_cpu_supports("avx512f")), &detail::Fft2DPassesAvx512},
    };
    for (const Build& b : builds) {
        if (!b.runs) continue;
        Field lanes(gridSize);
        lanes.CopyFrom(input);
        FftWorkspace ws;
        ASSERT_EQ(ws.Create(gridSize), 0);
        detail::Fft2DPassArgs args{gridSize, t.bitReverseTable, t.sineTable, lanes.re.get(), lanes.im.get(),
                                   nullptr, 0, ws.laneWork, nullptr, nullptr};
        b.passes(args);
        EXPECT_TRUE(lanes.SameBits(expected)) << b.name << " build";
    }
}

TEST(Fft2D, BitIdenticalOnTheDefaultPupil) {
    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    SimulationParameters p;
    PupilInputs in;
    in.params = &p;
    RealMatrixHolder grid;
    grid.Allocate(gridSize, gridSize);
    const int np = BuildPupil(in, 600, grid.get());
    Field fast(gridSize), expected(gridSize);
    SamplePhase(np, AberrationsInWaves(p), grid.get(), fast.re.get(), fast.im.get());
    ReferenceTransform(t, fast, expected);
    Fft2D(t, fast.re.get(), fast.im.get());
    EXPECT_TRUE(fast.SameBits(expected));
    EXPECT_GT(fast.re[512][512], 0.0);
}

TEST(Fft2D, AccumulateEqualsTransformThenSquaredModulus) {
    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    Field input(gridSize);
    FillAwkward(input, 5);
    RealMatrixHolder accFast, accRef;
    accFast.Allocate(gridSize, gridSize);
    accRef.Allocate(gridSize, gridSize);
    for (int r = 0; r < gridSize; ++r)
        for (int c = 0; c < gridSize; ++c) accFast[r][c] = accRef[r][c] = (r * 31 + c) * 1e-9;

    const double w = 1.1900826446280992;
    Field ref(gridSize);
    ReferenceTransform(t, input, ref);
    for (int r = 0; r < gridSize; ++r)
        for (int c = 0; c < gridSize; ++c) accRef[r][c] += (ref.re[r][c] * ref.re[r][c] + ref.im[r][c] * ref.im[r][c]) * w;

    Fft2DAccumulate(t, input.re.get(), input.im.get(), accFast.get(), w);
    for (int r = 0; r < gridSize; ++r)
        ASSERT_EQ(std::memcmp(accFast[r], accRef[r], sizeof(double) * gridSize), 0) << "row " << r;
}

// The column part over every column, then the row part over every row, is the transform with
// the half-grid swap left out, to the bit; the row part touches only the rows it is given.
TEST(Fft2D, ColumnThenRowPartsAreTheUnswappedTransform) {
    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    FftWorkspace ws;
    ASSERT_EQ(ws.Create(gridSize), 0);
    Field input(gridSize);
    FillAwkward(input, 7);
    Field ref(gridSize);
    ReferenceTransform(t, input, ref);
    Fft2DColumnPart(t, ws, input.re.get(), input.im.get(), 0, gridSize);
    const double untouched = input.re[gridSize - 1][3];
    Fft2DRowPart(t, ws, input.re.get(), input.im.get(), 0, gridSize - 8);
    EXPECT_EQ(input.re[gridSize - 1][3], untouched);
    Fft2DRowPart(t, ws, input.re.get(), input.im.get(), gridSize - 8, gridSize);
    const int h = gridSize / 2;
    for (int r = 0; r < gridSize; ++r)
        for (int c = 0; c < gridSize; ++c) {
            const int sr = (r + h) % gridSize, sc = (c + h) % gridSize;
            ASSERT_EQ(std::memcmp(&input.re[r][c], &ref.re[sr][sc], sizeof(double)), 0) << r << ", " << c;
            ASSERT_EQ(std::memcmp(&input.im[r][c], &ref.im[sr][sc], sizeof(double)), 0) << r << ", " << c;
        }
    EXPECT_THROW(Fft2DRowPart(t, ws, input.re.get(), input.im.get(), 4, 64), std::invalid_argument);
}

// The tables are only read, so transforms on two threads that share them, each with its own
// workspace, give the same bits as one after the other.
TEST(Fft2D, TwoTransformsAtOnceShareTheTables) {
    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    Field a(gridSize), b(gridSize), expectedA(gridSize), expectedB(gridSize);
    FillAwkward(a, 21);
    FillAwkward(b, 22);
    expectedA.CopyFrom(a);
    expectedB.CopyFrom(b);
    Fft2D(t, expectedA.re.get(), expectedA.im.get());
    Fft2D(t, expectedB.re.get(), expectedB.im.get());

    FftWorkspace wsA, wsB;
    ASSERT_EQ(wsA.Create(gridSize), 0);
    ASSERT_EQ(wsB.Create(gridSize), 0);
    std::thread other([&] { Fft2D(t, wsB, b.re.get(), b.im.get()); });
    Fft2D(t, wsA, a.re.get(), a.im.get());
    other.join();
    EXPECT_TRUE(a.SameBits(expectedA));
    EXPECT_TRUE(b.SameBits(expectedB));
}

TEST(Fft2D, RefusesTablesOrWorkspaceThatDoNotFit) {
    Field f(gridSize);
    FftTables unbuilt;
    FftWorkspace ws;
    ASSERT_EQ(ws.Create(gridSize), 0);
    EXPECT_THROW(Fft2D(unbuilt, ws, f.re.get(), f.im.get()), std::invalid_argument);
    EXPECT_THROW(Fft2D(unbuilt, f.re.get(), f.im.get()), std::invalid_argument);

    FftTables t;
    ASSERT_EQ(t.Create(gridSize), 0);
    FftWorkspace narrow;
    ASSERT_EQ(narrow.Create(512), 0);
    EXPECT_THROW(Fft2D(t, narrow, f.re.get(), f.im.get()), std::invalid_argument);
    FftWorkspace none;
    EXPECT_THROW(Fft2DAccumulate(t, none, f.re.get(), f.im.get(), f.re.get(), 1.0), std::invalid_argument);
    EXPECT_EQ(none.Create(1000), 1) << "not a power of two";
}

}  // namespace
}  // namespace velmora
