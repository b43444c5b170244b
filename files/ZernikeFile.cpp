#include "files/ZernikeFile.h"

#include <charconv>
#include <cmath>
#include <vector>

#include "files/SafeOpen.h"

namespace velmora {
namespace {

constexpr const char* scope = "ZernikeFile";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string> Words(const std::string& text, size_t start, size_t end) {
    std::vector<std::string> words;
    size_t k = start;
    while (k < end) {
        while (k < end && IsBlank(text[k])) ++k;
        const size_t first = k;
        while (k < end && !IsBlank(text[k])) ++k;
        if (k > first) words.push_back(text.substr(first, k - first));
    }
    return words;
}

// A word as a message quotes it: at most about 40 bytes, cut between UTF-8 characters.
std::string Shown(const std::string& word) {
    if (word.size() <= 40) return word;
    size_t end = 40;
    while (end > 0 && (static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) --end;
    return word.substr(0, end) + "…";
}

UserMessage Value(const std::string& word) { return UserMessage::Value(Shown(word)); }
UserMessage Value(long long n) { return UserMessage::Value(n); }

ZernikeFileRead Fail(UserMessage reason) {
    ZernikeFileRead read;
    read.problem = reason.Text();
    read.reason = std::move(reason);
    return read;
}

ZernikeFileRead Fail(int line, const char* pattern, std::vector<UserMessage> args = {}) {
    args.insert(args.begin(), Value(line));
    return Fail(UserMessage(scope, pattern, std::move(args)));
}

// Where the number of a word starts: after one '+' that people write before positive terms
// ("+-1" keeps its '+' and stays unreadable).
const char* NumberStart(const std::string& word) {
    if (word.size() > 1 && word[0] == '+' && word[1] != '-') return word.data() + 1;
    return word.data();
}

// The whole word as a number, in the C locale's notation whatever the user's locale.
bool ParseWhole(const std::string& word, int& value) {
    const char* last = word.data() + word.size();
    const auto [end, error] = std::from_chars(NumberStart(word), last, value);
    return error == std::errc() && end == last;
}

bool ParseReal(const std::string& word, double& value) {
    const char* last = word.data() + word.size();
    const auto [end, error] = std::from_chars(NumberStart(word), last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range && end == last) {
        // Beyond the double range: a negative exponent is a value too small to matter, any
        // other one too large to be finite.
        const bool tiny = word.find("e-") != std::string::npos || word.find("E-") != std::string::npos;
        value = tiny ? 0.0 : HUGE_VAL;
        return true;
    }
    return error == std::errc() && end == last;
}

std::string OrderingWord(ZernikeOrdering ordering) { return ordering == ZernikeOrdering::Ansi ? "ansi" : "fringe"; }

}  // namespace

ZernikeFileRead ReadZernikeText(const std::string& text) {
    ZernikeFileRead read;
    std::map<int, int> lineOf;  // index -> the line that gave it
    bool orderingAllowed = true;
    int lineNumber = 0;
    size_t start = ByteOrderMarkLength(text);
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::vector<std::string> words = Words(text, start, end);
        start = end + 1;
        ++lineNumber;
        if (words.empty() || words[0][0] == '#') continue;
        if (words[0] == "ordering") {
            if (!orderingAllowed)
                return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: ordering の行は係数の行より前に一度だけ書けます"));
            orderingAllowed = false;
            if (words.size() != 2)
                return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: ordering の後には fringe か ansi の 1 語だけを書いてください"));
            if (words[1] == "fringe") read.set.ordering = ZernikeOrdering::Fringe;
            else if (words[1] == "ansi") read.set.ordering = ZernikeOrdering::Ansi;
            else
                return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 並び順「%2」は使えません。fringe か ansi と書いてください"),
                            {Value(words[1])});
            continue;
        }
        orderingAllowed = false;
        if (words.size() > 2)
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 値が %2 個あります。1 行には「項番号 係数」の 2 つだけを書いてください"),
                        {Value(static_cast<long long>(words.size()))});
        int index = 0;
        if (!ParseWhole(words[0], index))
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 項番号「%2」は整数ではありません"), {Value(words[0])});
        const int first = FirstZernikeIndex(read.set.ordering);
        const int last = LastZernikeIndex(read.set.ordering);
        if (index < first || index > last)
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 項番号 %2 は %3 の並びにありません（%4 から %5 まで）"),
                        {Value(index), Value(OrderingWord(read.set.ordering)), Value(first), Value(last)});
        if (words.size() < 2)
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 項番号 %2 の係数がありません"), {Value(index)});
        if (const auto earlier = lineOf.find(index); earlier != lineOf.end())
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 項番号 %2 は %3 行目にもあります"),
                        {Value(index), Value(earlier->second)});
        double c = 0;
        if (!ParseReal(words[1], c))
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 係数「%2」は数値ではありません"), {Value(words[1])});
        if (!std::isfinite(c))
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 係数「%2」は有限の数値ではありません"), {Value(words[1])});
        if (std::fabs(c) > zernikeCoefficientLimit)
            return Fail(lineNumber, QT_TRANSLATE_NOOP("ZernikeFile", "%1 行目: 係数 %2 は大きすぎます（%3 波まで）"),
                        {Value(words[1]), Value(static_cast<long long>(zernikeCoefficientLimit))});
        lineOf[index] = lineNumber;
        read.set.coefficients[index] = c;
    }
    read.ok = true;
    return read;
}

bool ParseZernikeCoefficient(const std::string& text, double& value) {
    const std::vector<std::string> words = Words(text, 0, text.size());
    double c = 0;
    if (words.size() != 1 || !ParseReal(words[0], c) || !std::isfinite(c) || std::fabs(c) > zernikeCoefficientLimit)
        return false;
    value = c;
    return true;
}

std::string ZernikeCoefficientText(double c) {
    char number[32];
    const auto result = std::to_chars(number, number + sizeof number, c);
    return std::string(number, result.ptr);
}

ZernikeFileRead ReadZernikeFile(const std::string& path) {
    RegularFileRead file = ReadRegularFile(path, zernikeReadLimit, Oversize::Refuse);
    if (!file.ok) return Fail(file.reason);
    return ReadZernikeText(file.bytes);
}

std::string ZernikeFileText(const ZernikeSet& set) {
    std::string text = "# Zernike coefficients in waves: index coefficient\r\n";
    text += "ordering " + OrderingWord(set.ordering) + "\r\n";
    for (const auto& [index, c] : set.coefficients) {
        if (c == 0) continue;
        text += std::to_string(index) + ' ' + ZernikeCoefficientText(c) + "\r\n";
    }
    return text;
}

}  // namespace velmora
