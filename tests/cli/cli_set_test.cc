// orvana-cli set: random option sets applied by set compared with new given
// them at once, refused options leaving the file's bytes, and one option
// changing only the lines of its property.
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <tuple>

#include <gtest/gtest.h>

#include "CliTestUtil.h"

namespace orvana::cli {
namespace {

using testing::ReadWholeFile;
using testing::RunResult;
using testing::RunTool;
using testing::TempDir;
using testing::WriteWholeFile;

using TArgs = std::vector<std::string>;

class CliSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int v = 0; v < 2; ++v) {
      const std::string n = std::to_string(v);
      WriteWholeFile(dir_ / ("text" + n), "Первый абзац " + n + " текста.\n\nВторой абзац.\n");
      WriteWholeFile(dir_ / ("links" + n), "http://a.org/" + n + "\n\nhttp://b.org/\n");
      WriteWholeFile(dir_ / ("tpl" + n), "<html>SiteGeneratorChange.MainText " + n + "</html>\n");
      WriteWholeFile(dir_ / ("css" + n), "body{margin:" + n + "}\n");
    }
  }
  // The options of one field with value variant v (0 or 1), as new and set take them.
  TArgs Atom(const std::string& key, int v) const {
    const std::string n = std::to_string(v);
    static const std::map<std::string, TArgs> kValues[2] = {{{"title", {"Заголовок"}},
                                                             {"min", {"100"}},
                                                             {"max", {"$200"}},
                                                             {"out", {"site"}},
                                                             {"pager-window", {"1"}},
                                                             {"menu-window", {"3"}},
                                                             {"page-word", {"Часть"}},
                                                             {"index-label", {"home"}},
                                                             {"link-rel", {"nofollow"}},
                                                             {"output-encoding", {"utf-8"}},
                                                             {"site-url", {"http://x.org/"}},
                                                             {"preset", {"modern"}}},
                                                            {{"title", {"Другой"}},
                                                             {"min", {"0x50"}},
                                                             {"max", {"9000"}},
                                                             {"out", {"../b"}},
                                                             {"pager-window", {"0"}},
                                                             {"menu-window", {"7"}},
                                                             {"page-word", {"Глава"}},
                                                             {"index-label", {""}},
                                                             {"link-rel", {""}},
                                                             {"output-encoding", {"windows-1251"}},
                                                             {"site-url", {""}},
                                                             {"preset", {"modern"}}}};
    if (key == "safe-links" || key == "prune") return {"--" + key};
    const std::map<std::string, std::string> files = {
        {"text", "text"}, {"links", "links"}, {"template", "tpl"}, {"ads", "tpl"}, {"css", "css"}};
    if (files.count(key)) return {"--" + key, dir_ / (files.at(key) + n)};
    return {"--" + key, kValues[v].at(key).front()};
  }
  std::string ShowJson(const std::string& project) {
    const RunResult r = RunTool({"show", project, "--json"});
    EXPECT_EQ(r.code, 0) << r.err;
    return r.out;
  }
  RunResult Run(const std::string& command, const std::string& project, const TArgs& options) {
    TArgs args = {command, project};
    args.insert(args.end(), options.begin(), options.end());
    return RunTool(args);
  }
  TempDir dir_;
};

