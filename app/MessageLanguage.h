// Messages of the programs without windows in the language asked for, from the same built-in
// translation the windows use: Japanese templates as they are, or their English translation.
#pragma once

#include <memory>
#include <string>

#include "core/UserMessage.h"

class QTranslator;

namespace velmora {

// "en" or "ja" in any case; false for anything else.
bool ParseLanguageName(const std::string& text, bool& english);

class MessageLanguage {
public:
    // Loads the English translation when `english`; if it cannot be loaded, the messages stay
    // Japanese and Loaded() says so.
    explicit MessageLanguage(bool english);
    ~MessageLanguage();
    MessageLanguage(const MessageLanguage&) = delete;
    MessageLanguage& operator=(const MessageLanguage&) = delete;

    bool English() const { return translator_ != nullptr; }
    // The message in the language in use (UTF-8).
    std::string Text(const UserMessage& message) const;

private:
    std::unique_ptr<QTranslator> translator_;
};

}  // namespace velmora
