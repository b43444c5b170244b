#include "viewers/AnalysisTable.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>

namespace velmora {

const char* BandCaption(const std::string& bandName) {
    if (bandName == "red") return QT_TRANSLATE_NOOP("AnalysisTable", "赤");
    if (bandName == "green") return QT_TRANSLATE_NOOP("AnalysisTable", "緑");
    if (bandName == "blue") return QT_TRANSLATE_NOOP("AnalysisTable", "青");
    return QT_TRANSLATE_NOOP("AnalysisTable", "白色光");
}

const char* const depthOfFocusCaption = QT_TRANSLATE_NOOP("AnalysisTable", "焦点深度 (µm)");
const char* const dipCaption = QT_TRANSLATE_NOOP("AnalysisTable", "二重星の谷 (比)");
const char* const resolvedCaption = QT_TRANSLATE_NOOP("AnalysisTable", "二重星 (スパロー)");
const char* const resolvedText = QT_TRANSLATE_NOOP("AnalysisTable", "分離");
const char* const unresolvedText = QT_TRANSLATE_NOOP("AnalysisTable", "未分離");

std::string FixedText(double value, int decimals) {
    if (!std::isfinite(value)) return "-";
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    std::string s = text;
    // A tiny negative rounds to "-0.000", which reads as a sign that is not there.
    if (s[0] == '-' && s.find_first_not_of("-0.") == std::string::npos) s.erase(0, 1);
    return s;
}

namespace {

// An angle on the sky for a length in the focal plane: the band's own pitch gives the ratio.
double Arcsec(const BandMeasurements& b, double um) { return b.scale.um > 0 ? um * b.scale.arcsec / b.scale.um : NAN; }

struct RowFormat {
    const char* caption;
    int decimals;
    std::function<double(const BandMeasurements&)> value;
};

const std::vector<RowFormat>& RowFormats() {
    using B = BandMeasurements;
    static const std::vector<RowFormat> formats = {
        {QT_TRANSLATE_NOOP("AnalysisTable", "平均波長 (nm)"), 1, [](const B& b) { return b.meanWavelengthNm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "画素ピッチ (µm)"), 4, [](const B& b) { return b.scale.um; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "画素ピッチ (秒角)"), 5, [](const B& b) { return b.scale.arcsec; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "画素ピッチの幅 (%)"), 3, [](const B& b) { return 100 * b.scale.umSpread; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "ストレール比"), 3, [](const B& b) { return b.strehl; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "RMS 波面収差 (波長)"), 4, [](const B& b) { return b.rmsWavefrontWaves; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "マレシャル推定値"), 3, [](const B& b) { return b.marechalStrehl; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "ピーク位置 x (µm)"), 3, [](const B& b) { return b.peakXUm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "ピーク位置 y (µm)"), 3, [](const B& b) { return b.peakYUm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "重心位置 x (µm)"), 3, [](const B& b) { return b.centroidXUm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "重心位置 y (µm)"), 3, [](const B& b) { return b.centroidYUm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "半値全幅 x (µm)"), 3, [](const B& b) { return b.fwhmXUm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "半値全幅 y (µm)"), 3, [](const B& b) { return b.fwhmYUm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "半値全幅 平均 (µm)"), 3, [](const B& b) { return b.fwhmUm; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "半値全幅 x (秒角)"), 4, [](const B& b) { return Arcsec(b, b.fwhmXUm); }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "半値全幅 y (秒角)"), 4, [](const B& b) { return Arcsec(b, b.fwhmYUm); }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "半値全幅 平均 (秒角)"), 4, [](const B& b) { return b.fwhmArcsec; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "r50 (µm)"), 3, [](const B& b) { return b.r50Um; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "r80 (µm)"), 3, [](const B& b) { return b.r80Um; }},
        {QT_TRANSLATE_NOOP("AnalysisTable", "遮断周波数 (本/mm)"), 1, [](const B& b) { return b.cutoffCycPerMm; }},
    };
    return formats;
}

}  // namespace

std::vector<AnalysisRow> AnalysisRows(const Analysis& analysis) {
    std::vector<AnalysisRow> rows;
    for (const RowFormat& format : RowFormats()) {
        AnalysisRow row{format.caption, {}};
        for (const BandMeasurements& band : analysis.bands) row.values.push_back(FixedText(format.value(band), format.decimals));
        rows.push_back(std::move(row));
    }
    // The depth of focus, when the through-focus curve was made for some band.
    const bool focus = std::any_of(analysis.bands.begin(), analysis.bands.end(),
                                   [](const BandMeasurements& b) { return !b.focusStrehl.empty(); });
    if (focus) {
        AnalysisRow row{depthOfFocusCaption, {}};
        for (const BandMeasurements& band : analysis.bands)
            row.values.push_back(band.focusStrehl.empty() ? "-" : FixedText(band.depthOfFocusUm, 1));
        rows.push_back(std::move(row));
    }
    // A companion's dip and Sparrow's verdict, when the result is a pair. The verdict is a word
    // the table shows translated.
    const bool pair = std::any_of(analysis.bands.begin(), analysis.bands.end(), [](const BandMeasurements& b) { return b.pair; });
    if (pair) {
        AnalysisRow dip{dipCaption, {}}, verdict{resolvedCaption, {}};
        for (const BandMeasurements& band : analysis.bands) {
            dip.values.push_back(band.pair ? FixedText(band.dipRatio, 3) : "-");
            verdict.values.push_back(!band.pair ? "-" : band.resolved ? resolvedText : unresolvedText);
        }
        rows.push_back(std::move(dip));
        rows.push_back(std::move(verdict));
    }
    return rows;
}

}  // namespace velmora
