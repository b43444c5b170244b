// Reading a file the user named without ever blocking: a named pipe, a device or a folder is
// refused with a message that says what it is, before a single byte is read.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "core/UserMessage.h"

namespace velmora {

enum class FileKind { Missing, Regular, Folder, Device, Pipe, Socket, Other };

struct RegularFileRead {
    FileKind kind = FileKind::Missing;
    bool ok = false;            // a regular file, read (up to the limit)
    bool truncated = false;     // the file holds more than the limit
    std::string bytes;
    std::string problem;        // when not ok: why, in the words of a message box (Japanese)
    UserMessage reason;         // the same, for a window to translate
};

// What is at path, without following it into a read (a symbolic link is followed to its target).
FileKind KindOfFile(const std::string& path);

// What to do with a file longer than the limit: read its first `limit` bytes (truncated is
// set), or refuse it before reading anything ("ファイルが大きすぎます").
enum class Oversize { ReadPrefix, Refuse };

// Opens path without blocking, refuses anything but a regular file and reads at most `limit`
// bytes of it.
RegularFileRead ReadRegularFile(const std::string& path, size_t limit, Oversize oversize = Oversize::ReadPrefix);

// 3 when text starts with the UTF-8 byte-order mark (EF BB BF) some editors write at the start
// of a text file, else 0: the program's own text formats skip it.
size_t ByteOrderMarkLength(std::string_view text);

// "フォルダ", "デバイス", ... : what a file of that kind is called in a message.
std::string FileKindName(FileKind kind);
UserMessage FileKindMessage(FileKind kind);

}  // namespace velmora
