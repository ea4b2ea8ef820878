// The build report in the words the project window shows it in: sizes a
// reader knows, pages by their file names, and each warning with the setting
// that would change it.
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

#include "engine/BuildReport.h"
#include "engine/SiteGenerator.h"

namespace orvana {

// "байт", "байта" or "байтов", as the number asks: 1 байт, 2 байта,
// 5 байтов, 11 байтов, 21 байт.
QString BytesWord(uint64_t count);

// A size as people read it: "512 байтов", "12,3 КБ", "9,0 МБ", "1,2 ГБ"
// (steps of 1024, one decimal, a decimal comma).
QString ReadableSize(uint64_t bytes);

// With PruneStale off, the pages of an earlier, longer site that a complete
// write left in the report's folder (pageN.html beyond the last page), in
// page order; empty otherwise. ReportText names them in a warning.
QStringList LeftoverPages(const TBuildReport& report, const TSiteGenerator& generator);

// The report of a build of the generator's project, as lines of text.
QString ReportText(const TBuildReport& report, const TSiteGenerator& generator);

// The files a write of the generator's pages gives, in the order it writes
// them: the pages, "style.css", then the sitemap's files when the site has
// an address.
QStringList SiteFileNames(const TSiteGenerator& generator);

// How many of the site's files a write that failed with error (the text
// CommandErrorText gives, naming the file) replaced before the failure,
// one file at a time: those before the failed file, or the pages the
// progress counted when the file is not named.
int FilesReplacedBefore(const QStringList& files, const QString& error, int pagesWritten);

// The report's line of such a write: "Сайт записан не полностью: заменено
// N из M файлов; " and the error.
QString PartialWriteText(int replaced, int files, const QString& error);

// The exact figures behind the rounded sizes of ReportText, for a tool tip.
QString ReportExactSizes(const TBuildReport& report);

}  // namespace orvana
