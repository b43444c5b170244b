#include "files/RunParameters.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <set>
#include <nlohmann/json.hpp>

#include "files/ZernikeFile.h"
#include "imaging/Camera.h"
#include "imaging/Sky.h"

namespace velmora {
namespace {

using Json = nlohmann::ordered_json;

const char* DensityName(DensityProfileKind k) {
    switch (k) {
    case DensityProfileKind::Gaussian: return "gaussian";
    case DensityProfileKind::Cosine: return "cosine";
    case DensityProfileKind::Triangle: return "triangle";
    case DensityProfileKind::UserMask: return "user_mask";
    case DensityProfileKind::None: return "none";
    case DensityProfileKind::UserFilter: return "user_filter";
    }
    return "none";
}

const std::map<std::string, DensityProfileKind>& DensityKinds() {
    static const std::map<std::string, DensityProfileKind> kinds = {
        {"gaussian", DensityProfileKind::Gaussian}, {"cosine", DensityProfileKind::Cosine},
        {"triangle", DensityProfileKind::Triangle}, {"user_mask", DensityProfileKind::UserMask},
        {"none", DensityProfileKind::None},         {"user_filter", DensityProfileKind::UserFilter},
    };
    return kinds;
}

// The aberrations by their keys, in the panel's order.
struct AberrationKey {
    const char* key;
    double Aberrations::*waves;
    int16_t SimulationParameters::*position;
};
constexpr AberrationKey aberrationKeys[] = {
    {"focus", &Aberrations::focus, &SimulationParameters::focus},
    {"spherical", &Aberrations::spherical, &SimulationParameters::spherical},
    {"astigmatism_m", &Aberrations::astigmatismM, &SimulationParameters::astigmatismM},
    {"astigmatism_s", &Aberrations::astigmatismS, &SimulationParameters::astigmatismS},
    {"coma_x", &Aberrations::comaX, &SimulationParameters::comaX},
    {"coma_y", &Aberrations::comaY, &SimulationParameters::comaY},
    {"tilt_x", &Aberrations::tiltX, &SimulationParameters::tiltX},
    {"tilt_y", &Aberrations::tiltY, &SimulationParameters::tiltY},
};

struct BandKey {
    const char* key;
    WavelengthBand SimulationParameters::*band;
};
constexpr BandKey bandKeys[] = {
    {"white", &SimulationParameters::whiteBand},
    {"red", &SimulationParameters::redBand},
    {"green", &SimulationParameters::greenBand},
    {"blue", &SimulationParameters::blueBand},
};

// The record's plain whole numbers.
struct IntKey {
    const char* key;
    int SimulationParameters::*field;
};
constexpr IntKey intKeys[] = {
    {"aperture_mm", &SimulationParameters::aperture},
    {"focal_length_mm", &SimulationParameters::focalLength},
    {"secondary_mm", &SimulationParameters::secondaryDiameter},
    {"vane_width_mm", &SimulationParameters::barWidth},
    {"shift_x_mm", &SimulationParameters::shiftX},
    {"shift_y_mm", &SimulationParameters::shiftY},
    {"magnification", &SimulationParameters::magnification},
    {"pupil_div_exponent", &SimulationParameters::pupilDivExponent},
    {"pupil_div", &SimulationParameters::pupilDiv},
    {"contrast", &SimulationParameters::contrast},
};

constexpr int SimulationParameters::*angleFields[4] = {&SimulationParameters::angle1, &SimulationParameters::angle2,
                                                        &SimulationParameters::angle3, &SimulationParameters::angle4};
constexpr bool SimulationParameters::*vaneFields[4] = {&SimulationParameters::spider1, &SimulationParameters::spider2,
                                                        &SimulationParameters::spider3, &SimulationParameters::spider4};

[[noreturn]] void Fail(const std::string& path, const std::string& what) {
    throw RunParametersError(path + ": " + what);
}

// One JSON object read key by key: every key must be taken, or it is refused as unknown.
class Reader {
public:
    Reader(const nlohmann::json& j, std::string path) : j_(j), path_(std::move(path)) {
        if (!j_.is_object()) Fail(path_, "an object {...} is needed, not " + Shown(j_));
    }
    ~Reader() noexcept(false) {
        if (std::uncaught_exceptions() > 0) return;
        for (auto it = j_.begin(); it != j_.end(); ++it)
            if (!taken_.count(it.key()))
                Fail(Path(it.key()), "is not a key this version knows (known keys are listed in docs/report.schema.json)");
    }
    std::string Path(const std::string& key) const { return path_ + "." + key; }
    const nlohmann::json* Find(const std::string& key) {
        taken_.insert(key);
        const auto it = j_.find(key);
        return it == j_.end() ? nullptr : &*it;
    }
    void Int(const std::string& key, int& out, long long lo = std::numeric_limits<int>::min(),
             long long hi = std::numeric_limits<int>::max()) {
        if (const auto* v = Find(key)) {
            if (!v->is_number_integer()) Fail(Path(key), "a whole number is needed, not " + Shown(*v));
            const long long n = v->get<long long>();
            if (v->is_number_unsigned() && v->get<unsigned long long>() > static_cast<unsigned long long>(hi))
                Fail(Path(key), "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) + " is needed, not " + Shown(*v));
            if (n < lo || n > hi)
                Fail(Path(key), "a whole number from " + std::to_string(lo) + " to " + std::to_string(hi) + " is needed, not " + Shown(*v));
            out = static_cast<int>(n);
        }
    }
    void Real(const std::string& key, double& out) {
        if (const auto* v = Find(key)) {
            if (!v->is_number()) Fail(Path(key), "a number is needed, not " + Shown(*v));
            out = v->get<double>();
        }
    }
    void Bool(const std::string& key, bool& out) {
        if (const auto* v = Find(key)) {
            if (!v->is_boolean()) Fail(Path(key), "true or false is needed, not " + Shown(*v));
            out = v->get<bool>();
        }
    }
    void Text(const std::string& key, std::string& out) {
        if (const auto* v = Find(key)) {
            if (!v->is_string()) Fail(Path(key), "a text \"...\" is needed, not " + Shown(*v));
            out = v->get<std::string>();
        }
    }
    // Absent or null: none.
    void OptionalText(const std::string& key, std::optional<std::string>& out) {
        if (const auto* v = Find(key)) {
            if (v->is_null()) out.reset();
            else if (v->is_string()) out = v->get<std::string>();
            else Fail(Path(key), "a file name \"...\" or null is needed, not " + Shown(*v));
        }
    }
    // A nested object, read by `read` with a reader of its own.
    void Object(const std::string& key, const std::function<void(Reader&)>& read) {
        if (const auto* v = Find(key)) {
            Reader inner(*v, Path(key));
            read(inner);
        }
    }

    static std::string Shown(const nlohmann::json& v) {
        std::string s = v.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
        return s.size() > 40 ? s.substr(0, 40) + "..." : s;
    }

private:
    const nlohmann::json& j_;
    std::string path_;
    std::set<std::string> taken_;
};

}  // namespace

Json RunParametersToJson(const RunParameters& r) {
    const SimulationParameters& p = r.panel;
    Json j;
    j["mode"] = p.colorMode == ColorMode::Monochrome ? "mono" : "color";
    for (const IntKey& k : intKeys)
        if (k.field != &SimulationParameters::contrast) j[k.key] = p.*(k.field);
    Json vanes = Json::array();
    for (int v = 0; v < 4; ++v) vanes.push_back({{"angle_deg", p.*angleFields[v]}, {"on", p.*vaneFields[v]}});
    j["vanes"] = std::move(vanes);
    j["density"] = {{"profile", DensityName(p.densityProfile)}, {"coefficient", p.densityCoefficient}};
    Json bands = Json::object();
    for (const BandKey& b : bandKeys) {
        const WavelengthBand& w = p.*(b.band);
        bands[b.key] = {{"min", w.min}, {"max", w.max}, {"step", w.step}};
    }
    j["bands_nm"] = std::move(bands);
    Json positions = Json::object();
    for (const AberrationKey& a : aberrationKeys) positions[a.key] = p.*(a.position);
    j["aberration_positions"] = std::move(positions);
    j["contrast"] = p.contrast;
    j["use_wavelength_dependence"] = p.useWavelengthDependence;
    if (r.aberrations) {
        Json waves = Json::object();
        for (const AberrationKey& a : aberrationKeys) waves[a.key] = (*r.aberrations).*(a.waves);
        j["aberrations_waves"] = std::move(waves);
    } else {
        j["aberrations_waves"] = nullptr;
    }
    j["brightness"] = r.brightness;
    j["user_filter_file"] = r.userFilterFile ? Json(*r.userFilterFile) : Json(nullptr);
    j["user_mask_file"] = r.userMaskFile ? Json(*r.userMaskFile) : Json(nullptr);
    if (r.wavelengthTable) {
        Json rows = Json::array();
        const WavelengthTableInput& t = *r.wavelengthTable;
        for (size_t k = 0; k < t.rows.size(); ++k)
            rows.push_back({{"wavelength", k < t.wavelengths.size() ? t.wavelengths[k] : std::string()},
                            {"spherical", t.rows[k].spherical},
                            {"focus", t.rows[k].focus}});
        j["wavelength_table"] = {{"file", t.file}, {"rows", std::move(rows)}};
    } else {
        j["wavelength_table"] = nullptr;
    }
    if (r.zernike) {
        Json waves = Json::object();
        for (const auto& [index, c] : r.zernike->coefficients)
            if (c != 0) waves[std::to_string(index)] = c;
        j["zernike"] = {{"ordering", r.zernike->ordering == ZernikeOrdering::Ansi ? "ansi" : "fringe"},
                        {"waves", std::move(waves)}};
    } else {
        j["zernike"] = nullptr;
    }
    if (r.mirror.on)
        j["mirror"] = {{"conic", r.mirror.conic}, {"field_arcmin", r.mirror.fieldArcmin}, {"azimuth_deg", r.mirror.azimuthDeg}};
    if (r.seeingArcsec != 0) j["seeing_arcsec"] = r.seeingArcsec;
    if (r.companion.Present())
        j["double_star"] = {{"separation_arcsec", r.companion.separationArcsec},
                            {"position_angle_deg", r.companion.positionAngleDeg},
                            {"delta_mag", r.companion.deltaMag}};
    if (r.cameraPixelUm != 0) j["camera_pixel_um"] = r.cameraPixelUm;
    return j;
}

RunParameters RunParametersFromJson(const nlohmann::json& j, const std::string& where) {
    RunParameters r;
    SimulationParameters& p = r.panel;
    Reader in(j, where);
    if (const auto* mode = in.Find("mode")) {
        if (*mode == "mono") p.colorMode = ColorMode::Monochrome;
        else if (*mode == "color") p.colorMode = ColorMode::Colour;
        else Fail(in.Path("mode"), "\"mono\" or \"color\" is needed, not " + Reader::Shown(*mode));
    }
    for (const IntKey& k : intKeys) in.Int(k.key, p.*(k.field));
    if (const auto* vanes = in.Find("vanes")) {
        if (!vanes->is_array() || vanes->size() != 4)
            Fail(in.Path("vanes"), "a list of the four vanes is needed, not " + Reader::Shown(*vanes));
        for (int v = 0; v < 4; ++v) {
            Reader vane((*vanes)[static_cast<size_t>(v)], in.Path("vanes") + "[" + std::to_string(v) + "]");
            vane.Int("angle_deg", p.*angleFields[v]);
            vane.Bool("on", p.*vaneFields[v]);
        }
    }
    in.Object("density", [&](Reader& d) {
        if (const auto* kind = d.Find("profile")) {
            const auto found = kind->is_string() ? DensityKinds().find(kind->get<std::string>()) : DensityKinds().end();
            if (found == DensityKinds().end())
                Fail(d.Path("profile"),
                     "one of \"gaussian\", \"cosine\", \"triangle\", \"user_mask\", \"none\", \"user_filter\" is needed, not " +
                         Reader::Shown(*kind));
            p.densityProfile = found->second;
        }
        d.Real("coefficient", p.densityCoefficient);
    });
    in.Object("bands_nm", [&](Reader& bands) {
        for (const BandKey& b : bandKeys)
            bands.Object(b.key, [&](Reader& band) {
                WavelengthBand& w = p.*(b.band);
                band.Int("min", w.min);
                band.Int("max", w.max);
                band.Int("step", w.step);
            });
    });
    in.Object("aberration_positions", [&](Reader& a) {
        for (const AberrationKey& k : aberrationKeys) {
            int v = p.*(k.position);
            a.Int(k.key, v, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max());
            p.*(k.position) = static_cast<int16_t>(v);
        }
    });
    in.Bool("use_wavelength_dependence", p.useWavelengthDependence);
    if (const auto* waves = in.Find("aberrations_waves"); waves && !waves->is_null()) {
        Aberrations a;
        Reader w(*waves, in.Path("aberrations_waves"));
        for (const AberrationKey& k : aberrationKeys) w.Real(k.key, a.*(k.waves));
        r.aberrations = a;
    }
    in.Int("brightness", r.brightness, 1, 100);
    in.OptionalText("user_filter_file", r.userFilterFile);
    in.OptionalText("user_mask_file", r.userMaskFile);
    if (const auto* table = in.Find("wavelength_table"); table && !table->is_null()) {
        WavelengthTableInput t;
        Reader tr(*table, in.Path("wavelength_table"));
        tr.Text("file", t.file);
        if (const auto* rows = tr.Find("rows")) {
            if (!rows->is_array()) Fail(tr.Path("rows"), "a list of rows is needed, not " + Reader::Shown(*rows));
            for (size_t k = 0; k < rows->size(); ++k) {
                Reader row((*rows)[k], tr.Path("rows") + "[" + std::to_string(k) + "]");
                std::string wavelength;
                WavelengthDependenceRow cells;
                row.Text("wavelength", wavelength);
                row.Text("spherical", cells.spherical);
                row.Text("focus", cells.focus);
                t.wavelengths.push_back(std::move(wavelength));
                t.rows.push_back(std::move(cells));
            }
        }
        r.wavelengthTable = std::move(t);
    }
    if (const auto* zernike = in.Find("zernike"); zernike && !zernike->is_null()) {
        ZernikeSet set;
        Reader z(*zernike, in.Path("zernike"));
        if (const auto* ordering = z.Find("ordering")) {
            if (*ordering == "fringe") set.ordering = ZernikeOrdering::Fringe;
            else if (*ordering == "ansi") set.ordering = ZernikeOrdering::Ansi;
            else Fail(z.Path("ordering"), "\"fringe\" or \"ansi\" is needed, not " + Reader::Shown(*ordering));
        }
        if (const auto* waves = z.Find("waves")) {
            if (!waves->is_object()) Fail(z.Path("waves"), "an object of \"index\": waves is needed, not " + Reader::Shown(*waves));
            const int first = FirstZernikeIndex(set.ordering), last = LastZernikeIndex(set.ordering);
            for (auto it = waves->begin(); it != waves->end(); ++it) {
                const std::string where = z.Path("waves") + "." + it.key();
                const std::string& key = it.key();
                int index = -1;
                if (!key.empty() && key.size() <= 3 && key.find_first_not_of("0123456789") == std::string::npos)
                    index = std::stoi(key);
                if (index < first || index > last)
                    Fail(where, "the index must be a whole number from " + std::to_string(first) + " to " + std::to_string(last) +
                                    " in this ordering");
                if (!it->is_number() || !std::isfinite(it->get<double>()) ||
                    std::fabs(it->get<double>()) > zernikeCoefficientLimit)
                    Fail(where, "a number of waves from -" + std::to_string(static_cast<int>(zernikeCoefficientLimit)) +
                                    " to " + std::to_string(static_cast<int>(zernikeCoefficientLimit)) + " is needed, not " +
                                    Reader::Shown(*it));
                if (it->get<double>() != 0) set.coefficients[index] = it->get<double>();
            }
        }
        r.zernike = std::move(set);
    }
    // The mirror: an object turns it on, each value defaulting to 0 (a sphere on axis); null or
    // no key leaves it off.
    if (const auto* mirror = in.Find("mirror"); mirror && !mirror->is_null()) {
        Reader m(*mirror, in.Path("mirror"));
        MirrorAndField& out = r.mirror;
        out.on = true;
        const struct {
            const char* key;
            double MirrorAndField::*field;
            double limit;
        } values[] = {
            {"conic", &MirrorAndField::conic, maximumConicMagnitude},
            {"field_arcmin", &MirrorAndField::fieldArcmin, maximumFieldArcmin},
            {"azimuth_deg", &MirrorAndField::azimuthDeg, maximumAzimuthMagnitude},
        };
        for (const auto& v : values) {
            m.Real(v.key, out.*(v.field));
            const double x = out.*(v.field);
            const bool field = v.field == &MirrorAndField::fieldArcmin;
            if (!(std::fabs(x) <= v.limit) || (field && x < 0))
                Fail(m.Path(v.key), std::string("a number from ") + (field ? "0" : "-" + std::to_string(static_cast<int>(v.limit))) +
                                        " to " + std::to_string(static_cast<int>(v.limit)) + " is needed, not " +
                                        Reader::Shown((*mirror)[v.key]));
        }
    }
    in.Real("seeing_arcsec", r.seeingArcsec);
    if (!SeeingInRange(r.seeingArcsec))
        Fail(in.Path("seeing_arcsec"), "a seeing from 0 to " + std::to_string(static_cast<int>(maximumSeeingArcsec)) +
                                           " arcseconds is needed");
    if (const auto* pair = in.Find("double_star"); pair && !pair->is_null()) {
        Reader d(*pair, in.Path("double_star"));
        Companion& c = r.companion;
        d.Real("separation_arcsec", c.separationArcsec);
        d.Real("position_angle_deg", c.positionAngleDeg);
        d.Real("delta_mag", c.deltaMag);
        if (!(c.separationArcsec >= 0 && c.separationArcsec <= maximumSeparationArcsec))
            Fail(d.Path("separation_arcsec"), "a separation from 0 to " + std::to_string(static_cast<int>(maximumSeparationArcsec)) +
                                                  " arcseconds is needed");
        if (!(c.deltaMag >= 0 && c.deltaMag <= maximumDeltaMag))
            Fail(d.Path("delta_mag"), "a magnitude difference from 0 to " + std::to_string(static_cast<int>(maximumDeltaMag)) +
                                          " is needed");
    }
    in.Real("camera_pixel_um", r.cameraPixelUm);
    if (!(r.cameraPixelUm >= 0 && r.cameraPixelUm <= maximumCameraPixelUm))
        Fail(in.Path("camera_pixel_um"), "a pixel from 0 to " + std::to_string(static_cast<int>(maximumCameraPixelUm)) +
                                             " micrometres is needed");
    return r;
}

RunParameters RunParametersFromDocument(const std::string& text) {
    nlohmann::json doc;
    try {
        doc = nlohmann::json::parse(text);
    } catch (const nlohmann::json::parse_error& e) {
        throw RunParametersError(std::string("not JSON: ") + e.what());
    }
    if (doc.is_object() && doc.contains("schema")) {
        const nlohmann::json& schema = doc["schema"];
        if (!schema.is_string() || schema.get<std::string>().rfind("velmora1-report/", 0) != 0)
            Fail("schema", "a report of this program says \"velmora1-report/1\", not " + Reader::Shown(schema));
        if (!doc.contains("parameters")) Fail("parameters", "the report holds no \"parameters\" object");
        return RunParametersFromJson(doc["parameters"], "parameters");
    }
    return RunParametersFromJson(doc, "parameters");
}

}  // namespace velmora
