#include "core/PanelFields.h"

#include <array>
#include <cstring>

#include "core/NumberText.h"

namespace velmora {
namespace {

// Reading and writing one integer member of the record, whatever its width.
#define VELMORA_FIELD(member)                                                       \
    [](const SimulationParameters& p) { return static_cast<int>(p.member); },       \
        [](SimulationParameters& p, int v) { p.member = static_cast<decltype(p.member)>(v); }

const EditField editFields[] = {
    // Lines 2 to 13: the mechanical values, the never-shown shift, division and scaling boxes.
    {1, FieldKind::Integer, VELMORA_FIELD(aperture), spin::aperture, 0, nullptr, 2, "Aperture"},
    {2, FieldKind::Integer, VELMORA_FIELD(focalLength), spin::focalLength, 0, nullptr, 3, "Focal_length"},
    {3, FieldKind::Integer, VELMORA_FIELD(secondaryDiameter), spin::secondaryDiameter, 0, nullptr, 4, "Secondary"},
    {4, FieldKind::Integer, VELMORA_FIELD(barWidth), spin::barWidth, 0, nullptr, 5, "BarWidth"},
    {6, FieldKind::Integer, VELMORA_FIELD(angle1), spin::angle, 0, nullptr, 6, "Angle1"},
    {7, FieldKind::Integer, VELMORA_FIELD(angle2), spin::angle, 0, nullptr, 7, "Angle2"},
    {8, FieldKind::Integer, VELMORA_FIELD(angle3), spin::angle, 0, nullptr, 8, "Angle3"},
    {9, FieldKind::Integer, VELMORA_FIELD(angle4), spin::angle, 0, nullptr, 9, "Angle4"},
    {14, FieldKind::Integer, VELMORA_FIELD(shiftX), spin::Shift(SimulationParameters{}.aperture), 0, nullptr, 10, "ShiftX"},
    {15, FieldKind::Integer, VELMORA_FIELD(shiftY), spin::Shift(SimulationParameters{}.aperture), 0, nullptr, 11, "ShiftY"},
    {16, FieldKind::PupilDiv, VELMORA_FIELD(pupilDiv), spin::pupilDivExponent, 0, nullptr, 12, "PupilDiv"},
    {17, FieldKind::Integer, VELMORA_FIELD(magnification), spin::magnification, 0, nullptr, 13, "Magnification"},
    // Lines 15 to 18: first, last wavelength and step of each band.
    {33, FieldKind::Integer, VELMORA_FIELD(whiteBand.min), spin::bandLimit, 0, nullptr, 15, "White Wavelength"},
    {34, FieldKind::Integer, VELMORA_FIELD(whiteBand.max), spin::bandLimit, 0, nullptr, 15, "White Wavelength"},
    {35, FieldKind::Integer, VELMORA_FIELD(whiteBand.step), spin::bandStep, 0, nullptr, 15, "White Wavelength"},
    {20, FieldKind::Integer, VELMORA_FIELD(redBand.min), spin::bandLimit, 0, nullptr, 16, "Red Wavelength"},
    {5, FieldKind::Integer, VELMORA_FIELD(redBand.max), spin::bandLimit, 0, nullptr, 16, "Red Wavelength"},
    {10, FieldKind::Integer, VELMORA_FIELD(redBand.step), spin::bandStep, 0, nullptr, 16, "Red Wavelength"},
    {11, FieldKind::Integer, VELMORA_FIELD(greenBand.min), spin::bandLimit, 0, nullptr, 17, "Green Wavelength"},
    {12, FieldKind::Integer, VELMORA_FIELD(greenBand.max), spin::bandLimit, 0, nullptr, 17, "Green Wavelength"},
    {18, FieldKind::Integer, VELMORA_FIELD(greenBand.step), spin::bandStep, 0, nullptr, 17, "Green Wavelength"},
    {21, FieldKind::Integer, VELMORA_FIELD(blueBand.min), spin::bandLimit, 0, nullptr, 18, "Blue Wavelength"},
    {22, FieldKind::Integer, VELMORA_FIELD(blueBand.max), spin::bandLimit, 0, nullptr, 18, "Blue Wavelength"},
    {23, FieldKind::Integer, VELMORA_FIELD(blueBand.step), spin::bandStep, 0, nullptr, 18, "Blue Wavelength"},
    // Line 19; the density coefficient has no integer member.
    {19, FieldKind::Coefficient, nullptr, nullptr, spin::densityCoefficient, 0, "0.0", 19, "Coefficient"},
    // The wavefront: spin positions only, never in the data file.
    {24, FieldKind::Position, VELMORA_FIELD(focus), spin::aberration, focusScale, "0.0", 0, nullptr},
    {25, FieldKind::Position, VELMORA_FIELD(spherical), spin::aberration, aberrationScale, "0.00", 0, nullptr},
    {26, FieldKind::Position, VELMORA_FIELD(astigmatismM), spin::aberration, aberrationScale, "0.00", 0, nullptr},
    {27, FieldKind::Position, VELMORA_FIELD(astigmatismS), spin::aberration, aberrationScale, "0.00", 0, nullptr},
    {28, FieldKind::Position, VELMORA_FIELD(comaX), spin::aberration, aberrationScale, "0.00", 0, nullptr},
    {29, FieldKind::Position, VELMORA_FIELD(comaY), spin::aberration, aberrationScale, "0.00", 0, nullptr},
    {30, FieldKind::Position, VELMORA_FIELD(tiltX), spin::aberration, aberrationScale, "0.00", 0, nullptr},
    {31, FieldKind::Position, VELMORA_FIELD(tiltY), spin::aberration, aberrationScale, "0.00", 0, nullptr},
    {32, FieldKind::Position, VELMORA_FIELD(contrast), spin::contrast, 0, nullptr, 0, nullptr},
};

#undef VELMORA_FIELD

const CheckField checkFields[] = {
    {1, &SimulationParameters::spider1, 20},
    {2, &SimulationParameters::spider2, 20},
    {3, &SimulationParameters::spider3, 20},
    {4, &SimulationParameters::spider4, 20},
    {5, &SimulationParameters::useWavelengthDependence, 0},
};

const RadioField radioFields[] = {
    {1, true, ColorMode::Monochrome, DensityProfileKind::None},
    {2, true, ColorMode::Colour, DensityProfileKind::None},
    {3, false, ColorMode::Monochrome, DensityProfileKind::Gaussian},
    {4, false, ColorMode::Monochrome, DensityProfileKind::Cosine},
    {5, false, ColorMode::Monochrome, DensityProfileKind::Triangle},
    {6, false, ColorMode::Monochrome, DensityProfileKind::UserMask},
    {7, false, ColorMode::Monochrome, DensityProfileKind::None},
    {8, false, ColorMode::Monochrome, DensityProfileKind::UserFilter},
};

// The fixed pattern's decimals: "0.0" has 1, "0.00" has 2.
int PatternDecimals(const char* pattern) { return static_cast<int>(std::strlen(pattern)) - 2; }

template <class Field, size_t N>
const Field* Find(const Field (&fields)[N], int control) {
    for (const Field& f : fields)
        if (f.control == control) return &f;
    return nullptr;
}

}  // namespace

std::span<const EditField> EditFields() { return editFields; }
std::span<const CheckField> CheckFields() { return checkFields; }
std::span<const RadioField> RadioFields() { return radioFields; }

const EditField* FindEditField(int control) { return Find(editFields, control); }
const CheckField* FindCheckField(int control) { return Find(checkFields, control); }
const RadioField* FindRadioField(int control) { return Find(radioFields, control); }

int ControlNumber(const std::string& name, const char* prefix) {
    const size_t n = std::strlen(prefix);
    if (name.size() <= n || name.size() > n + 3 || name.compare(0, n, prefix) != 0 || name[n] == '0') return 0;
    int number = 0;
    for (size_t k = n; k < name.size(); ++k) {
        if (name[k] < '0' || name[k] > '9') return 0;
        number = number * 10 + (name[k] - '0');
    }
    return number;
}

std::string FieldText(const EditField& f, const SimulationParameters& p) {
    switch (f.kind) {
    case FieldKind::Integer:
    case FieldKind::PupilDiv:
        return std::to_string(f.get(p));
    case FieldKind::Coefficient:
        return FormatFixed(p.densityCoefficient, PatternDecimals(f.pattern));
    case FieldKind::Position:
        if (f.scale == 0) return std::to_string(f.get(p));
        // Zero shows as its pattern; other positions as the spin click writes them.
        if (f.get(p) == 0) return FormatFixed(0, PatternDecimals(f.pattern));
        return FormatGeneral(f.get(p) * f.scale);
    }
    return {};
}

int FieldSpinPosition(const EditField& f, const SimulationParameters& p) {
    switch (f.kind) {
    case FieldKind::Integer:
    case FieldKind::Position:
        return f.get(p);
    case FieldKind::PupilDiv:
        return p.pupilDivExponent;
    case FieldKind::Coefficient:
        return CoefficientSpinPosition(FieldText(f, p));
    }
    return 0;
}

void SetFieldFromText(const EditField& f, SimulationParameters& p, const std::string& text) {
    switch (f.kind) {
    case FieldKind::Integer:
        f.set(p, ParseInteger(text));
        return;
    case FieldKind::PupilDiv:
        f.set(p, ParseInteger(text));
        // The record keeps pupilDiv = 2^exponent wherever the text allows it.
        for (int k = spin::pupilDivExponent.min; k <= spin::pupilDivExponent.max; ++k)
            if (PupilDivForExponent(k) == p.pupilDiv) p.pupilDivExponent = k;
        return;
    case FieldKind::Coefficient:
        p.densityCoefficient = ParseDecimal(text);
        return;
    case FieldKind::Position:
        return;  // read-only boxes: the spin holds the value
    }
}

}  // namespace velmora
