#include "window/ReportText.h"

#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <string_view>

#include "engine/ExtrasOutput.h"
#include "engine/SiteBuild.h"
#include "engine/UrlSafety.h"
#include "gui/TextBridge.h"

namespace orvana {
namespace {

// Where each setting the warnings name is found in the window.
const QString kExtrasTab = QStringLiteral("вкладка «Дополнительно»");

// "page3.html, page7.html и ещё 4": at most `shown` named.
QString PageNames(const std::vector<int>& pages, const TSiteGenerator& generator,
                  size_t shown = 10) {
  QStringList names;
  for (size_t i = 0; i < pages.size() && i < shown; ++i) {
    const int p = pages[i];
    names << (p >= 0 && p < generator.Pages().Count() ? FromEngine(generator.Pages()[p].PageUrl)
                                                      : QString::number(p));
  }
  QString text = names.join(QStringLiteral(", "));
  if (pages.size() > shown)
    text += QStringLiteral(" и ещё %1").arg(static_cast<qulonglong>(pages.size() - shown));
  return text;
}

// "page3.html, page7.html и ещё 4": at most `shown` named.
QString NameList(const QStringList& names, qsizetype shown = 10) {
  QString text = names.mid(0, shown).join(QStringLiteral(", "));
  if (names.size() > shown) text += QStringLiteral(" и ещё %1").arg(names.size() - shown);
  return text;
}

QString LargeOutputAdvice(const TOrvanaExtras& extras) {
  const bool menu = extras.MenuWindow > 0, bar = extras.PagerWindow > 0;
  if (!menu && !bar)
    return QStringLiteral(
               "меню и панель каждой страницы перечисляют все страницы, и сайт растёт как "
               "квадрат числа страниц; «Окно меню» и «Окно панели страниц» (%1) оставят в них "
               "только соседние страницы")
        .arg(kExtrasTab);
  if (!bar)
    return QStringLiteral(
               "панель каждой страницы перечисляет все страницы; «Окно панели страниц» (%1) "
               "оставит в ней только соседние")
        .arg(kExtrasTab);
  if (!menu)
    return QStringLiteral(
               "меню каждой страницы перечисляет все страницы; «Окно меню» (%1) оставит в нём "
               "только соседние")
        .arg(kExtrasTab);
  return QStringLiteral(
             "хотя окна включены; окна поменьше (%1) или страницы подлиннее их "
             "уменьшат")
      .arg(kExtrasTab);
}

QString WarningText(const TBuildWarning& warning, const TBuildReport& r, const TSiteGenerator& g) {
  const std::string_view code = warning.code;
  const int32_t min = g.MinCharsPerPage(), max = g.MaxCharsPerPage();
  if (code == kWarnLinkQuotaZero)
    return QStringLiteral(
               "ссылки не вставлены: адресов (%1) меньше, чем страниц после первой (%2); "
               "добавьте адресов на вкладке «Линки» или увеличьте «Знаков на страницу» на "
               "вкладке «Настройки», чтобы страниц стало меньше")
        .arg(r.addresses)
        .arg(r.pages - 1);
  if (code == kWarnMinAboveMax)
    return QStringLiteral(
               "минимум страницы (%1) не меньше максимума (%2): страницы режутся по %2 знаков "
               "посреди предложения; сделайте «Знаков на страницу (min)» меньше, чем (max)")
        .arg(min)
        .arg(max);
  if (code == kWarnForcedCuts)
    return QStringLiteral(
               "разрезаны посреди слова или предложения %1 из %2 страниц (%3): между %4 и %5 "
               "знаками не нашлось конца абзаца или предложения; раздвиньте «Знаков на "
               "страницу» на вкладке «Настройки»")
        .arg(static_cast<qulonglong>(r.forced_cuts.size()))
        .arg(r.pages)
        .arg(PageNames(r.forced_cuts, g))
        .arg(min)
        .arg(max);
  if (code == kWarnNoCharset)
    return QStringLiteral(
               "страниц без объявленной кодировки: %1 из %2, браузеру придётся её угадывать; "
               "добавьте в шаблон <meta charset=\"%3\"> или выберите кодировку utf-8 (%4)")
        .arg(r.pages_without_charset)
        .arg(r.pages)
        .arg(FromEngine(r.encoding), kExtrasTab);
  if (code == kWarnCharsetMismatch)
    return QStringLiteral(
               "страниц, объявляющих не ту кодировку, в которой они записаны (%1): %2 из %3, "
               "браузер покажет вместо букв мусор; исправьте charset в шаблоне или выберите "
               "кодировку utf-8 (%4), она сама исправит объявление")
        .arg(FromEngine(r.encoding))
        .arg(r.pages_with_other_charset)
        .arg(r.pages)
        .arg(kExtrasTab);
  if (code == kWarnLargeOutput && r.bytes > 0)
    return QStringLiteral("меню и панели страниц занимают %1 из %2 (%3%): %4")
        .arg(ReadableSize(r.menu_and_bar_bytes), ReadableSize(r.bytes))
        .arg(r.menu_and_bar_bytes * 100 / r.bytes)
        .arg(LargeOutputAdvice(g.Extras()));
  if (code == kWarnBadSiteUrl)
    return QStringLiteral(
               "адрес сайта «%1» не подходит, карта сайта не записана; укажите полный адрес "
               "http:// или https:// без ? и # в поле «Адрес сайта для sitemap.xml» (%2)")
        .arg(FromEngine(g.Extras().SiteUrl), kExtrasTab);
  if (code == kWarnEmptyAddress)
    return QStringLiteral(
        "в списке ссылок есть пустые строки: ссылки на них ведут на ту же страницу; удалите "
        "пустые строки на вкладке «Линки»");
  return FromEngine(warning.message);
}

}  // namespace

QStringList LeftoverPages(const TBuildReport& report, const TSiteGenerator& generator) {
  if (generator.Extras().PruneStale || !report.complete || report.dry_run || report.folder.empty())
    return {};
  // pageN.html beyond the site's last page, as the build names its pages.
  static const QRegularExpression kPage(QStringLiteral("^page([1-9][0-9]{0,8})\\.html$"));
  QList<std::pair<int, QString>> found;
  const QDir folder(QString::fromStdString(report.folder));
  for (const QString& name : folder.entryList({QStringLiteral("page*.html")}, QDir::Files)) {
    const QRegularExpressionMatch match = kPage.match(name);
    if (match.hasMatch() && match.captured(1).toInt() >= report.pages)
      found.append({match.captured(1).toInt(), name});
  }
  std::sort(found.begin(), found.end());
  QStringList names;
  for (const auto& page : found) names << page.second;
  return names;
}

QStringList SiteFileNames(const TSiteGenerator& generator) {
  QStringList names;
  std::vector<std::string_view> urls;
  for (int i = 0; i < generator.Pages().Count(); ++i) {
    urls.push_back(generator.Pages()[i].PageUrl);
    names << FromEngine(generator.Pages()[i].PageUrl);
  }
  names << QString::fromLatin1(kStylesheetFileName.data(), kStylesheetFileName.size());
  const std::string& site = generator.Extras().SiteUrl;
  if (!site.empty() && SiteUrlProblem(site).empty())
    for (const TSitemapFile& file : BuildSitemapFiles(site, urls))
      names << QString::fromStdString(file.name);
  return names;
}

int FilesReplacedBefore(const QStringList& files, const QString& error, int pagesWritten) {
  // The pages are written first, one at a time, each counted as it is
  // written; a build that fails before its first page (a target it
  // cannot replace) has replaced nothing.
  const qsizetype pages =
      files.indexOf(QString::fromLatin1(kStylesheetFileName.data(), kStylesheetFileName.size()));
  if (pages < 0 || pagesWritten < pages) return pagesWritten;
  static const QRegularExpression kNamed(QStringLiteral("[«\"]([^«»\"]+)[»\"]"));
  const QRegularExpressionMatch match = kNamed.match(error);
  if (match.hasMatch()) {
    const qsizetype at = files.indexOf(QFileInfo(match.captured(1)).fileName());
    if (at >= 0) return static_cast<int>(at);
  }
  return pagesWritten;
}

QString PartialWriteText(int replaced, int files, const QString& error) {
  // "из 1 файла", "из 21 файла", otherwise "из N файлов".
  const QString word =
      files % 10 == 1 && files % 100 != 11 ? QStringLiteral("файла") : QStringLiteral("файлов");
  return QStringLiteral("Сайт записан не полностью: заменено %1 из %2 %3; %4")
      .arg(replaced)
      .arg(files)
      .arg(word, error);
}

QString BytesWord(uint64_t count) {
  const uint64_t last = count % 10, lastTwo = count % 100;
  if (last == 1 && lastTwo != 11) return QStringLiteral("байт");
  if (last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14)) return QStringLiteral("байта");
  return QStringLiteral("байтов");
}

