#include "core/NumberText.h"

#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

namespace velmora {
namespace {

std::string_view TrimBlanks(std::string_view s) {
    auto isBlank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
    return s;
}

[[noreturn]] void Refuse(std::string_view text, const char* what) {
    throw ConversionError("'" + std::string(text) + "' is not a valid " + what + " value");
}

// Accepts [sign] digits [. digits] [e [sign] digits] or [sign] . digits [...]; nothing else.
bool IsPlainDecimal(std::string_view s) {
    size_t i = 0;
    if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
    size_t digits = 0;
    while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++digits; }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++digits; }
    }
    if (digits == 0) return false;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E')) {
        ++i;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) ++i;
        size_t expDigits = 0;
        while (i < s.size() && s[i] >= '0' && s[i] <= '9') { ++i; ++expDigits; }
        if (expDigits == 0) return false;
    }
    return i == s.size();
}

locale_t CLocale() {
    static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return c;
}

}  // namespace

int ParseInteger(std::string_view text) {
    std::string_view s = TrimBlanks(text);
    if (!s.empty() && s.front() == '+') s.remove_prefix(1);
    int value = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size()) Refuse(text, "integer");
    return value;
}

long double ParseExtended(std::string_view text) {
    std::string s(TrimBlanks(text));
    if (!IsPlainDecimal(s)) Refuse(text, "floating point");
    errno = 0;
    long double value = strtold_l(s.c_str(), nullptr, CLocale());
    if (!std::isfinite(value) || std::fabs(value) > 1.7976931348623157e308L) Refuse(text, "floating point");
    return value;
}

double ParseDecimal(std::string_view text) {
    std::string s(TrimBlanks(text));
    if (!IsPlainDecimal(s)) Refuse(text, "floating point");
    errno = 0;
    double value = strtod_l(s.c_str(), nullptr, CLocale());
    if (!std::isfinite(value)) Refuse(text, "floating point");
    return value;
}

std::string FormatGeneral(double value) {
    if (value == 0) return "0";  // also folds -0
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.15g", value);
    std::string s(buf);
    // Exponent in the toolkit's form: "1E-5", "1.5E20".
    auto e = s.find('e');
    if (e != std::string::npos) {
        std::string mantissa = s.substr(0, e);
        int exponent = std::atoi(s.c_str() + e + 1);
        s = mantissa + "E" + std::to_string(exponent);
    }
    return s;
}

std::string FormatStream(double value) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%g", value);
    return buf;
}

std::string FormatFixed(double value, int decimals) {
    char buf[400];
    // An exact tie (0.125 to two decimals) rounds away from zero, as a reader expects;
    // printf would round it to even. For up to three decimals the scaled value is exact in
    // extended precision, so the tie test is too.
    long double scaled = static_cast<long double>(value);
    for (int k = 0; k < decimals; ++k) scaled *= 10;
    if (decimals <= 3 && std::fabs(scaled - std::trunc(scaled)) == 0.5L) {
        long double rounded = std::trunc(scaled) + (scaled > 0 ? 1 : -1);
        for (int k = 0; k < decimals; ++k) rounded /= 10;
        std::snprintf(buf, sizeof buf, "%.*Lf", decimals, rounded);
    } else {
        std::snprintf(buf, sizeof buf, "%.*f", decimals, value);
    }
    std::string s(buf);
    if (s.find_first_not_of("-0.") == std::string::npos && s.front() == '-') s.erase(0, 1);
    return s;
}

std::string FormatHashDot00(double value) {
    std::string s = FormatFixed(value, 2);
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    return s;
}

}  // namespace velmora
