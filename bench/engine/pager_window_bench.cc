// The pagination bars and menus of every page of a large site, windowed
// (--pager-window 1 --menu-window 1) against the full ones. A full bar is
// handed out as pieces (a few views per page) and the full menu is one
// string shared by every page, so the full case is the floor a windowed site
// should stay near: each windowed bar and menu holds a handful of entries.
#include <benchmark/benchmark.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/ExtrasOutput.h"
#include "engine/SiteMenu.h"

namespace orvana {
namespace {

struct TSiteNames {
  std::vector<std::string> urls, titles;
  std::vector<std::string_view> url_views, title_views;
};

const TSiteNames& Names(int pages) {
  static TSiteNames names;
  if (static_cast<int>(names.urls.size()) != pages) {
    names = {};
    for (int i = 0; i < pages; ++i) {
      names.urls.push_back(i == 0 ? "index.html" : "page" + std::to_string(i) + ".html");
      names.titles.push_back("Page title number " + std::to_string(i));
    }
    names.url_views.assign(names.urls.begin(), names.urls.end());
    names.title_views.assign(names.titles.begin(), names.titles.end());
  }
  return names;
}

// Every page's windowed bar and windowed menu.
void BM_WindowedBarsAndMenus(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  const int window = static_cast<int>(state.range(1));
  const TSiteNames& n = Names(pages);
  for (auto _ : state) {
    size_t bytes = 0;
    for (int p = 0; p < pages; ++p) {
      bytes += BuildWindowedBar(n.url_views, p, window).size();
      bytes += BuildWindowedMenu(n.url_views, n.title_views, p, window).size();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * pages);
}

// Every page's full bar as pieces, and the one full menu.
void BM_FullBarsAndMenu(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  const TSiteNames& n = Names(pages);
  std::vector<std::string_view> pieces;
  for (auto _ : state) {
    const TPaginationBars bars(n.url_views);
    std::string menu = BuildSiteMenu(n.url_views, n.title_views);
    size_t bytes = menu.size();
    for (int p = 0; p < pages; ++p) {
      pieces.clear();
      bars.AppendPieces(p, pieces);
      bytes += pieces.size();
    }
    benchmark::DoNotOptimize(bytes);
  }
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations()) * pages);
}

BENCHMARK(BM_WindowedBarsAndMenus)
    ->ArgNames({"pages", "window"})
    ->Args({60000, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FullBarsAndMenu)->ArgNames({"pages"})->Arg(60000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace orvana

BENCHMARK_MAIN();
