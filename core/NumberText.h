// Number <-> text conversions shared by the panel, the data files and the batch command.
// Parsing is locale-independent; a text that does not convert raises ConversionError.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace velmora {

// The one conversion-error type; its message reads like the toolkit's
// ("'abc' is not a valid integer value").
class ConversionError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Signed decimal integer in the 32-bit range; blanks around the number are allowed.
int ParseInteger(std::string_view text);

// Decimal real ("1", "-0.5", ".5", "1e-3"); blanks around it are allowed.
// Infinity, NaN, hexadecimal and values beyond the double range are refused.
double ParseDecimal(std::string_view text);
// The same, kept in extended precision (64-bit significand).
long double ParseExtended(std::string_view text);

// Up to 15 significant digits, shortest form: 0.03, -0.03, 0, 1024, 1E-5.
std::string FormatGeneral(double value);
// The stream default of the file writers: 6 significant digits (1, 0.5, 0.02, 1.2e-05).
std::string FormatStream(double value);
// Fixed patterns "0.0", "0.00", "0.000": a leading zero and `decimals` decimals.
std::string FormatFixed(double value, int decimals);
// Pattern "#.00": two decimals, no leading zero below 1 (".50", ".00", "1.00").
std::string FormatHashDot00(double value);

}  // namespace velmora
