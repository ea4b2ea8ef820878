// Throughput of the project-file writer and reader on a large project: 20 MB
// of site text in mixed Cyrillic and Latin and 5000 pages, so the file also
// holds every page's text, HTML and pagination bar. Figures are megabytes of
// file text per second.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "engine/CodePage.h"
#include "engine/SiteGenerator.h"
#include "project/DefaultContent.h"
#include "project/ProjectFile.h"

namespace orvana {
namespace {

constexpr size_t kSiteTextBytes = 20u << 20;
constexpr int kPages = 5000;

// Sentences of Cyrillic and Latin words with an apostrophe now and then,
// paragraphs of about 600 bytes, so a page breaks at a paragraph or sentence.
TStringList MakeSiteText() {
  const std::string words[] = {Utf8ToCp1251("привет"),
                               Utf8ToCp1251("мир"),
                               "lorem",
                               Utf8ToCp1251("текст"),
                               "ipsum",
                               "it's",
                               Utf8ToCp1251("сайт"),
                               "dolor",
                               Utf8ToCp1251("ещё")};
  TStringList lines;
  size_t total = 0, n = 0;
  std::string line;
  while (total < kSiteTextBytes) {
    line.clear();
    while (line.size() < 600) {
      line += words[n++ % 9];
      line += (n % 11 == 0) ? ". " : " ";
    }
    line += '.';
    total += line.size() + 1;
    lines.push_back(line);
    if (n % 5 == 0) lines.emplace_back();
  }
  return lines;
}

// The pages are made here rather than by Generate: a generated page's HTML
// holds the menu of the whole site, which for 5000 pages would make a file of
// several gigabytes. Each page gets its share of the text, a pagination bar,
// and HTML made of the default template's size around its text.
struct TBigProject {
  TSiteGenerator generator;
  std::string text;

  TBigProject() {
    ApplyNewProjectContent(generator);
    const TStringList lines = MakeSiteText();
    generator.SetSiteText(lines);
    generator.SetSiteUrlsToLink({"http://one.example/", "http://two.example/"});
    generator.SetSiteTitle(Utf8ToCp1251("Большой сайт"));
    generator.SetSavePath("/srv/site");
    const std::string& html = generator.SiteTemplate();
    const std::string section = Utf8ToCp1251("Раздел ");
    std::string menu;
    size_t line = 0;
    for (int i = 0; i < kPages; ++i) {
      TSitePage& page = generator.AddPage(i == 0 ? "index" : section + std::to_string(i));
      const size_t end = lines.size() * static_cast<size_t>(i + 1) / kPages;
      for (; line < end; ++line) {
        page.PageText += lines[line];
        page.PageText += '\r';
      }
      for (int k = std::max(0, i - 4); k <= std::min(kPages - 1, i + 4); ++k)
        page.Pagination +=
            "<a href=\"page" + std::to_string(k) + ".html\">" + std::to_string(k + 1) + "</a> ";
      page.PageHTML = html.substr(0, html.size() / 2) + page.PageText + page.Pagination +
                      html.substr(html.size() / 2);
      menu += "<li><a href=\"" + page.PageUrl + "\">" + page.PageTitle + "</a></li>\r";
    }
    generator.SetSiteMenu(menu);
    text = WriteProjectText(generator);
    std::fprintf(stderr, "project: %d pages, %.1f MB of site text, %.1f MB of file text\n",
                 generator.Pages().Count(), static_cast<double>(kSiteTextBytes) / (1 << 20),
                 static_cast<double>(text.size()) / (1 << 20));
  }
};

const TBigProject& BigProject() {
  static const TBigProject project;
  return project;
}

void BM_WriteProjectText(benchmark::State& state) {
  const TBigProject& project = BigProject();
  size_t bytes = 0;
  for (auto _ : state) {
    std::string text = WriteProjectText(project.generator);
    bytes += text.size();
    benchmark::DoNotOptimize(text.data());
  }
  state.SetBytesProcessed(static_cast<int64_t>(bytes));
}
BENCHMARK(BM_WriteProjectText)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_ReadProjectText(benchmark::State& state) {
  const TBigProject& project = BigProject();
  TSiteGenerator generator;
  for (auto _ : state) {
    ReadProjectText(project.text, generator);
    benchmark::DoNotOptimize(generator.Pages().Count());
  }
  if (generator.Pages().Count() != project.generator.Pages().Count())
    state.SkipWithError("pages lost in reading");
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * project.text.size()));
}
BENCHMARK(BM_ReadProjectText)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
}  // namespace orvana
