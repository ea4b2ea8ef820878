// Helpers of the project-file tests: file texts and ready-made projects.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <source_location>
#include <string>
#include <string_view>

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "engine/SiteGenerator.h"
#include "project/DefaultContent.h"
#include "project/ProjectFile.h"
#include "tests/support/TestUtil.h"

namespace orvana::test {

// File text: every line followed by CR LF.
inline std::string CrLfLines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text.append(line);
    text.append("\r\n");
  }
  return text;
}

// Reads the text into `g` and expects the reader's error with exactly this
// message, reported at the caller's line.
inline void ExpectReadError(std::string_view text, TSiteGenerator& g, std::string_view message,
                            const TProjectReadContext& context = {},
                            std::source_location where = std::source_location::current()) {
  ExpectThrowsMessage<EOrvanaError>([&] { ReadProjectText(text, g, context); }, message, where);
}

inline void ExpectReadError(std::string_view text, std::string_view message,
                            std::source_location where = std::source_location::current()) {
  TSiteGenerator g;
  ExpectReadError(text, g, message, {}, where);
}

// A small project with a value of each kind the file holds (a page
// collection, a list, a string with CRs, integers, a plain string): one page,
// three text lines (a Cyrillic word, an empty line, It's), a two-line
// template, the bounds 5000 and 4000 and the folder C:\Site.
// SmallProjectText() is its file, byte for byte.
inline void FillSmallProject(TSiteGenerator& g) {
  TSitePage& page = g.AddPage("index");
  page.PageText = "Hi";
  g.SetSiteText(TStringList{W("Привет"), "", "It's"});
  g.SetSiteTemplate("<p>\rSiteGeneratorChange.MainText\r");
  g.SetMaxCharsPerPage(5000);
  g.SetMinCharsPerPage(4000);
  g.SetSavePath("C:\\Site");
}

inline const std::string& SmallProjectText() {
  static const std::string text = CrLfLines({
      "object TSiteGenerator",
      "  Pages = <",
      "    item",
      "      PageText = 'Hi'",
      "      PageTitle = 'index'",
      "      PageUrl = 'index.html'",
      "    end>",
      "  SiteText.Strings = (",
      "    #1055#1088#1080#1074#1077#1090",
      "    ''",
      "    'It'#39's')",
      "  SiteTemplate = '<p>'#13'SiteGeneratorChange.MainText'#13",
      "  MaxCharsPerPage = 5000",
      "  MinCharsPerPage = 4000",
      "  SavePath = 'C:\\Site'",
      "end",
  });
  return text;
}

// A generated site with Cyrillic text, apostrophes, CRs inside memo strings,
// empty lines and long paragraphs.
inline void FillGeneratedSite(TSiteGenerator& g) {
  ApplyNewProjectContent(g);
  TStringList text;
  for (int i = 0; i < 40; ++i) {
    text.push_back(W("Привет, мир! Это абзац номер ") + std::to_string(i) +
                   ". It's a \"test\" line; ещё немного текста \x98\xB9.");
    if (i % 7 == 0) text.push_back("");
    if (i % 11 == 0) text.push_back(std::string(300, 'L') + W("Ж"));
  }
  g.SetSiteText(text);
  g.SetSiteUrlsToLink({"http://a.example/", "http://b.example/'q'", ""});
  g.SetSiteTitle(W("Мой сайт"));
  g.SetSavePath("/tmp/site");
  g.SetSiteHeader("\r\r");
  g.SetMinCharsPerPage(300);
  g.SetMaxCharsPerPage(500);
  g.SetRandomSeed(7);
  g.Generate();
}

}  // namespace orvana::test