QString ReadableSize(uint64_t bytes) {
  if (bytes < 1024) return QStringLiteral("%1 %2").arg(bytes).arg(BytesWord(bytes));
  static const char* const kUnits[] = {"КБ", "МБ", "ГБ", "ТБ"};
  double value = static_cast<double>(bytes) / 1024;
  size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  return QLocale(QLocale::Russian).toString(value, 'f', 1) + u' ' + QString::fromUtf8(kUnits[unit]);
}

QString ReportExactSizes(const TBuildReport& r) {
  const QLocale russian(QLocale::Russian);
  const auto exact = [&russian](uint64_t bytes) {
    return russian.toString(static_cast<qulonglong>(bytes)) + u' ' + BytesWord(bytes);
  };
  // "от … до" asks for the genitive: "от 1 байта", "до 5 байтов".
  const auto from = [&russian](uint64_t bytes) {
    return russian.toString(static_cast<qulonglong>(bytes)) + (bytes % 10 == 1 && bytes % 100 != 11
                                                                   ? QStringLiteral(" байта")
                                                                   : QStringLiteral(" байтов"));
  };
  return QStringLiteral("Объём сайта: %1\nСтраницы: от %2 до %3, всего %4")
      .arg(exact(r.bytes), from(r.page_bytes_min), from(r.page_bytes_max), exact(r.page_bytes));
}

