// orvana-cli set: random option sets applied by set compared with new given
// them at once, refused options leaving the file's bytes, and one option
// changing only the lines of its property.
#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <regex>

#include <gtest/gtest.h>

#include "tests/cli/CliTestUtil.h"

namespace orvana::cli {
namespace {

using testing::ReadWholeFile;
using testing::RunResult;
using testing::RunTool;
using testing::WriteWholeFile;
using TArgs = std::vector<std::string>;

// Each field: its option, two values ("@NAME" names a file of the fixture; a
// flag has none) and the property that holds it in the project file.
struct TField {
  std::string option;
  const char *a, *b, *property;
};
const TField kFields[] = {
    {"title", "Заголовок", "Другой", "SiteTitle"},
    {"min", "100", "0x50", "MinCharsPerPage"},
    {"max", "$200", "9000", "MaxCharsPerPage"},
    {"out", "site", "../b", "SavePath"},
    {"text", "@text0", "@text1", "SiteText.Strings"},
    {"links", "@links0", "@links1", "SiteUrlsToLink.Strings"},
    {"template", "@tpl0", "@tpl1", "SiteTemplate"},
    {"ads", "@tpl0", "@tpl1", "AdsenseCode"},
    {"css", "@css0", "@css1", "CssCode"},
    {"preset", "modern", "modern", nullptr},
    {"pager-window", "1", "0", "PagerWindow"},
    {"menu-window", "3", "7", "MenuWindow"},
    {"page-word", "Часть", "Глава", "PageWord"},
    {"index-label", "home", "", "IndexLabel"},
    {"safe-links", nullptr, nullptr, "SafeLinks"},
    {"link-rel", "nofollow", "", "LinkRel"},
    {"output-encoding", "utf-8", "windows-1251", "OutputEncoding"},
    {"site-url", "http://x.org/", "", "SiteUrl"},
    {"prune", nullptr, nullptr, "PruneStale"},
    {"link-seed", "42", "18446744073709551615", "LinkSeed"},
};

class CliSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const std::string n : {"0", "1"}) {
      WriteWholeFile(dir_ / ("text" + n), "Первый абзац " + n + " текста.\n\nВторой абзац.\n");
      WriteWholeFile(dir_ / ("links" + n), "http://a.org/" + n + "\n\nhttp://b.org/\n");
      WriteWholeFile(dir_ / ("tpl" + n), "<html>SiteGeneratorChange.MainText " + n + "</html>\n");
      WriteWholeFile(dir_ / ("css" + n), "body{margin:" + n + "}\n");
    }
  }
  // The field's option with its first or second value.
  TArgs Option(const TField& f, bool second) const {
    const char* v = second ? f.b : f.a;
    if (!v) return {"--" + f.option};
    return {"--" + f.option, v[0] == '@' ? dir_ / (v + 1) : v};
  }
  RunResult Run(const std::string& command, const std::string& project, const TArgs& options) {
    TArgs args = {command, project};
    args.insert(args.end(), options.begin(), options.end());
    return RunTool(args);
  }
  std::string ShowJson(const std::string& project) { return Run("show", project, {"--json"}).out; }
  testing::TempDir dir_;
};