// Whatever a project was made with, set with more options gives the project
// new makes with both sets, the later value winning and an off-form taking
// its extra away.
TEST_F(CliSetTest, SetAfterNewEqualsNewWithTheMergedOptions) {
  const std::vector<std::string> keys = {"title",
                                         "min",
                                         "max",
                                         "out",
                                         "text",
                                         "links",
                                         "template",
                                         "ads",
                                         "css",
                                         "preset",
                                         "pager-window",
                                         "menu-window",
                                         "page-word",
                                         "index-label",
                                         "safe-links",
                                         "link-rel",
                                         "output-encoding",
                                         "site-url",
                                         "prune"};
  const std::set<std::string> kPresetFields = {"pager-window", "safe-links", "output-encoding",
                                               "template",     "ads",        "css"};
  std::mt19937 random(20240611);
  for (int round = 0; round < 60; ++round) {
    std::map<std::string, TArgs> base, merged;
    TArgs set_options;
    bool set_preset = false;
    for (const std::string& key : keys) {
      if (random() % 3 == 0) base[key] = merged[key] = Atom(key, 0);
      if (random() % 3 != 0) continue;
      // No form of new takes the preset without its safe links.
      const bool preset = base.count("preset") || set_preset;
      const bool off = (key == "prune" || (key == "safe-links" && !preset)) && random() % 2;
      set_preset = set_preset || key == "preset";
      // A new output encoding leaves a preset template of the old one as it is.
      if (key == "output-encoding" && base.count("preset")) continue;
      const TArgs atom = off ? TArgs{"--no-" + key} : Atom(key, 1);
      set_options.insert(set_options.end(), atom.begin(), atom.end());
      if (off)
        merged.erase(key);
      else
        merged[key] = atom;
    }
    // The preset given to set takes over what the base gave its fields.
    if (std::find(set_options.begin(), set_options.end(), "--preset") != set_options.end())
      for (const std::string& key : kPresetFields)
        if (std::find(set_options.begin(), set_options.end(), "--" + key) == set_options.end())
          merged.erase(key);
    TArgs base_options, merged_options;
    for (const auto& [key, atom] : base)
      base_options.insert(base_options.end(), atom.begin(), atom.end());
    for (const auto& [key, atom] : merged)
      merged_options.insert(merged_options.end(), atom.begin(), atom.end());
    SCOPED_TRACE("set " + ::testing::PrintToString(set_options) + " over new " +
                 ::testing::PrintToString(base_options));
    const std::string a = dir_ / "a.orvana", b = dir_ / "b.orvana";
    std::filesystem::remove(a), std::filesystem::remove(b);
    ASSERT_EQ(Run("new", a, base_options).code, 0);
    const RunResult set = Run("set", a, set_options);
    if (set_options.empty()) {
      EXPECT_EQ(set.code, 2) << "nothing to set";
      continue;
    }
    ASSERT_EQ(set.code, 0) << set.err;
    ASSERT_EQ(Run("new", b, merged_options).code, 0);
    EXPECT_EQ(ShowJson(a), ShowJson(b));
  }
}

// What new refuses, set refuses, and the project's bytes stay as they were.
TEST_F(CliSetTest, RefusedOptionsLeaveTheFileAlone) {
  std::filesystem::create_directory(dir_ / "folder");
  WriteWholeFile(dir_ / "latin1", "caf\xE9\n");
  const std::vector<std::pair<TArgs, bool>> kRefused = {
      // options, refused by new too
      {{"--min", "abc"}, true},
      {{"--max", "1.5"}, true},
      {{"--pager-window", "-1"}, true},
      {{"--menu-window", "x"}, true},
      {{"--output-encoding", "latin1"}, true},
      {{"--site-url", "ftp://x.org/"}, true},
      {{"--site-url", "http://a b/"}, true},
      {{"--site-url", "http://пример.рф/日本"}, true},
      {{"--input-encoding", "koi8", "--title", "x"}, true},
      {{"--preset", "classic"}, true},
      {{"--title", "x", "--text", dir_ / "folder"}, true},
      {{"--text", dir_ / "missing"}, true},
      {{"--title", "x", "--css", dir_ / "latin1"}, true},
      {{"--text", "-", "--links", "-"}, true},
      {{"--out", "日本"}, true},
      {{"--title", "x", "--bogus"}, true},
      {{"--safe-links", "--no-safe-links"}, false},
      {{"--prune", "--no-prune"}, false},
      {{}, false},
      {{"--input-encoding", "utf-8"}, false},
  };
  const std::string project = dir_ / "p.orvana";
  ASSERT_EQ(Run("new", project, {"--title", "t", "--safe-links", "--text", dir_ / "text0"}).code,
            0);
  const std::string before = ReadWholeFile(project);
  for (const auto& [options, by_new] : kRefused) {
    SCOPED_TRACE(::testing::PrintToString(options));
    EXPECT_NE(Run("set", project, options).code, 0);
    EXPECT_EQ(ReadWholeFile(project), before);
    if (!by_new) continue;
    EXPECT_NE(Run("new", dir_ / "fresh.orvana", options).code, 0);
    EXPECT_FALSE(std::filesystem::exists(dir_ / "fresh.orvana"));
  }
}