QString ReportText(const TBuildReport& report, const TSiteGenerator& generator) {
  QStringList lines;
  // A write stopped midway: the count and the size of the same files.
  if (report.complete)
    lines << QStringLiteral("Страниц: %1, объём сайта: %2")
                 .arg(report.pages)
                 .arg(ReadableSize(report.bytes));
  else
    lines << QStringLiteral("Записано страниц: %1 из %2, их объём: %3")
                 .arg(report.pages_written)
                 .arg(report.pages)
                 .arg(ReadableSize(report.bytes));
  if (report.pages > 0)
    lines << QStringLiteral("Размер страницы: от %1 до %2, в среднем %3")
                 .arg(ReadableSize(report.page_bytes_min), ReadableSize(report.page_bytes_max),
                      ReadableSize(static_cast<uint64_t>(report.page_bytes_mean + 0.5)));
  lines << QStringLiteral(
               "Ссылок вставлено: %1 (адресов: %2, слов со ссылкой на странице — не "
               "больше %3)")
               .arg(report.placed)
               .arg(report.addresses)
               .arg(report.quota);
  if (!report.unused.empty()) {
    QStringList unused;
    for (const std::string& url : report.unused) unused << FromEngine(url);
    lines << QStringLiteral("Адреса без ссылок: ") + unused.join(QStringLiteral(", "));
  }
  if (!report.pruned.empty()) {
    QStringList pruned;
    for (const std::string& name : report.pruned) pruned << FromEngine(name);
    lines << QStringLiteral("Удалены файлы прежней выгрузки: ") + pruned.join(QStringLiteral(", "));
  }
  const std::vector<std::string> scripts = ScriptRunningAddresses(generator.SiteUrlsToLink());
  size_t script = 0;
  QStringList warnings;
  for (const TBuildWarning& warning : report.warnings) {
    if (warning.code == kWarnUnsafeUrl && script < scripts.size()) {
      const std::string& address = scripts[script++];
      bool inserted = false;
      for (const TAddressLinks& links : report.by_address)
        if (links.url == address) inserted = links.count > 0;
      warnings << QStringLiteral(
                      "адрес «%1» выполняет сценарий при переходе; %2; уберите его со "
                      "вкладки «Линки»")
                      .arg(FromEngine(address),
                           inserted ? QStringLiteral("ссылки на него вставлены как есть")
                                    : QStringLiteral("ссылок на него не вставлено"));
      continue;
    }
    warnings << WarningText(warning, report, generator);
  }
  const QStringList leftover = LeftoverPages(report, generator);
  if (!leftover.isEmpty())
    warnings << QStringLiteral(
                    "в папке остались страницы прежней, более длинной выгрузки (%1): %2; они "
                    "не относятся к новому сайту, их удалит «Удалять лишние страницы pageN.html "
                    "прежней выгрузки» (%3)")
                    .arg(leftover.size())
                    .arg(NameList(leftover), kExtrasTab);
  if (warnings.isEmpty()) {
    lines << QStringLiteral("Предупреждений нет");
  } else {
    lines << QStringLiteral("Предупреждения:");
    for (const QString& text : warnings) lines << QStringLiteral("• ") + text;
  }
  return lines.join(u'\n');
}

}  // namespace orvana
