// The program's version as its files state it (the version dialog shows the same number).
#pragma once

namespace velmora {

inline constexpr const char* programVersion = "3.07";
// The layout of the measurement report (docs/report.schema.json); a change of layout changes
// the number.
inline constexpr const char* reportSchema = "velmora1-report/1";

}  // namespace velmora
