// Helpers shared by the project-file tests.
#pragma once

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <string_view>

#include "CodePage.h"
#include "DefaultContent.h"
#include "Error.h"
#include "ProjectFile.h"
#include "SiteGenerator.h"

namespace orvana::test {

// A Windows-1251 string from UTF-8 source text.
inline std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

// File text: every line followed by CR LF.
inline std::string CrLfLines(std::initializer_list<std::string_view> lines) {
  std::string text;
  for (std::string_view line : lines) {
    text.append(line);
    text.append("\r\n");
  }
  return text;
}

// The message of the EOrvanaError that reading the text throws, or
// "<no error>".
inline std::string ReadError(std::string_view text, TSiteGenerator& generator,
                             const TProjectReadContext& context = {}) {
  try {
    ReadProjectText(text, generator, context);
  } catch (const EOrvanaError& e) {
    return e.what();
  }
  return "<no error>";
}

inline std::string ReadError(std::string_view text) {
  TSiteGenerator generator;
  return ReadError(text, generator);
}

// The small project of the format's worked example: one page, three text
// lines (a Cyrillic word, an empty line, It's), a two-line template, the
// bounds 5000 and 4000 and the folder C:\Site.
inline void FillExample(TSiteGenerator& g) {
  TSitePage& page = g.AddPage("index");
  page.PageText = "Hi";
  g.SetSiteText(TStringList{W("Привет"), "", "It's"});
  g.SetSiteTemplate("<p>\rSiteGeneratorChange.MainText\r");
  g.SetMaxCharsPerPage(5000);
  g.SetMinCharsPerPage(4000);
  g.SetSavePath("C:\\Site");
}

inline const std::string& ExampleText() {
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