// Whatever a project was made with, set with more options gives the project
// new makes with both sets, the later value winning and an off-form taking
// its extra away.
TEST_F(CliSetTest, SetAfterNewEqualsNewWithTheMergedOptions) {
  const std::string kPresetFields = " pager-window safe-links output-encoding template ads css ";
  std::mt19937 random(20240611);
  for (int round = 0; round < 60; ++round) {
    std::map<std::string, TArgs> base, merged;
    TArgs set;
    const auto has = [&](const std::string& o) { return std::count(set.begin(), set.end(), o); };
    for (const TField& f : kFields) {
      if (random() % 3 == 0) base[f.option] = merged[f.option] = Option(f, false);
      if (random() % 3 != 0) continue;
      // No form of new takes the preset without its safe links, and a new
      // output encoding leaves a preset template of the old one as it is.
      const bool preset = base.count("preset") || has("--preset");
      if (f.option == "output-encoding" && base.count("preset")) continue;
      const bool off = !f.a && (f.option == "prune" || !preset) && random() % 2;
      const TArgs option = off ? TArgs{"--no-" + f.option} : Option(f, true);
      set.insert(set.end(), option.begin(), option.end());
      if (off) merged.erase(f.option);
      if (!off) merged[f.option] = option;
    }
    // The preset given to set takes over what the base gave its fields.
    for (const TField& f : kFields)
      if (has("--preset") && kPresetFields.find(" " + f.option + " ") != std::string::npos &&
          !has("--" + f.option))
        merged.erase(f.option);
    TArgs base_args, merged_args;
    for (const auto& [key, option] : base)
      base_args.insert(base_args.end(), option.begin(), option.end());
    for (const auto& [key, option] : merged)
      merged_args.insert(merged_args.end(), option.begin(), option.end());
    SCOPED_TRACE("set " + ::testing::PrintToString(set) + " after new " +
                 ::testing::PrintToString(base_args));
    const std::string a = dir_ / "a.orvana", b = dir_ / "b.orvana";
    std::filesystem::remove(a), std::filesystem::remove(b);
    ASSERT_EQ(Run("new", a, base_args).code, 0);
    ASSERT_EQ(Run("set", a, set).code, set.empty() ? 2 : 0);  // 2: nothing to set
    ASSERT_EQ(Run("new", b, merged_args).code, 0);
    if (!set.empty()) EXPECT_EQ(ShowJson(a), ShowJson(b));
  }
}

// What new refuses, set refuses, and the project's bytes stay as they were.
TEST_F(CliSetTest, RefusedOptionsLeaveTheFileAlone) {
  std::filesystem::create_directory(dir_ / "folder");
  WriteWholeFile(dir_ / "latin1", "caf\xE9\n");
  const std::vector<std::pair<TArgs, bool>> kRefused = {
      // options, refused by new too
      {{"--min", "abc", "--max", "1.5"}, true},
      {{"--pager-window", "-1"}, true},
      {{"--output-encoding", "latin1"}, true},
      {{"--site-url", "ftp://x.org/"}, true},
      {{"--site-url", "http://пример.рф/日本"}, true},
      {{"--input-encoding", "koi8", "--title", "x"}, true},
      {{"--preset", "classic"}, true},
      {{"--title", "x", "--text", dir_ / "folder"}, true},
      {{"--title", "x", "--css", dir_ / "latin1"}, true},
      {{"--text", "-", "--links", "-"}, true},
      {{"--out", "日本"}, true},
      {{"--title", "x", "--bogus"}, true},
      {{"--safe-links", "--no-safe-links"}, false},
      {{"--no-prune", "--prune"}, false},
      {{"--input-encoding", "utf-8"}, false},  // nothing to set
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
  const std::string project = dir_ / "p.orvana";
  TArgs all;
  for (const TField& f : kFields)
    for (const std::string& arg : f.property ? Option(f, false) : TArgs{}) all.push_back(arg);
  all.insert(all.end(), {"--out", dir_ / "site"});
  std::filesystem::create_directory(dir_ / "site");
  ASSERT_EQ(Run("new", project, all).code, 0);
  ASSERT_EQ(RunTool({"build", project, "--save", "--seed", "1"}).code, 0);
  const std::string built = ReadWholeFile(project);
  const std::regex line_end("\r\n");
  const auto lines = [&](const std::string& text) {
    return std::vector<std::string>(
        std::sregex_token_iterator(text.begin(), text.end(), line_end, -1), {});
  };

  // The properties of the root object and the extras block start at two blanks.
  const std::regex property("^  ([A-Za-z.]+) = ");
  for (const TField& f : kFields) {
    if (!f.property) continue;
    SCOPED_TRACE(f.option);
    WriteWholeFile(project, built);
    const RunResult r = Run("set", project, f.a ? Option(f, true) : TArgs{"--no-" + f.option});
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "set " + project + ": " + f.option + "\n");
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
        if (std::regex_search((*side)[i], m, property)) EXPECT_EQ(m[1], f.property) << (*side)[i];
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
