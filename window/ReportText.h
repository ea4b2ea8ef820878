// The build report in the words the project window shows it in: sizes a
// reader knows, pages by their file names, and each warning with the setting
// that would change it.
#pragma once

#include <QString>

#include <cstdint>

#include "engine/BuildReport.h"
#include "engine/SiteGenerator.h"

namespace orvana {

// A size as people read it: "512 байт", "12,3 КБ", "9,0 МБ", "1,2 ГБ"
// (steps of 1024, one decimal, a decimal comma).
QString ReadableSize(uint64_t bytes);

// The report of a build of the generator's project, as lines of text.
QString ReportText(const TBuildReport& report, const TSiteGenerator& generator);

// The exact figures behind the rounded sizes of ReportText, for a tool tip.
QString ReportExactSizes(const TBuildReport& report);

}  // namespace orvana
