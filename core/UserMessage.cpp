#include "core/UserMessage.h"

namespace velmora {

UserMessage::UserMessage(const char* context, const char* pattern, std::vector<UserMessage> args)
    : context(context), pattern(pattern), args(std::move(args)) {}

UserMessage UserMessage::Value(std::string text) {
    UserMessage m;
    m.pattern = std::move(text);
    return m;
}

UserMessage UserMessage::Value(long long number) { return Value(std::to_string(number)); }

std::string UserMessage::Text() const {
    if (!context) return pattern;
    std::vector<std::string> values;
    values.reserve(args.size());
    for (const UserMessage& a : args) values.push_back(a.Text());
    return FillPlaces(pattern, values);
}

std::string FillPlaces(std::string_view pattern, const std::vector<std::string>& values) {
    std::string out;
    out.reserve(pattern.size());
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == '%' && i + 1 < pattern.size() && pattern[i + 1] >= '1' && pattern[i + 1] <= '9') {
            const size_t k = static_cast<size_t>(pattern[i + 1] - '1');
            if (k < values.size()) {
                out += values[k];
                ++i;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

MessageError::MessageError(UserMessage message) : std::runtime_error(message.Text()), message_(std::move(message)) {}

}  // namespace velmora
