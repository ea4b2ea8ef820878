#include "project/ModernPreset.h"

#include <initializer_list>

#include "engine/CodePage.h"
#include "project/DefaultContent.h"
#include "project/MemoText.h"

namespace orvana {

const TStringList& ModernTemplateLines() {
  static const TStringList lines = Cp1251Lines({
      u8"<!DOCTYPE html>",
      u8"<html lang=\"ru\">",
      u8"<head>",
      u8"<meta charset=\"windows-1251\">",
      u8"<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">",
      u8"<title>SiteGeneratorChange.Title</title>",
      u8"<link rel=\"stylesheet\" href=\"style.css\">",
      u8"</head>",
      u8"<body>",
      u8"<div class=\"page\">",
      u8"<header class=\"site-header\">SiteGeneratorChange.Header</header>",
      u8"<nav class=\"menu\" aria-label=\"Разделы\">",
      u8"SiteGeneratorChange.Menu",
      u8"</nav>",
      u8"<main class=\"text\">",
      u8"SiteGeneratorChange.MainText",
      u8"</main>",
      u8"<nav class=\"pager\" aria-label=\"Страницы\">SiteGeneratorChange.Pagination</nav>",
      u8"<aside class=\"ads\">SiteGeneratorChange.Adsense</aside>",
      u8"<footer class=\"site-footer\">SiteGeneratorChange.Footer</footer>",
      u8"</div>",
      u8"</body>",
      u8"</html>",
  });
  return lines;
}

const TStringList& ModernCssLines() {
  static const TStringList lines = Cp1251Lines({
      u8"*, *::before, *::after { box-sizing: border-box; }",
      u8"html { -webkit-text-size-adjust: 100%; text-size-adjust: 100%; }",
      u8"body {",
      u8"  margin: 0;",
      u8"  font: 18px/1.6 Georgia, \"Times New Roman\", serif;",
      u8"  color: #222;",
      u8"  background: #fbfaf7;",
      u8"}",
      u8".page { max-width: 46rem; margin: 0 auto; padding: 1rem; }",
      u8".site-header { font-size: 1.6rem; font-weight: bold; margin: 0.5rem 0 1rem; }",
      u8".site-header:empty, .ads:empty, .site-footer:empty { display: none; }",
      u8"nav { font-family: system-ui, -apple-system, \"Segoe UI\", Roboto, sans-serif; font-size: "
      u8"16px; }",
      u8".menu { border-bottom: 1px solid #ddd; padding-bottom: 0.5rem; margin-bottom: 1rem; }",
      u8".menu ul { list-style: none; margin: 0; padding: 0; display: flex; flex-wrap: wrap; gap: "
      u8"0.25rem 1rem; }",
      u8"nav a { color: #1a4f8b; }",
      u8"main { overflow-wrap: anywhere; }",
      u8"main p { margin: 0 0 1em; }",
      u8"main a { color: #1a4f8b; }",
      u8".pager { text-align: center; margin: 1.5rem 0; line-height: 2.4; overflow-wrap: anywhere; "
      u8"}",
      u8".pager a { padding: 0.2rem 0.4rem; }",
      u8".ads { margin: 1.5rem 0; overflow: hidden; }",
      u8".site-footer { font-size: 16px; color: #666; border-top: 1px solid #ddd; margin-top: "
      u8"2rem; padding-top: 0.5rem; }",
      u8"img, video, iframe { max-width: 100%; height: auto; }",
      u8"pre { overflow-x: auto; }",
  });
  return lines;
}

void ApplyModernPreset(TSiteGenerator& generator) {
  generator.SetSiteTemplate(MemoToStrings(ModernTemplateLines()));
  generator.SetCssCode(MemoToStrings(ModernCssLines()));
  generator.SetAdsenseCode({});
  TOrvanaExtras extras = generator.Extras();
  extras.PagerWindow = 2;
  extras.SafeLinks = true;
  extras.OutputEncoding = TOutputEncoding::kUtf8;
  generator.SetExtras(std::move(extras));
}

}  // namespace orvana
