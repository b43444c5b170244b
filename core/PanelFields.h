// The one table of the parameter panel: which control holds which value of the record, the
// range its spin button steps through, and the data-file line that stores it. The panel builds
// its controls from it and reads its record through it; the data file's reader and writer and
// the batch command find their controls and keys in it.
#pragma once

#include <span>
#include <string>

#include "core/SimulationParameters.h"

namespace velmora {

// How an edit box and its spin button hold their value.
enum class FieldKind {
    Integer,      // the text is the value; the spin position follows it
    PupilDiv,     // the text is pupilDiv; the spin position is its power-of-two exponent
    Coefficient,  // the text is a real; the spin position is trunc(value x 100)
    Position,     // the spin position is the value; the text only shows it (read-only box)
};

// Edit n with UpDown n.
struct EditField {
    int control;
    FieldKind kind;
    int (*get)(const SimulationParameters&);  // Integer, PupilDiv (pupilDiv) and Position
    void (*set)(SimulationParameters&, int);
    SpinRange range;       // the shift spins' maximum follows the aperture (spin::Shift)
    double scale;          // Position: the text shows position x scale; 0 shows the position itself
    const char* pattern;   // Position with a scale and Coefficient: the text at start-up and after "ゼロ"
    int fileLine;          // 0: not in the data file
    const char* fileKey;   // the line's key words, e.g. "Aperture", "White Wavelength"
};

// CheckBox n.
struct CheckField {
    int control;
    bool SimulationParameters::*field;
    int fileLine;  // the four vane boxes share line 20
};

// RadioButton n selects a colour mode (1, 2) or a density kind (3 to 8, equal to its file code).
struct RadioField {
    int control;
    bool isMode;
    ColorMode mode;
    DensityProfileKind density;
};

// Every edit box of the panel; those in the data file come in the file's order.
std::span<const EditField> EditFields();
std::span<const CheckField> CheckFields();
std::span<const RadioField> RadioFields();

// The field of Edit n / CheckBox n / RadioButton n; null when the panel has none.
const EditField* FindEditField(int control);
const CheckField* FindCheckField(int control);
const RadioField* FindRadioField(int control);

// The control number of a name such as "Edit19" for the prefix "Edit"; 0 when it is not one.
int ControlNumber(const std::string& name, const char* prefix);

// What a field's box and spin show for a record (the factory values at start-up).
std::string FieldText(const EditField& f, const SimulationParameters& p);
int FieldSpinPosition(const EditField& f, const SimulationParameters& p);

// Sets the record's value from the text of the field's box (Integer, PupilDiv, Coefficient);
// raises ConversionError. A PupilDiv text that is 2^k (k in the spin's range) also sets the
// exponent; any other leaves it as it was.
void SetFieldFromText(const EditField& f, SimulationParameters& p, const std::string& text);

}  // namespace velmora
