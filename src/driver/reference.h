#pragma once
// The reference-text file: "Jw_win.jwf" beside the executable names it, and
// its lines of key, tab and value give the texts that "%%" macros look up.
#include <string>

#include "context/context.h"

namespace zumen {

inline constexpr const char* kJwfFileName = "Jw_win.jwf";

// Fills ctx.RefFileName from appPath + "Jw_win.jwf" (upper-cased, as found).
void GetRefFileName(ConversionContext& ctx, const std::string& appPath);

// Fills ctx.RefList from the reference-text file. A name without a folder is
// looked for in the current drawing's folder, or in appPath when no drawing
// has been read.
void RefFileOpen(ConversionContext& ctx, const std::string& appPath);

}  // namespace zumen
