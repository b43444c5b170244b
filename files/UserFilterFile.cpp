#include "files/UserFilterFile.h"

#include <algorithm>
#include <cctype>
#include <sstream>

#include "core/NumberText.h"
#include "files/SafeOpen.h"

namespace velmora {
namespace {

// Blank-separated words of a stream, each at most userFilterWordLimit bytes kept; a longer
// word is consumed whole and marked, so that no later token shifts.
class WordReader {
public:
    explicit WordReader(std::istream& in) : in_(in) {}

    // False at the end of the input, or once the reader has taken all it ever reads.
    bool Next(std::string& word, bool& tooLong) {
        word.clear();
        tooLong = false;
        int c;
        while ((c = Get()) != EOF && std::isspace(c)) {}
        if (c == EOF) return false;
        do {
            if (word.size() < userFilterWordLimit) word.push_back(static_cast<char>(c));
            else tooLong = true;
        } while ((c = Get()) != EOF && !std::isspace(c));
        return true;
    }

private:
    int Get() {
        if (taken_ >= userFilterReadLimit) return EOF;
        ++taken_;
        return in_.get();
    }

    std::istream& in_;
    size_t taken_ = 0;
};

UserFilterRead Fail(UserMessage reason) { return {false, reason.Text(), reason, 0}; }

UserFilterRead Fail(const char* pattern, std::vector<UserMessage> args = {}) {
    return Fail(UserMessage("UserFilterFile", pattern, std::move(args)));
}

// A word as a message quotes it: at most about 40 bytes, cut between UTF-8 characters.
std::string Shown(const std::string& word) {
    if (word.size() <= 40) return word;
    size_t end = 40;
    while (end > 0 && (static_cast<unsigned char>(word[end]) & 0xC0) == 0x80) --end;
    return word.substr(0, end) + "…";
}

UserFilterRead ReadTokens(std::istream& in, UserFilter& filter) {
    WordReader words(in);
    std::string word;
    bool tooLong = false;
    for (int k = 0; k < 7; ++k)
        if (!words.Next(word, tooLong)) return Fail(QT_TRANSLATE_NOOP("UserFilterFile", "見出しの 7 語の途中でファイルが終わっています"));

    if (!words.Next(word, tooLong)) return Fail(QT_TRANSLATE_NOOP("UserFilterFile", "データ数 N がありません"));
    int count = 0;
    try {
        if (tooLong) throw ConversionError(word);
        count = ParseInteger(word);
    } catch (const ConversionError&) {
        return Fail(QT_TRANSLATE_NOOP("UserFilterFile", "8 番目の語「%1」はデータ数 N（整数）ではありません"),
                    {UserMessage::Value(Shown(word))});
    }
    if (count < 1)
        return Fail(QT_TRANSLATE_NOOP("UserFilterFile", "データ数 N は 1 以上でなければなりません（%1）"),
                    {UserMessage::Value(count)});

    for (int k = 0; k < 2; ++k)
        if (!words.Next(word, tooLong)) return Fail(QT_TRANSLATE_NOOP("UserFilterFile", "列見出しの 2 語の途中でファイルが終わっています"));

    // Only what the table holds is read; a longer file's remaining pairs are not looked at.
    const int stored = std::min(count, userFilterCapacity);
    std::array<double, userFilterCapacity> table = filter.userFilterTable;
    for (int i = 0; i < stored; ++i)
        for (int half = 0; half < 2; ++half) {
            // Named only when a value is missing or broken, not for every value read.
            auto which = [&] {
                return UserMessage("UserFilterFile", QT_TRANSLATE_NOOP("UserFilterFile", "%1 組目の%2 番目の値"),
                                   {UserMessage::Value(i + 1), UserMessage::Value(half + 1)});
            };
            if (!words.Next(word, tooLong))
                return Fail(QT_TRANSLATE_NOOP("UserFilterFile", "データが %1 組に足りません（%2がありません）"),
                            {UserMessage::Value(count), which()});
            double value = 0;
            try {
                if (tooLong) throw ConversionError(word);
                value = ParseDecimal(word);
            } catch (const ConversionError&) {
                return Fail(QT_TRANSLATE_NOOP("UserFilterFile", "%1「%2」は数値ではありません"),
                            {which(), UserMessage::Value(Shown(word))});
            }
            if (half == 1) table[i] = value;
        }
    filter.userFilterTable = table;
    filter.userFilterCount = stored;
    filter.userFilterLoaded = true;
    return {true, {}, {}, count};
}

}  // namespace

UserFilterRead ReadUserFilterFile(const std::string& path, UserFilter& filter) {
    RegularFileRead file = ReadRegularFile(path, userFilterReadLimit);
    if (!file.ok) return Fail(file.reason);
    std::istringstream in(std::move(file.bytes));
    return ReadTokens(in, filter);
}

UserFilterRead ReadUserFilterText(const std::string& text, UserFilter& filter) {
    std::istringstream in(text);
    return ReadTokens(in, filter);
}

UserMessage UserFilterTruncatedMessage(const std::string& fileName, int countInFile) {
    return UserMessage("UserFilterFile",
                       QT_TRANSLATE_NOOP("UserFilterFile", "ユーザフィルタ %1 のデータ数 %2 は上限の %3 を超えています。先頭の %3 組だけを使います。"),
                       {UserMessage::Value(fileName), UserMessage::Value(countInFile), UserMessage::Value(userFilterCapacity)});
}

std::string UserFilterTruncatedText(const std::string& fileName, int countInFile) {
    return UserFilterTruncatedMessage(fileName, countInFile).Text();
}

}  // namespace velmora
