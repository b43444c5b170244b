// The program's version as its files state it (the version dialog shows the same number).
#pragma once

namespace velmora {

inline constexpr const char* programVersion = "3.07";
// What a written file names as its maker: "velmora1-batch 3.07".
inline constexpr const char* reportSchema = "velmora1-report/1";

}  // namespace velmora
