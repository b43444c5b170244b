#include "core/Zernike.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/UserMessage.h"

namespace velmora {
namespace {

// Wyant & Creath (1992), table 13: the Fringe set by index, as (n, m).
constexpr ZernikeMode fringeModes[fringeLastIndex] = {
    {0, 0},                                                                       // Z1
    {1, 1},  {1, -1}, {2, 0},                                                     // Z2..Z4
    {2, 2},  {2, -2}, {3, 1},  {3, -1}, {4, 0},                                   // Z5..Z9
    {3, 3},  {3, -3}, {4, 2},  {4, -2}, {5, 1},  {5, -1}, {6, 0},                 // Z10..Z16
    {4, 4},  {4, -4}, {5, 3},  {5, -3}, {6, 2},  {6, -2}, {7, 1}, {7, -1}, {8, 0},  // Z17..Z25
    {5, 5},  {5, -5}, {6, 4},  {6, -4}, {7, 3},  {7, -3}, {8, 2}, {8, -2}, {9, 1}, {9, -1}, {10, 0},  // Z26..Z36
    {12, 0},                                                                      // Z37
};

struct ModeName {
    ZernikeMode mode;
    const char* name;
};

// Names of the terms as opticians call them; the angle is that of the cosine form's first
// maximum turned by 90 / |m| degrees for the sine form.
const ModeName modeNames[] = {
    {{0, 0}, QT_TRANSLATE_NOOP("Zernike", "ピストン")},
    {{1, 1}, QT_TRANSLATE_NOOP("Zernike", "チルト X")},
    {{1, -1}, QT_TRANSLATE_NOOP("Zernike", "チルト Y")},
    {{2, 0}, QT_TRANSLATE_NOOP("Zernike", "デフォーカス")},
    {{2, 2}, QT_TRANSLATE_NOOP("Zernike", "非点収差 0°")},
    {{2, -2}, QT_TRANSLATE_NOOP("Zernike", "非点収差 45°")},
    {{3, 1}, QT_TRANSLATE_NOOP("Zernike", "コマ X")},
    {{3, -1}, QT_TRANSLATE_NOOP("Zernike", "コマ Y")},
    {{4, 0}, QT_TRANSLATE_NOOP("Zernike", "球面収差")},
    {{3, 3}, QT_TRANSLATE_NOOP("Zernike", "トレフォイル 0°")},
    {{3, -3}, QT_TRANSLATE_NOOP("Zernike", "トレフォイル 30°")},
    {{4, 2}, QT_TRANSLATE_NOOP("Zernike", "2次非点収差 0°")},
    {{4, -2}, QT_TRANSLATE_NOOP("Zernike", "2次非点収差 45°")},
    {{5, 1}, QT_TRANSLATE_NOOP("Zernike", "2次コマ X")},
    {{5, -1}, QT_TRANSLATE_NOOP("Zernike", "2次コマ Y")},
    {{6, 0}, QT_TRANSLATE_NOOP("Zernike", "2次球面収差")},
    {{4, 4}, QT_TRANSLATE_NOOP("Zernike", "テトラフォイル 0°")},
    {{4, -4}, QT_TRANSLATE_NOOP("Zernike", "テトラフォイル 22.5°")},
    {{5, 3}, QT_TRANSLATE_NOOP("Zernike", "2次トレフォイル 0°")},
    {{5, -3}, QT_TRANSLATE_NOOP("Zernike", "2次トレフォイル 30°")},
    {{6, 2}, QT_TRANSLATE_NOOP("Zernike", "3次非点収差 0°")},
    {{6, -2}, QT_TRANSLATE_NOOP("Zernike", "3次非点収差 45°")},
    {{7, 1}, QT_TRANSLATE_NOOP("Zernike", "3次コマ X")},
    {{7, -1}, QT_TRANSLATE_NOOP("Zernike", "3次コマ Y")},
    {{8, 0}, QT_TRANSLATE_NOOP("Zernike", "3次球面収差")},
    {{5, 5}, QT_TRANSLATE_NOOP("Zernike", "ペンタフォイル 0°")},
    {{5, -5}, QT_TRANSLATE_NOOP("Zernike", "ペンタフォイル 18°")},
    {{6, 4}, QT_TRANSLATE_NOOP("Zernike", "2次テトラフォイル 0°")},
    {{6, -4}, QT_TRANSLATE_NOOP("Zernike", "2次テトラフォイル 22.5°")},
    {{7, 3}, QT_TRANSLATE_NOOP("Zernike", "3次トレフォイル 0°")},
    {{7, -3}, QT_TRANSLATE_NOOP("Zernike", "3次トレフォイル 30°")},
    {{8, 2}, QT_TRANSLATE_NOOP("Zernike", "4次非点収差 0°")},
    {{8, -2}, QT_TRANSLATE_NOOP("Zernike", "4次非点収差 45°")},
    {{9, 1}, QT_TRANSLATE_NOOP("Zernike", "4次コマ X")},
    {{9, -1}, QT_TRANSLATE_NOOP("Zernike", "4次コマ Y")},
    {{10, 0}, QT_TRANSLATE_NOOP("Zernike", "4次球面収差")},
    {{12, 0}, QT_TRANSLATE_NOOP("Zernike", "5次球面収差")},
    {{6, 6}, QT_TRANSLATE_NOOP("Zernike", "ヘキサフォイル 0°")},
    {{6, -6}, QT_TRANSLATE_NOOP("Zernike", "ヘキサフォイル 15°")},
};

double Factorial(int k) {
    double f = 1;
    for (int i = 2; i <= k; ++i) f *= i;
    return f;
}

// The coefficient of rho^(n - 2s) in the radial polynomial R_n^m (Born & Wolf, Principles of
// Optics, 7th ed., 9.2.1 eq. (6)); exact in doubles for n <= 12.
double RadialCoefficient(int n, int m, int s) {
    const double sign = s % 2 == 0 ? 1.0 : -1.0;
    return sign * Factorial(n - s) / (Factorial(s) * Factorial((n + m) / 2 - s) * Factorial((n - m) / 2 - s));
}

}  // namespace

int FirstZernikeIndex(ZernikeOrdering ordering) {
    return ordering == ZernikeOrdering::Fringe ? fringeFirstIndex : ansiFirstIndex;
}

int LastZernikeIndex(ZernikeOrdering ordering) {
    return ordering == ZernikeOrdering::Fringe ? fringeLastIndex : ansiLastIndex;
}

ZernikeMode ZernikeModeOf(ZernikeOrdering ordering, int index) {
    if (ordering == ZernikeOrdering::Fringe) return fringeModes[index - fringeFirstIndex];
    // j = (n (n + 2) + m) / 2: degree n starts at j = n (n + 1) / 2.
    int n = 0;
    while ((n + 1) * (n + 2) / 2 <= index) ++n;
    return {n, 2 * index - n * (n + 2)};
}

int ZernikeIndexOf(ZernikeOrdering ordering, ZernikeMode mode) {
    if (mode.n < 0 || std::abs(mode.m) > mode.n || (mode.n - mode.m) % 2 != 0) return -1;
    if (ordering == ZernikeOrdering::Fringe) {
        for (int k = 0; k < fringeLastIndex; ++k)
            if (fringeModes[k] == mode) return k + fringeFirstIndex;
        return -1;
    }
    if (mode.n > zernikeMaximumDegree) return -1;
    return (mode.n * (mode.n + 2) + mode.m) / 2;
}

double ZernikeScale(ZernikeOrdering ordering, int index) {
    if (ordering == ZernikeOrdering::Fringe) return 1;
    const ZernikeMode mode = ZernikeModeOf(ordering, index);
    return std::sqrt(mode.m == 0 ? mode.n + 1.0 : 2.0 * (mode.n + 1));
}

const char* ZernikeModeName(ZernikeMode mode) {
    for (const ModeName& entry : modeNames)
        if (entry.mode == mode) return entry.name;
    return nullptr;
}

ZernikeSet AnsiToFringe(const ZernikeSet& set, std::vector<int>* uncovered) {
    if (set.ordering == ZernikeOrdering::Fringe) return set;
    ZernikeSet fringe;
    for (const auto& [j, c] : set.coefficients) {
        const int index = ZernikeIndexOf(ZernikeOrdering::Fringe, ZernikeModeOf(ZernikeOrdering::Ansi, j));
        if (index < 0) {
            if (uncovered) uncovered->push_back(j);
            continue;
        }
        fringe.coefficients[index] = c * ZernikeScale(ZernikeOrdering::Ansi, j);
    }
    return fringe;
}

ZernikeSet ConvertZernikeSet(const ZernikeSet& set, ZernikeOrdering ordering, std::vector<int>* uncovered) {
    ZernikeSet converted;
    converted.ordering = ordering;
    for (const auto& [index, c] : set.coefficients) {
        if (c == 0) continue;
        const int target = ZernikeIndexOf(ordering, ZernikeModeOf(set.ordering, index));
        if (target < 0) {
            if (uncovered) uncovered->push_back(index);
            continue;
        }
        converted.coefficients[target] =
            set.ordering == ordering ? c : c * ZernikeScale(set.ordering, index) / ZernikeScale(ordering, target);
    }
    return converted;
}

double ZernikePolynomial(ZernikeMode mode, double x, double y) {
    const double rho = std::hypot(x, y);
    const double theta = std::atan2(y, x);
    const int m = std::abs(mode.m);
    double radial = 0;
    for (int s = 0; s <= (mode.n - m) / 2; ++s) radial += RadialCoefficient(mode.n, m, s) * std::pow(rho, mode.n - 2 * s);
    if (mode.m == 0) return radial;
    return radial * (mode.m > 0 ? std::cos(m * theta) : std::sin(m * theta));
}

ZernikeWavefront::Form ZernikeWavefront::FormOf(ZernikeMode mode) {
    if (mode == ZernikeMode{1, 1}) return Form::TiltX;
    if (mode == ZernikeMode{1, -1}) return Form::TiltY;
    if (mode == ZernikeMode{2, 0}) return Form::Focus;
    if (mode == ZernikeMode{3, 1}) return Form::ComaX;
    if (mode == ZernikeMode{3, -1}) return Form::ComaY;
    if (mode == ZernikeMode{4, 0}) return Form::Spherical;
    return Form::General;
}

ZernikeWavefront::ZernikeWavefront(const ZernikeSet& set) {
    for (const auto& [index, c] : set.coefficients) {
        if (c == 0) continue;
        const ZernikeMode mode = ZernikeModeOf(set.ordering, index);
        Term t;
        t.coefficient = c * ZernikeScale(set.ordering, index);
        t.m = std::abs(mode.m);
        t.sine = mode.m < 0;
        t.degree = (mode.n - t.m) / 2;
        for (int s = 0; s <= t.degree; ++s) t.radial[static_cast<size_t>(t.degree - s)] = RadialCoefficient(mode.n, t.m, s);
        t.form = FormOf(mode);
        if (t.m > maxM_) maxM_ = t.m;
        terms_.push_back(t);
    }
    // The terms the panel also has go first, in the panel's order of addition (spherical,
    // focus, coma X and Y, tilt X and Y): a set of them alone then adds up as the panel's
    // coefficients do, to the bit. The others follow in index order.
    auto rank = [](Form f) {
        switch (f) {
        case Form::Spherical: return 0;
        case Form::Focus: return 1;
        case Form::ComaX: return 2;
        case Form::ComaY: return 3;
        case Form::TiltX: return 4;
        case Form::TiltY: return 5;
        case Form::General: break;
        }
        return 6;
    };
    std::stable_sort(terms_.begin(), terms_.end(), [&](const Term& a, const Term& b) { return rank(a.form) < rank(b.form); });
}

double ZernikeWavefront::Evaluate(double x, double y, double rho2, double rho4) const {
    // re[k] + i im[k] = (x + iy)^k = rho^k (cos k theta + i sin k theta).
    double re[zernikeMaximumDegree + 1];
    double im[zernikeMaximumDegree + 1];
    re[0] = 1;
    im[0] = 0;
    for (int k = 1; k <= maxM_; ++k) {
        re[k] = re[k - 1] * x - im[k - 1] * y;
        im[k] = re[k - 1] * y + im[k - 1] * x;
    }
    double w = 0;
    for (const Term& t : terms_) {
        double v;
        switch (t.form) {
        // The panel's expressions (core/Wavefront.cpp), in its order of operations.
        case Form::TiltX: v = t.coefficient * x; break;
        case Form::TiltY: v = t.coefficient * y; break;
        case Form::Focus: v = t.coefficient * (2 * rho2 - 1); break;
        case Form::ComaX: v = t.coefficient * (3 * rho2 - 2) * x; break;
        case Form::ComaY: v = t.coefficient * (3 * rho2 - 2) * y; break;
        case Form::Spherical: v = t.coefficient * (6 * rho4 - 6 * rho2 + 1); break;
        case Form::General:
        default: {
            double r = t.radial[static_cast<size_t>(t.degree)];
            for (int k = t.degree - 1; k >= 0; --k) r = r * rho2 + t.radial[static_cast<size_t>(k)];
            v = t.coefficient * r * (t.sine ? im[t.m] : re[t.m]);
            break;
        }
        }
        w += v;
    }
    return w;
}

}  // namespace velmora
