// Generation and site output on synthetic sites of about 100, 1000 and 5000
// pages of 4000..5000 bytes, with and without link addresses, against the
// floor: writing the same files with the same bytes and nothing else.
//
// Output goes under $ORVANA_BENCH_DIR (default: the system's temp folder).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "engine/SiteBuild.h"
#include "engine/SiteGenerator.h"

namespace orvana {
namespace {

namespace fs = std::filesystem;

// Russian-looking sentences in paragraphs; about 4500 bytes of text per page
// at bounds 4000..5000.
TStringList SyntheticText(int pages) {
  static const char* kWords[] = {"тишина",   "дорога", "вечером",    "старый",    "город",
                                 "светился", "окнами", "набережной", "ветер",     "приносил",
                                 "запах",    "реки",   "и",          "листьев",   "прохожие",
                                 "спешили",  "домой",  "в",          "переулках", "звучала"};
  std::vector<std::string> words;
  for (const char* w : kWords) words.push_back(Utf8ToCp1251(w));
  TStringList lines;
  const size_t target = static_cast<size_t>(pages) * 4500;
  size_t total = 0;
  uint64_t x = 12345;
  while (total < target) {
    std::string line;
    for (int s = 0; s < 6; ++s) {
      for (int w = 0; w < 12; ++w) {
        x = x * 6364136223846793005ull + 1442695040888963407ull;
        line += words[(x >> 33) % words.size()];
        line += w == 11 ? ". " : " ";
      }
    }
    line.pop_back();
    total += line.size() + 2;
    lines.push_back(std::move(line));
    lines.emplace_back();
  }
  return lines;
}

const std::string& Template() {
  static const std::string t = Utf8ToCp1251(
      "<html>\r<head><title>SiteGeneratorChange.Title</title></head>\r<body>\r"
      "<div>SiteGeneratorChange.Adsense</div>\r<div class=\"cat\">Разделы</div>\r"
      "SiteGeneratorChange.Menu\r<div>SiteGeneratorChange.MainText</div>\r"
      "<div align=\"center\">SiteGeneratorChange.Pagination</div>\r</body>\r</html>\r");
  return t;
}

std::unique_ptr<TSiteGenerator> MakeGenerator(int pages, int links) {
  auto g = std::make_unique<TSiteGenerator>();
  g->SetSiteText(SyntheticText(pages));
  g->SetMinCharsPerPage(4000);
  g->SetMaxCharsPerPage(5000);
  g->SetSiteTemplate(Template());
  g->SetAdsenseCode("<script>ads();</script>\r");
  g->SetCssCode("body { color: black; }\r");
  g->SetSiteTitle(Utf8ToCp1251("Сайт"));
  TStringList urls;
  for (int i = 0; i < links; ++i) urls.push_back("http://example.com/" + std::to_string(i));
  g->SetSiteUrlsToLink(urls);
  g->SetRandomSeed(1);
  return g;
}

// Generators are built once per size and reused across benchmarks.
TSiteGenerator& Generated(int pages, int links) {
  static std::map<std::pair<int, int>, std::unique_ptr<TSiteGenerator>> cache;
  auto& slot = cache[{pages, links}];
  if (!slot) {
    slot = MakeGenerator(pages, links);
    slot->Generate();
  }
  return *slot;
}

int64_t OutputBytes(const TSiteGenerator& g) {
  int64_t bytes = static_cast<int64_t>(g.CssCode().size());
  for (int i = 0; i < g.Pages().Count(); ++i)
    bytes += static_cast<int64_t>(g.Pages()[i].PageHTML.size());
  return bytes;
}

std::string OutDir(const char* name) {
  const char* base = std::getenv("ORVANA_BENCH_DIR");
  fs::path dir = fs::path(base ? base : fs::temp_directory_path().string()) /
                 ("orvana-bench-" + std::to_string(::getpid())) / name;
  fs::create_directories(dir);
  return dir.string();
}

void Report(benchmark::State& state, const TSiteGenerator& g) {
  state.SetBytesProcessed(state.iterations() * OutputBytes(g));
  state.counters["pages"] = g.Pages().Count();
  state.counters["MB_out"] = static_cast<double>(OutputBytes(g)) / 1e6;
}

void BM_Generate(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  auto g = MakeGenerator(pages, state.range(1) ? 3 * pages : 0);
  for (auto _ : state) {
    g->Generate();
    benchmark::DoNotOptimize(g->Pages().Count());
  }
  Report(state, *g);
  state.counters["links"] = static_cast<double>(g->LinksPlaced());
}

// Writing into a fresh, empty folder (the first export of a site) and into a
// folder that holds the previous export (every later one) cost differently on
// disk: the first creates files, the second replaces them.
enum Target { kFresh = 0, kRewrite = 1 };

// Runs `write` once per iteration into a folder prepared as the target kind
// says; preparing the folder is not timed.
template <class Write>
void TimedWrites(benchmark::State& state, Target target, const char* name, Write write) {
  const std::string dir = OutDir(name);
  if (target == kRewrite) write(dir);
  for (auto _ : state) {
    if (target == kFresh) {
      state.PauseTiming();
      fs::remove_all(dir);
      fs::create_directories(dir);
      state.ResumeTiming();
    }
    write(dir);
  }
}

// SiteImport after a Generate: the site of that generation written again.
void BM_SiteImport(benchmark::State& state) {
  TSiteGenerator& g = Generated(static_cast<int>(state.range(0)), 0);
  TimedWrites(state, static_cast<Target>(state.range(1)), "write", [&](const std::string& dir) {
    g.SetSavePath(dir);
    g.SiteImport();
  });
  Report(state, g);
}

// Generate and SiteImport together: what one "generate and export" costs.
void BM_GenerateAndWrite(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  auto g = MakeGenerator(pages, state.range(2) ? 3 * pages : 0);
  TimedWrites(state, static_cast<Target>(state.range(1)), "both", [&](const std::string& dir) {
    g->Generate();
    g->SetSavePath(dir);
    g->SiteImport();
  });
  Report(state, *g);
  state.counters["links"] = static_cast<double>(g->LinksPlaced());
}

// The page-at-a-time build the command-line tool uses: the same files, one
// page's HTML in memory at a time.
void BM_BuildSite(benchmark::State& state) {
  const int pages = static_cast<int>(state.range(0));
  auto g = MakeGenerator(pages, state.range(2) ? 3 * pages : 0);
  uint64_t bytes = 0;
  TimedWrites(state, static_cast<Target>(state.range(1)), "stream", [&](const std::string& dir) {
    TSiteBuildOptions options;
    options.folder = dir;
    bytes = BuildSite(*g, RealFileSystem(), options).report.bytes;
  });
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
  state.counters["pages"] = g->Pages().Count();
  state.counters["MB_out"] = static_cast<double>(bytes) / 1e6;
  state.counters["links"] = static_cast<double>(g->LinksPlaced());
}

// The floor: the same files with the same bytes, written with plain
// open/write/close and nothing else.
void BM_WriteFloor(benchmark::State& state) {
  TSiteGenerator& g = Generated(static_cast<int>(state.range(0)), 0);
  TimedWrites(state, static_cast<Target>(state.range(1)), "floor", [&](const std::string& dir) {
    auto put = [&](const std::string& name, const std::string& bytes) {
      const std::string path = dir + "/" + name;
      const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0666);
      if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
        state.SkipWithError("write failed");
      ::close(fd);
    };
    for (int i = 0; i < g.Pages().Count(); ++i) put(g.Pages()[i].PageUrl, g.Pages()[i].PageHTML);
    put("style.css", g.CssCode());
  });
  Report(state, g);
}

// UTF-8 input of Russian prose (words, blanks, punctuation, a line feed a
// sentence) converted to Windows-1251; bytes per second are of the UTF-8.
void BM_Utf8ToCp1251(benchmark::State& state) {
  static const char* const kProse[] = {"Летопись ", "говорит, ", "что ",  "река ",
                                       "— ",        "тихая. ",   "Ёлки ", "стояли\n"};
  std::string text;
  for (size_t i = 0; text.size() < static_cast<size_t>(state.range(0)); ++i)
    text += kProse[(i * 7 + i / 8) % std::size(kProse)];
  for (auto _ : state) benchmark::DoNotOptimize(Utf8ToCp1251(text));
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) *
                          static_cast<int64_t>(text.size()));
}

