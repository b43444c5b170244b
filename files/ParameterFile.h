// The 21-line parameter data file "Velmora Data File": the writer's exact text and the
// positional, token-based reader that turns a file back into panel assignments.
#pragma once

#include <string>
#include <vector>

#include "core/SimulationParameters.h"
#include "core/UserMessage.h"

namespace velmora {

inline constexpr int parameterFileLines = 21;

// The whole file text for a record (CR LF line ends, pure ASCII).
std::string FormatParameterFile(const SimulationParameters& p);
// Writes FormatParameterFile(p) to path; throws std::runtime_error naming the file when the
// file cannot be written (the previous content then stays as it was).
void WriteParameterFile(const std::string& path, const SimulationParameters& p);

// One value the reader hands to the panel, in file order: a control's new text, a check box's
// new state, or a radio button to select.
struct ParameterAssignment {
    enum class Kind { Text, Check, Select };
    Kind kind = Kind::Text;
    std::string control;  // "Edit1", "CheckBox3", "RadioButton2", ...
    std::string text;     // Kind::Text
    bool checked = false; // Kind::Check
    bool operator==(const ParameterAssignment&) const = default;
};

struct ParameterFileRead {
    bool exists = false;     // false: no file at the path; nothing to apply
    bool complete = false;   // every value of the 21 lines was read
    int stoppedAtLine = 0;   // when incomplete: the record line whose value could not be read
    std::string stoppedAtKey;  // its key ("Aperture", ...), for the message
    // Set when the file is there but could not be opened: not a regular file (a folder, a
    // pipe, a device) or not readable. Nothing was read then (stoppedAtLine is 1).
    std::string problem;
    UserMessage reason;      // the same, for a window to translate
    std::vector<ParameterAssignment> assignments;  // what was read before the stop
};

// Reads the record from text / from a file. Keys are read and discarded without comparison;
// words are bounded to 100 bytes; a value that cannot be read ends the reading there, and so
// does a coefficient whose 15-digit text would not convert back (the top of the double range).
ParameterFileRead ParseParameterText(const std::string& text);
ParameterFileRead ReadParameterFile(const std::string& path);

// Applies one assignment to a record, as the panel's controls would hold it (used where there
// is no panel, such as the batch command). Unknown controls are ignored.
void ApplyAssignment(SimulationParameters& p, const ParameterAssignment& a);
// Applies every assignment of a read, in file order.
void ApplyAssignments(SimulationParameters& p, const ParameterFileRead& read);

}  // namespace velmora
