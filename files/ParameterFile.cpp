#include "files/ParameterFile.h"


#include "core/NumberText.h"
#include "files/FileWrite.h"
#include "files/SafeOpen.h"

namespace velmora {
namespace {

constexpr size_t maxWordBytes = 100;
constexpr const char* lineEnd = "\r\n";

// Lines 2..13: key and the control that holds the value.
struct IntegerLine {
    const char* key;
    const char* control;
    int SimulationParameters::*field;
};
const IntegerLine integerLines[] = {
    {"Aperture", "Edit1", &SimulationParameters::aperture},
    {"Focal_length", "Edit2", &SimulationParameters::focalLength},
    {"Secondary", "Edit3", &SimulationParameters::secondaryDiameter},
    {"BarWidth", "Edit4", &SimulationParameters::barWidth},
    {"Angle1", "Edit6", &SimulationParameters::angle1},
    {"Angle2", "Edit7", &SimulationParameters::angle2},
    {"Angle3", "Edit8", &SimulationParameters::angle3},
    {"Angle4", "Edit9", &SimulationParameters::angle4},
    {"ShiftX", "Edit14", &SimulationParameters::shiftX},
    {"ShiftY", "Edit15", &SimulationParameters::shiftY},
    {"PupilDiv", "Edit16", &SimulationParameters::pupilDiv},
    {"Magnification", "Edit17", &SimulationParameters::magnification},
};

// Lines 15..18: the band and its start, end and step controls.
struct BandLine {
    const char* key;  // first of the two key words
    WavelengthBand SimulationParameters::*band;
    const char* controls[3];
};
const BandLine bandLines[] = {
    {"White", &SimulationParameters::whiteBand, {"Edit33", "Edit34", "Edit35"}},
    {"Red", &SimulationParameters::redBand, {"Edit20", "Edit5", "Edit10"}},
    {"Green", &SimulationParameters::greenBand, {"Edit11", "Edit12", "Edit18"}},
    {"Blue", &SimulationParameters::blueBand, {"Edit21", "Edit22", "Edit23"}},
};

const char* spiderBoxes[4] = {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox4"};

// Blank-separated words of a text; line ends count as blanks.
class WordReader {
public:
    explicit WordReader(const std::string& text) : text_(text) {}
    // False at the end of the text or for a word longer than the bound.
    bool Next(std::string& word) {
        while (pos_ < text_.size() && IsSpace(text_[pos_])) ++pos_;
        const size_t start = pos_;
        while (pos_ < text_.size() && !IsSpace(text_[pos_])) ++pos_;
        if (pos_ == start || pos_ - start > maxWordBytes) return false;
        word.assign(text_, start, pos_ - start);
        return true;
    }
    bool NextInteger(int& value) {
        std::string word;
        if (!Next(word)) return false;
        try {
            value = ParseInteger(word);
        } catch (const ConversionError&) {
            return false;
        }
        return true;
    }
    bool NextReal(double& value) {
        std::string word;
        if (!Next(word)) return false;
        try {
            value = ParseDecimal(word);
        } catch (const ConversionError&) {
            return false;
        }
        return true;
    }

private:
    static bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }
    const std::string& text_;
    size_t pos_ = 0;
};

bool ConvertsBack(const std::string& text) {
    try {
        ParseDecimal(text);
        return true;
    } catch (const ConversionError&) {
        return false;
    }
}

ParameterAssignment TextAssignment(const char* control, std::string text) {
    ParameterAssignment a;
    a.kind = ParameterAssignment::Kind::Text;
    a.control = control;
    a.text = std::move(text);
    return a;
}

ParameterAssignment SelectAssignment(std::string control) {
    ParameterAssignment a;
    a.kind = ParameterAssignment::Kind::Select;
    a.control = std::move(control);
    return a;
}

}  // namespace

std::string FormatParameterFile(const SimulationParameters& p) {
    std::string s = "Velmora Data File";
    s += lineEnd;
    for (const IntegerLine& line : integerLines) {
        s += line.key;
        s += ' ';
        s += std::to_string(p.*line.field);
        s += lineEnd;
    }
    s += "Color ";
    s += p.colorMode == ColorMode::Monochrome ? "1" : "3";
    s += lineEnd;
    for (const BandLine& line : bandLines) {
        const WavelengthBand& b = p.*line.band;
        s += std::string(line.key) + " Wavelength " + std::to_string(b.min) + " " + std::to_string(b.max) + " " +
             std::to_string(b.step);
        s += lineEnd;
    }
    s += "Coefficient " + FormatStream(p.densityCoefficient);
    s += lineEnd;
    s += "Spiders ";
    for (bool on : {p.spider1, p.spider2, p.spider3, p.spider4}) s += on ? "1 " : "0 ";
    s += lineEnd;
    s += "Filters " + std::to_string(DensityProfileCode(p.densityProfile));
    s += lineEnd;
    return s;
}

void WriteParameterFile(const std::string& path, const SimulationParameters& p) {
    WriteWholeFile(path, FormatParameterFile(p));
}

ParameterFileRead ParseParameterText(const std::string& text) {
    ParameterFileRead result;
    result.exists = true;
    WordReader in(text);
    auto& out = result.assignments;
    auto stop = [&](int line, const char* key) {
        result.stoppedAtLine = line;
        result.stoppedAtKey = key;
        return result;
    };
    std::string word;
    for (int k = 0; k < 3; ++k)
        if (!in.Next(word)) return stop(1, "Velmora Data File");

    int line = 2;
    for (const IntegerLine& l : integerLines) {
        int v;
        if (!in.Next(word) || !in.NextInteger(v)) return stop(line, l.key);
        out.push_back(TextAssignment(l.control, std::to_string(v)));
        ++line;
    }
    int color;
    if (!in.Next(word) || !in.NextInteger(color)) return stop(14, "Color");
    if (color == 1) out.push_back(SelectAssignment("RadioButton1"));
    else if (color == 3) out.push_back(SelectAssignment("RadioButton2"));

    line = 15;
    for (const BandLine& l : bandLines) {
        if (!in.Next(word) || !in.Next(word)) return stop(line, l.key);
        for (const char* control : l.controls) {
            int v;
            if (!in.NextInteger(v)) return stop(line, l.key);
            out.push_back(TextAssignment(control, std::to_string(v)));
        }
        ++line;
    }
    double coefficient;
    if (!in.Next(word) || !in.NextReal(coefficient)) return stop(19, "Coefficient");
    // 1.7976931348623157e308 shows as "1.79769313486232E308", beyond the largest double: a
    // value the panel could not read back is as unreadable as a malformed one.
    const std::string shown = FormatGeneral(coefficient);
    if (!ConvertsBack(shown)) return stop(19, "Coefficient");
    out.push_back(TextAssignment("Edit19", shown));

    if (!in.Next(word)) return stop(20, "Spiders");
    for (const char* box : spiderBoxes) {
        int v;
        if (!in.NextInteger(v)) return stop(20, "Spiders");
        if (v == 0 || v == 1) {
            ParameterAssignment a;
            a.kind = ParameterAssignment::Kind::Check;
            a.control = box;
            a.checked = v == 1;
            out.push_back(a);
        }
    }
    int filter;
    if (!in.Next(word) || !in.NextInteger(filter)) return stop(21, "Filters");
    // The mask picture and the filter table are not part of the file, so those kinds load as none.
    if (filter >= 3 && filter <= 5) out.push_back(SelectAssignment("RadioButton" + std::to_string(filter)));
    else if (filter >= 6 && filter <= 8) out.push_back(SelectAssignment("RadioButton7"));

    result.complete = true;
    return result;
}

ParameterFileRead ReadParameterFile(const std::string& path) {
    ParameterFileRead result;
    // The record is short; far more than its 21 lines is never needed. Reading is bounded so
    // that picking a huge file by mistake costs nothing.
    RegularFileRead file = ReadRegularFile(path, 64 * 1024);
    if (file.kind == FileKind::Missing) return result;  // nothing there: nothing changes
    if (!file.ok) {
        // There but not readable as a file: a read that stopped before its first value.
        result.exists = true;
        result.stoppedAtLine = 1;
        result.stoppedAtKey = "Velmora Data File";
        result.problem = file.problem;
        return result;
    }
    return ParseParameterText(file.bytes);
}

void ApplyAssignment(SimulationParameters& p, const ParameterAssignment& a) {
    using Kind = ParameterAssignment::Kind;
    if (a.kind == Kind::Text) {
        for (const IntegerLine& l : integerLines)
            if (a.control == l.control) {
                p.*l.field = ParseInteger(a.text);
                if (l.field == &SimulationParameters::pupilDiv) {
                    for (int k = 1; k <= 13; ++k)
                        if (PupilDivForExponent(k) == p.pupilDiv) p.pupilDivExponent = k;
                }
                return;
            }
        for (const BandLine& l : bandLines)
            for (int k = 0; k < 3; ++k)
                if (a.control == l.controls[k]) {
                    WavelengthBand& b = p.*l.band;
                    (k == 0 ? b.min : k == 1 ? b.max : b.step) = ParseInteger(a.text);
                    return;
                }
        if (a.control == "Edit19") p.densityCoefficient = ParseDecimal(a.text);
        return;
    }
    if (a.kind == Kind::Check) {
        bool* spiders[4] = {&p.spider1, &p.spider2, &p.spider3, &p.spider4};
        for (int k = 0; k < 4; ++k)
            if (a.control == spiderBoxes[k]) *spiders[k] = a.checked;
        return;
    }
    if (a.control == "RadioButton1") p.colorMode = ColorMode::Monochrome;
    else if (a.control == "RadioButton2") p.colorMode = ColorMode::Colour;
    else
        for (int code = 3; code <= 8; ++code)
            if (a.control == "RadioButton" + std::to_string(code)) DensityProfileFromCode(code, p.densityProfile);
}

}  // namespace velmora
