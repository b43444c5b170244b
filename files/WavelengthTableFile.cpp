#include "files/WavelengthTableFile.h"

#include "files/SafeOpen.h"

namespace velmora {
namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::vector<std::string> Words(const std::string& line) {
    std::vector<std::string> words;
    size_t k = 0;
    while (k < line.size()) {
        while (k < line.size() && IsBlank(line[k])) ++k;
        const size_t start = k;
        while (k < line.size() && !IsBlank(line[k])) ++k;
        if (k > start) words.push_back(line.substr(start, k - start));
    }
    return words;
}

WavelengthTableRead Fail(std::string problem) {
    WavelengthTableRead read;
    read.problem = std::move(problem);
    return read;
}

}  // namespace

WavelengthTableRead ReadWavelengthTableText(const std::string& text) {
    WavelengthTableRead read;
    int lineNumber = 0;
    size_t start = ByteOrderMarkLength(text);
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::vector<std::string> words = Words(text.substr(start, end - start));
        start = end + 1;
        ++lineNumber;
        if (words.empty() || words[0][0] == '#') continue;
        // A fourth value means the columns are not the ones this reader expects; guessing which
        // two are meant could run a wrong table without a word.
        if (words.size() > 3)
            return Fail("line " + std::to_string(lineNumber) + " has " + std::to_string(words.size()) +
                        " values; a row is \"wavelength spherical focus\"");
        read.wavelengths.push_back(words[0]);
        read.rows.push_back({words.size() > 1 ? words[1] : std::string(), words.size() > 2 ? words[2] : std::string()});
        read.lineNumbers.push_back(lineNumber);
    }
    read.ok = true;
    return read;
}

WavelengthTableRead ReadWavelengthTableFile(const std::string& path) {
    // Opened like every other input, so that a pipe or a device is refused instead of waited on.
    RegularFileRead file = ReadRegularFile(path, wavelengthTableReadLimit, Oversize::Refuse);
    if (file.ok) return ReadWavelengthTableText(file.bytes);
    if (file.truncated)
        return Fail("the file is larger than " + std::to_string(wavelengthTableReadLimit >> 20) +
                    " MiB, far more than any band's table");
    switch (file.kind) {
    case FileKind::Folder: return Fail("it is a folder, not a file");
    case FileKind::Device: return Fail("it is a device, not a regular file");
    case FileKind::Pipe: return Fail("it is a named pipe, not a regular file");
    case FileKind::Socket: return Fail("it is a socket, not a regular file");
    case FileKind::Other: return Fail("it is a special file, not a regular file");
    case FileKind::Missing: return Fail("the file cannot be opened");
    case FileKind::Regular: break;
    }
    return Fail("the file cannot be opened or read");
}

}  // namespace velmora
