// Messages for the user built below the windows: a Japanese template with %1..%9 places and the
// values that fill them. Text() is the Japanese message (the batch command prints it); a window
// translates the template and every translatable value first, then fills it the same way.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

// Marks a template for the translation tools without bringing Qt into these layers; written
// exactly as Qt writes it, so a Qt header may come before or after this one.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace velmora {

struct UserMessage {
    // Null for a plain value (a number, a file name, a word from a file), shown as it is.
    const char* context = nullptr;
    std::string pattern;
    std::vector<UserMessage> args;

    UserMessage() = default;
    // A translatable template, as QT_TRANSLATE_NOOP(context, pattern) marks it.
    UserMessage(const char* context, const char* pattern, std::vector<UserMessage> args = {});
    // A plain value.
    static UserMessage Value(std::string text);
    static UserMessage Value(long long number);

    bool Empty() const { return pattern.empty() && args.empty(); }
    std::string Text() const;
};

// Puts values[k - 1] in place of each %k (k = 1..9) in one pass, so that a value holding "%2"
// stays as it is; a place without a value and a lone '%' are kept.
std::string FillPlaces(std::string_view pattern, const std::vector<std::string>& values);

// An error whose message a window can show translated; what() is the Japanese text.
class MessageError : public std::runtime_error {
public:
    explicit MessageError(UserMessage message);
    const UserMessage& Message() const { return message_; }

private:
    UserMessage message_;
};

}  // namespace velmora
