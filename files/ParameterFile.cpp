#include "files/ParameterFile.h"


#include "core/NumberText.h"
#include "core/PanelFields.h"
#include "files/FileWrite.h"
#include "files/SafeOpen.h"

namespace velmora {
namespace {

constexpr size_t maxWordBytes = 100;
constexpr const char* lineEnd = "\r\n";

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

namespace {

// The edit fields stored on record line `line`, in the file's order.
std::vector<const EditField*> FieldsOnLine(int line) {
    std::vector<const EditField*> fields;
    for (const EditField& f : EditFields())
        if (f.fileLine == line) fields.push_back(&f);
    return fields;
}

std::vector<const CheckField*> ChecksOnLine(int line) {
    std::vector<const CheckField*> checks;
    for (const CheckField& c : CheckFields())
        if (c.fileLine == line) checks.push_back(&c);
    return checks;
}

int WordCount(const char* key) {
    int words = 1;
    for (const char* c = key; *c; ++c) words += *c == ' ';
    return words;
}

constexpr int colorLine = 14;
constexpr int spidersLine = 20;
constexpr int filtersLine = 21;

}  // namespace

std::string FormatParameterFile(const SimulationParameters& p) {
    std::string s = "Velmora Data File";
    s += lineEnd;
    for (int line = 2; line <= parameterFileLines; ++line) {
        if (line == colorLine) {
            s += "Color ";
            s += p.colorMode == ColorMode::Monochrome ? "1" : "3";
        } else if (line == spidersLine) {
            s += "Spiders ";
            for (const CheckField* c : ChecksOnLine(line)) s += p.*(c->field) ? "1 " : "0 ";
        } else if (line == filtersLine) {
            s += "Filters " + std::to_string(DensityProfileCode(p.densityProfile));
        } else {
            const std::vector<const EditField*> fields = FieldsOnLine(line);
            s += fields.front()->fileKey;
            for (const EditField* f : fields)
                s += ' ' + (f->kind == FieldKind::Coefficient ? FormatStream(p.densityCoefficient) : std::to_string(f->get(p)));
        }
        s += lineEnd;
    }
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
    auto stop = [&](int line, const std::string& key) {
        result.stoppedAtLine = line;
        result.stoppedAtKey = key;
        return result;
    };
    std::string word;
    for (int k = 0; k < 3; ++k)
        if (!in.Next(word)) return stop(1, "Velmora Data File");

    for (int line = 2; line <= parameterFileLines; ++line) {
        if (line == colorLine) {
            int color;
            if (!in.Next(word) || !in.NextInteger(color)) return stop(line, "Color");
            if (color == 1) out.push_back(SelectAssignment("RadioButton1"));
            else if (color == 3) out.push_back(SelectAssignment("RadioButton2"));
        } else if (line == spidersLine) {
            if (!in.Next(word)) return stop(line, "Spiders");
            for (const CheckField* c : ChecksOnLine(line)) {
                int v;
                if (!in.NextInteger(v)) return stop(line, "Spiders");
                if (v == 0 || v == 1) {
                    ParameterAssignment a;
                    a.kind = ParameterAssignment::Kind::Check;
                    a.control = "CheckBox" + std::to_string(c->control);
                    a.checked = v == 1;
                    out.push_back(a);
                }
            }
        } else if (line == filtersLine) {
            int filter;
            if (!in.Next(word) || !in.NextInteger(filter)) return stop(line, "Filters");
            // The mask picture and the filter table are not part of the file, so those kinds
            // load as none.
            if (filter >= 3 && filter <= 5) out.push_back(SelectAssignment("RadioButton" + std::to_string(filter)));
            else if (filter >= 6 && filter <= 8) out.push_back(SelectAssignment("RadioButton7"));
        } else {
            const std::vector<const EditField*> fields = FieldsOnLine(line);
            const std::string key = fields.front()->fileKey;
            // A message names the line by its first key word ("White" for "White Wavelength").
            const std::string shownKey = key.substr(0, key.find(' '));
            for (int k = WordCount(key.c_str()); k > 0; --k)
                if (!in.Next(word)) return stop(line, shownKey);
            for (const EditField* f : fields) {
                const std::string control = "Edit" + std::to_string(f->control);
                if (f->kind == FieldKind::Coefficient) {
                    double v;
                    if (!in.NextReal(v)) return stop(line, shownKey);
                    // 1.7976931348623157e308 shows as "1.79769313486232E308", beyond the largest
                    // double: a value the panel could not read back is as unreadable as a
                    // malformed one.
                    const std::string shown = FormatGeneral(v);
                    if (!ConvertsBack(shown)) return stop(line, shownKey);
                    out.push_back(TextAssignment(control.c_str(), shown));
                } else {
                    int v;
                    if (!in.NextInteger(v)) return stop(line, shownKey);
                    out.push_back(TextAssignment(control.c_str(), std::to_string(v)));
                }
            }
        }
    }
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
        result.reason = file.reason;
        return result;
    }
    return ParseParameterText(file.bytes);
}

void ApplyAssignment(SimulationParameters& p, const ParameterAssignment& a) {
    using Kind = ParameterAssignment::Kind;
    if (a.kind == Kind::Text) {
        if (const EditField* f = FindEditField(ControlNumber(a.control, "Edit"))) SetFieldFromText(*f, p, a.text);
        return;
    }
    if (a.kind == Kind::Check) {
        if (const CheckField* c = FindCheckField(ControlNumber(a.control, "CheckBox"))) p.*(c->field) = a.checked;
        return;
    }
    if (const RadioField* r = FindRadioField(ControlNumber(a.control, "RadioButton"))) {
        if (r->isMode) p.colorMode = r->mode;
        else p.densityProfile = r->density;
    }
}

void ApplyAssignments(SimulationParameters& p, const ParameterFileRead& read) {
    for (const ParameterAssignment& a : read.assignments) ApplyAssignment(p, a);
}

}  // namespace velmora
