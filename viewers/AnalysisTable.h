// The analysis window's table as text: one row per measurement with its unit in the caption,
// one column per band, every number in the row's fixed format. Standard library only; the
// captions are translation sources of the context "AnalysisTable".
#pragma once

#include <string>
#include <vector>

#include "analysis/Analysis.h"

namespace velmora {

inline constexpr const char* analysisTableContext = "AnalysisTable";

struct AnalysisRow {
    const char* caption;              // Japanese source text with its unit
    std::vector<std::string> values;  // one per band, in the result's band order
};

// The caption of a band's column ("白色光", "赤", "緑", "青") as a translation source.
const char* BandCaption(const std::string& bandName);

// The rows; the depth of focus (depthOfFocusCaption) when some band has its through-focus
// curve ("-" in a band without one), then a double star's dip ratio and Sparrow's verdict
// ("分離" or "未分離", translation sources) when the result is a pair.
std::vector<AnalysisRow> AnalysisRows(const Analysis& analysis);
extern const char* const depthOfFocusCaption;

// A number with `decimals` places after the point; never "-0.000".
std::string FixedText(double value, int decimals);

}  // namespace velmora