// One option changes the lines of its own property and no other, in a
// project whose pages were built and saved; the line printed names it.
TEST_F(CliSetTest, OneOptionChangesOnlyItsPropertysLines) {
  const std::vector<std::tuple<TArgs, std::string, std::string>> kCases = {
      {{"--title", "Иное"}, "SiteTitle", "title"},
      {{"--min", "10"}, "MinCharsPerPage", "min"},
      {{"--max", "7000"}, "MaxCharsPerPage", "max"},
      {{"--out", "elsewhere"}, "SavePath", "out"},
      {{"--text", dir_ / "text1"}, "SiteText.Strings", "text"},
      {{"--links", dir_ / "links1"}, "SiteUrlsToLink.Strings", "links"},
      {{"--template", dir_ / "tpl1"}, "SiteTemplate", "template"},
      {{"--ads", dir_ / "tpl1"}, "AdsenseCode", "ads"},
      {{"--css", dir_ / "css1"}, "CssCode", "css"},
      {{"--pager-window", "4"}, "PagerWindow", "pager-window"},
      {{"--menu-window", "2"}, "MenuWindow", "menu-window"},
      {{"--page-word", "Часть"}, "PageWord", "page-word"},
      {{"--index-label", "home"}, "IndexLabel", "index-label"},
      {{"--no-safe-links"}, "SafeLinks", "safe-links"},
      {{"--link-rel", ""}, "LinkRel", "link-rel"},
      {{"--output-encoding", "utf-8"}, "OutputEncoding", "output-encoding"},
      {{"--site-url", ""}, "SiteUrl", "site-url"},
      {{"--site-url", "https://y.org/"}, "SiteUrl", "site-url"},
      {{"--no-prune"}, "PruneStale", "prune"},
  };
  const std::string project = dir_ / "p.orvana";
  std::filesystem::create_directory(dir_ / "site");
  ASSERT_EQ(Run("new", project,
                {"--text", dir_ / "text0", "--links", dir_ / "links0", "--out", dir_ / "site",
                 "--safe-links", "--prune", "--link-rel", "nofollow", "--site-url", "http://x.org/",
                 "--min", "5", "--max", "20"})
                .code,
            0);
  ASSERT_EQ(RunTool({"build", project, "--save", "--seed", "1"}).code, 0);
  const std::string built = ReadWholeFile(project);
  const auto lines = [](const std::string& text) {
    std::vector<std::string> out;
    for (size_t at = 0, end; at < text.size(); at = end + 2)
      out.push_back(text.substr(at, (end = text.find("\r\n", at)) - at));
    return out;
  };
  // The properties of the root object and the extras block start at two blanks.
  const std::regex property("^  ([A-Za-z.]+) = ");
  for (const auto& [options, name, shown] : kCases) {
    SCOPED_TRACE(name);
    WriteWholeFile(project, built);
    const RunResult r = Run("set", project, options);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "set " + project + ": " + shown + "\n");
    const std::vector<std::string> a = lines(built), b = lines(ReadWholeFile(project));
    EXPECT_NE(a, b);
    size_t head = 0, tail = 0;
    while (head < a.size() && head < b.size() && a[head] == b[head]) ++head;
    while (tail + head < a.size() && tail + head < b.size() &&
           a[a.size() - 1 - tail] == b[b.size() - 1 - tail])
      ++tail;
    // The property the first changed line belongs to, and every one that
    // starts among the changed lines, is the option's.
    for (const auto* side : {&a, &b}) {
      if (head + tail >= side->size()) continue;  // no line of this side changed
      std::smatch m;
      size_t owner = head;
      while (owner > 0 && !std::regex_search((*side)[owner], m, property)) --owner;
      for (size_t i = owner; i + tail < side->size(); ++i)
        if (std::regex_search((*side)[i], m, property)) EXPECT_EQ(m[1], name) << (*side)[i];
    }
  }
  // Through a symbolic link, the file it names is written and the link stays.
  std::filesystem::create_symlink(project, dir_ / "link.orvana");
  ASSERT_EQ(Run("set", dir_ / "link.orvana", {"--title", "Через"}).code, 0);
  EXPECT_TRUE(std::filesystem::is_symlink(dir_ / "link.orvana"));
  EXPECT_NE(ShowJson(project).find("Через"), std::string::npos);
}

}  // namespace
}  // namespace orvana::cli
