// The window side of the messages built below the windows: their templates and translatable
// values go through the application's translation, plain values are shown as they are.
#pragma once

#include <QString>
#include <exception>

#include "core/UserMessage.h"

namespace velmora {

QString Translated(const UserMessage& message);
// An exception's message for a box: translated when it carries a UserMessage, else what().
QString ErrorText(const std::exception& e);

}  // namespace velmora