void BM_Generate(benchmark::State& state);

BENCHMARK(BM_Generate)
    ->ArgNames({"pages", "links"})
    ->ArgsProduct({{100, 1000, 5000}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_Utf8ToCp1251)->Arg(1 << 20)->Arg(16 << 20);
BENCHMARK(BM_WriteFloor)
    ->ArgNames({"pages", "rewrite"})
    ->ArgsProduct({{100, 1000, 5000}, {kFresh, kRewrite}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_SiteImport)
    ->ArgNames({"pages", "rewrite"})
    ->ArgsProduct({{100, 1000, 5000}, {kFresh, kRewrite}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_GenerateAndWrite)
    ->ArgNames({"pages", "rewrite", "links"})
    ->ArgsProduct({{100, 1000, 5000}, {kFresh, kRewrite}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();
BENCHMARK(BM_BuildSite)
    ->ArgNames({"pages", "rewrite", "links"})
    ->ArgsProduct({{100, 1000, 5000}, {kFresh, kRewrite}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
}  // namespace orvana

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  const char* base = std::getenv("ORVANA_BENCH_DIR");
  std::filesystem::remove_all(
      std::filesystem::path(base ? base : std::filesystem::temp_directory_path().string()) /
      ("orvana-bench-" + std::to_string(::getpid())));
  return 0;
}
