// orvana-cli check: damaged sites made in scratch folders, random sites whose
// faults are known, and sites just built by the real program.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>

#include <gtest/gtest.h>

#include "cli/PageScan.h"
#include "cli/SiteCheck.h"
#include "engine/CodePage.h"
#include "project/DefaultContent.h"
#include "tests/cli/CliTestUtil.h"
#include "tests/cli/JsonValue.h"

namespace orvana::cli {
namespace {

using testing::JsonValue;
using testing::RunProgram;
using testing::RunResult;
using testing::RunTool;
using testing::TempDir;
using testing::WriteWholeFile;

using TFiles = std::vector<std::pair<std::string, std::string>>;

std::string Page(const std::string& body, const std::string& charset = "utf-8") {
  return "<html><head><meta charset=\"" + charset + "\"></head><body>" + body + "</body></html>";
}

std::string Sitemap(const std::vector<std::string>& locs, const std::string& root = "urlset",
                    const std::string& entry = "url") {
  std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<" + root + " xmlns=\"x\">\n";
  for (const std::string& loc : locs)
    xml += "<" + entry + "><loc>" + loc + "</loc></" + entry + ">\n";
  return xml + "</" + root + ">\n";
}

// Writes the files into a new folder, checks it as text and as JSON, and
// returns the problems as "FILE:CODE" in the order reported.
std::vector<std::string> CheckFiles(const TFiles& files) {
  TempDir dir;
  for (const auto& [name, bytes] : files) {
    std::filesystem::create_directories(std::filesystem::path(dir / name).parent_path());
    WriteWholeFile(dir / name, bytes);
  }
  const RunResult json = RunTool({"check", dir.Path(), "--json"});
  const RunResult text = RunTool({"check", "--", dir.Path()});
  const JsonValue report = JsonValue::Parse(json.out);
  std::vector<std::string> found, lines;
  bool faults = false, warnings = false;
  for (const JsonValue& p : report["problems"].items) {
    found.push_back(p["file"].text + ":" + p["code"].text);
    lines.push_back(p["file"].text + (p["warning"].boolean ? ": warning: " : ": ") +
                    p["message"].text + "\n");
    (p["warning"].boolean ? warnings : faults) = true;
  }
  // Warnings fail the check only with --strict.
  EXPECT_EQ(json.code, faults ? 1 : 0);
  EXPECT_EQ(text.code, json.code);
  EXPECT_EQ(report["ok"].boolean, !faults);
  EXPECT_EQ(RunTool({"check", dir.Path(), "--strict"}).code, faults || warnings ? 1 : 0);
  EXPECT_EQ(report["folder"].text, dir.Path());
  std::string expected_text;
  for (const std::string& line : lines) expected_text += line;
  EXPECT_EQ(text.out, expected_text);
  return found;
}

struct TSiteCase {
  const char* name;
  TFiles files;
  std::vector<std::string> problems;  // FILE:CODE
};

TEST(SiteCheck, FindsExactlyTheFaultsOfEachSite) {
  const std::string kUtf8Text = "Хроника", kCp1251Text = Utf8ToCp1251("Хроника");
  const std::string kSitemapOk =
      Sitemap({"https://e.org/%D1%81%D0%B0%D0%B9%D1%82/index.html",
               " https://e.org/%D1%81%D0%B0%D0%B9%D1%82/page%31.html\n"});
  const TSiteCase cases[] = {
      {"clean",
       {{"index.html", Page("<a href=\"page1.html\">1</a>")},
        {"page1.html", Page("<link href=\"style.css\"><a href='index.html'>")},
        {"style.css", ""}},
       {}},
      {"addresses that are not followed or need decoding",
       {{"index.html",
         Page("<a href=\"http://e.org/x.html\"><a href=\"//cdn.org/x.js\"><a href=\"#top\">"
              "<a href=\"mailto:a@b.c\"><a href=\"javascript:go()\"><a href=\"?p=2\">"
              "<a href=\" page1.html?x=1#y \"><a href=\"page%31.html\"><a href=\"sub/\">"
              "<a href=sub><a href=\"/page1.html\"><a href=\"sub/../page1.html\">"
              "<a href=\"b&amp;c.css\"><a href=\"./\"><img src=\"b&#38;c.css\">")},
        {"page1.html", Page("")},
        {"b&c.css", "x"},
        {"sub/index.html", Page("<a href=\"../index.html\"><a href=\"/index.html\">")}},
       {}},
      {"links inside comments, scripts and titles are text",
       {{"index.html", Page("<!-- <a href=\"gone.html\"> --><script>s='<a href=\"gone.html\">'"
                            "</script><title><a href=gone.html></title>")}},
       {}},
      {"dead links, each reported once per page",
       {{"index.html", Page("<a href=\"page9.html\"><A HREF=page9.html><img src=\"pic.png\">"
                            "<a href=\"../up.html\"><a href=\"sub/\"><a href='page%39.html'>")},
        {"sub/x.css", ""}},
       {"index.html:broken-link", "index.html:broken-link", "index.html:broken-link",
        "index.html:broken-link", "index.html:broken-link"}},
      {"charsets against bytes",
       {{"a.html",
         "<meta http-equiv=\"Content-Type\" content=\"text/html; charset=UTF-8\">" + kUtf8Text},
        {"b.html", Page(kCp1251Text)},
        {"c.html", Page(kUtf8Text, "windows-1251")},
        {"d.html", Page(kCp1251Text, "windows-1251")},
        {"e.html", Page("<a href=\"" + kCp1251Text + ".html\">", "cp1251")},
        {"f.html", "<p>no declaration</p>"},
        {"g.html", Page("ascii only", "windows-1251")},
        {"h.html", "\xEF\xBB\xBF" + kUtf8Text},
        {kUtf8Text + ".html", Page("")},
        // Read as browsers read them: a comment declares nothing, the body may.
        {"i.html", "<!-- <meta charset=\"windows-1251\"> -->" + kUtf8Text},
        {"j.html", "<head></head><body><meta charset=\"utf-8\">" + kCp1251Text},
        {"k.html", "<p title='<meta charset=utf-8>'><meta charset=utf-8>" + kUtf8Text}},
       {"b.html:charset-mismatch", "c.html:charset-mismatch", "f.html:no-charset",
        "i.html:no-charset", "j.html:charset-mismatch"}},
      {"empty page",
       {{"index.html", ""}, {"page1.html", Page("")}},
       {"index.html:empty-page", "page1.html:unlinked-page"}},
      {"no pages", {{"style.css", "p{}"}}, {".:no-pages"}},
      {"sitemap that lists exactly the pages, under an encoded folder",
       {{"index.html", Page("<a href=page1.html>")},
        {"page1.html", Page("")},
        {"sitemap.xml", kSitemapOk}},
       {}},
      {"sitemap of the pages in a subfolder",
       {{"index.html", Page("")},
        {"sub/a.html", Page("")},
        {"sub/b.html", Page("")},
        {"sitemap.xml", Sitemap({"http://e.org/sub/a.html", "http://e.org/sub/b.html"})}},
       {"sub/a.html:unlinked-page", "sub/b.html:unlinked-page",
        "sitemap.xml:sitemap-missing-page"}},
      {"sitemap with a duplicate, a stale and a missing entry",
       {{"index.html", Page("")},
        {"page1.html", Page("")},
        {"page2.html", Page("")},
        {"sitemap.xml", Sitemap({"http://e.org/index.html", "http://e.org/page2.html",
                                 "http://e.org/index.html", "http://e.org/page7.html"})}},
       {"page1.html:unlinked-page", "page2.html:unlinked-page", "sitemap.xml:sitemap-duplicate",
        "sitemap.xml:sitemap-stale-entry", "sitemap.xml:sitemap-missing-page"}},
      {"sitemap index, one part missing and one broken",
       {{"index.html", Page("")},
        {"page1.html", Page("")},
        {"page2.html", Page("")},
        {"sitemap.xml", Sitemap({"http://e.org/sitemap-1.xml", "http://e.org/sitemap-2.xml",
                                 "http://e.org/sitemap-3.xml", "http://e.org/sitemap-4.xml"},
                                "sitemapindex", "sitemap")},
        {"sitemap-1.xml", Sitemap({"http://e.org/", "http://e.org/page1.html"})},
        {"sitemap-2.xml", Sitemap({"http://e.org/page2.html"}) + "<x/>"},
        {"sitemap-4.xml", Sitemap({}, "sitemapindex", "sitemap")}},
       {"page1.html:unlinked-page", "page2.html:unlinked-page", "sitemap-2.xml:sitemap-malformed",
        "sitemap.xml:sitemap-stale-entry", "sitemap-4.xml:sitemap-malformed",
        "sitemap.xml:sitemap-missing-page"}},
  };
  for (const TSiteCase& c : cases) EXPECT_EQ(CheckFiles(c.files), c.problems) << c.name;
}

TEST(SiteCheck, SitemapMustBeStrictXml) {
  const std::string kUrl = "<url><loc>http://e.org/index.html</loc></url>";
  const std::string kWellFormed[] = {
      "<urlset>" + kUrl + "</urlset>",
      "\xEF\xBB\xBF<?xml version='1.0' encoding='utf-8'?><!-- c --><?pi x?><urlset a='1' b=\"2\">" +
          kUrl + "<x/><![CDATA[<&>]]></urlset>\n",
      "<urlset><url><loc>http://e.org/&#x69;ndex&#46;html</loc></url></urlset>",
      "<sm:urlset xmlns:sm=\"s\"><sm:url><sm:loc>http://e.org/index.html</sm:loc></sm:url>"
      "</sm:urlset>"};
  for (const std::string& xml : kWellFormed)
    EXPECT_EQ(CheckFiles({{"index.html", Page("")}, {"sitemap.xml", xml}}),
              std::vector<std::string>())
        << xml;
  const std::string kMalformed[] = {
      "",
      "<urlset a=1>" + kUrl + "</urlset>",
      "<urlset>" + kUrl,
      "<urlset><url><loc>x</url></loc></urlset>",
      "<urlset>&nbsp;" + kUrl + "</urlset>",
      "<urlset>a & b" + kUrl + "</urlset>",
      "<urlset>&#0;" + kUrl + "</urlset>",
      "<!DOCTYPE urlset><urlset>" + kUrl + "</urlset>",
      "<urlset>" + kUrl + "</urlset>text",
      "<urlset>" + kUrl + "</urlset><urlset/>",
      "<urlset>\xE4" + kUrl + "</urlset>",
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><urlset>" + kUrl + "</urlset>",
      "<urlset a='1' a='2'>" + kUrl + "</urlset>",
      "<urlset><!-- a -- b -->" + kUrl + "</urlset>",
      "<urlset b='<'>" + kUrl + "</urlset>",
      "<html>" + kUrl + "</html>",
      " <?xml version='1.0'?><urlset>" + kUrl + "</urlset>",
      "<urlset>]]>" + kUrl + "</urlset>"};
  for (const std::string& xml : kMalformed)
    EXPECT_EQ(CheckFiles({{"index.html", Page("")}, {"sitemap.xml", xml}}),
              std::vector<std::string>{"sitemap.xml:sitemap-malformed"})
        << xml;
}

// Random flat sites: each page links to pages that may not exist and the
// sitemap leaves some out and lists some that do not exist; the check must
// report exactly what the site was made with.
TEST(SiteCheck, RandomSitesGiveTheirKnownFaults) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    std::mt19937 random(seed);
    const auto pick = [&random](int n) { return static_cast<int>(random() % n); };
    const auto name = [](int k) {
      return k == 0 ? std::string("index.html") : "page" + std::to_string(k) + ".html";
    };
    const int pages = 1 + pick(25);
    TFiles files;
    std::vector<std::string> expected, locs;
    std::vector<std::vector<int>> links(pages);
    for (int k = 0; k < pages; ++k) {
      std::string body;
      std::vector<int> dead;
      for (int l = pick(6); l > 0; --l) {
        const int target = pick(pages + 4);
        body += "<a href=\"" + name(target) + "\">";
        if (target >= pages && std::find(dead.begin(), dead.end(), target) == dead.end())
          dead.push_back(target);
        if (target < pages) links[k].push_back(target);
      }
      files.emplace_back(name(k), Page(body));
      for (size_t d = 0; d < dead.size(); ++d) expected.push_back(name(k) + ":broken-link");
    }
    // The pages index.html does not lead to, by repeated passes.
    std::vector<bool> reached(pages);
    reached[0] = true;
    for (int pass = 0; pass < pages; ++pass)
      for (int k = 0; k < pages; ++k)
        for (const int target : links[k]) reached[target] = reached[target] || reached[k];
    for (int k = 0; k < pages; ++k)
      if (!reached[k]) expected.push_back(name(k) + ":unlinked-page");
    std::vector<std::string> sitemap_faults;
    for (int k = 0; k < pages + 3; ++k) {
      const bool listed = pick(4) != 0;
      if (listed) locs.push_back("http://e.org/s/" + name(k));
      if (listed && k >= pages) sitemap_faults.push_back("sitemap.xml:sitemap-stale-entry");
      if (!listed && k < pages) sitemap_faults.push_back("sitemap.xml:sitemap-missing-page");
    }
    files.emplace_back("sitemap.xml", Sitemap(locs));
    std::vector<std::string> found = CheckFiles(files);
    expected.insert(expected.end(), sitemap_faults.begin(), sitemap_faults.end());
    std::sort(found.begin(), found.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(found, expected) << "seed " << seed;
  }
}

TEST(SiteCheck, RefusesACommandLineWithoutAFolder) {
  TempDir dir;
  WriteWholeFile(dir / "index.html", Page(""));
  for (const std::vector<std::string>& args : {std::vector<std::string>{"check"},
                                               {"check", dir / "index.html"},
                                               {"check", dir / "none"},
                                               {"check", dir.Path(), dir.Path()},
                                               {"check", dir.Path(), "--xml"}})
    EXPECT_EQ(RunTool(args).code, 2) << args.back();
  // With --json, a folder that cannot be checked still gives its object.
  const JsonValue json = JsonValue::Parse(RunTool({"check", dir / "none", "--json"}).out);
  EXPECT_EQ(json["folder"].text, dir / "none");
  EXPECT_NE(json["error"].text.find("does not exist"), std::string::npos);
}

// The example project's text and links, made into a project with the options
// of each row by the real program, built, and checked clean.
TEST(SiteCheck, FreshlyBuiltSitesCheckClean) {
  const std::string examples = ORVANA_SOURCE_DIR "/examples/chronicle/";
  TempDir dir;
  // The default template with the charset its pages are written in.
  std::string charset_template;
  for (const std::string& line : DefaultTemplateLines()) charset_template += line + "\n";
  charset_template = Cp1251ToUtf8(charset_template);
  const size_t head = charset_template.find("<head>");
  ASSERT_NE(head, std::string::npos);
  charset_template.insert(head + 6, "<meta charset=\"windows-1251\">");
  WriteWholeFile(dir / "template.html", charset_template);
  const std::vector<std::vector<std::string>> rows = {
      {"--template", dir / "template.html"},
      {"--template", dir / "template.html", "--site-url", "http://e.org/", "--pager-window", "1"},
      {"--output-encoding", "utf-8"},
      {"--template", dir / "template.html", "--output-encoding", "utf-8"},
      {"--preset", "modern", "--output-encoding", "windows-1251"},
      {"--output-encoding", "utf-8", "--site-url", "https://e.org/хроника", "--menu-window", "2"},
      {"--preset", "modern", "--site-url", "http://e.org/a/b/", "--pager-window", "0"}};
  for (const std::vector<std::string>& options : rows) {
    std::filesystem::remove_all(dir / "site");
    std::filesystem::create_directory(dir / "site");
    std::vector<std::string> args = {
        "new",     dir / "p.orvana",       "--force", "--text",    examples + "text.txt",
        "--links", examples + "links.txt", "--out",   dir / "site"};
    args.insert(args.end(), options.begin(), options.end());
    ASSERT_EQ(RunProgram(args).code, 0);
    ASSERT_EQ(RunProgram({"build", dir / "p.orvana", "--seed", "5"}).code, 0);
    const RunResult r = RunProgram({"check", dir / "site"});
    EXPECT_EQ(r.code, 0) << options.back() << "\n" << r.out << r.err;
    EXPECT_EQ(r.out, "");
  }
  // The example project as shipped: built without a warning, checked clean.
  std::filesystem::remove_all(dir / "site");
  std::filesystem::create_directory(dir / "site");
  const RunResult built =
      RunProgram({"build", ORVANA_SOURCE_DIR "/examples/chronicle.orvana", "--out", dir / "site"});
  EXPECT_EQ(built.code, 0);
  EXPECT_EQ(built.err, "");
  EXPECT_EQ(RunProgram({"check", dir / "site"}).out, "");
}

// A page handed to the scanner in random pieces gives the links and charset
// of the page scanned whole, over random pages of what a cut can split.
TEST(SiteCheck, PagesScannedInPiecesGiveWhatTheWholePageGives) {
  const std::string all =
      "<a href=\"x.html\">|<A HREF=y>|<img src='a&amp;b'>|<!-- <a href=c> -->|<script>|</script>|"
      "<title>|</TITLE>|<meta charset=\"utf-8\">|<|<!|-->|\"|'|>|text|</|<a\nhref = 'q'\n>|"
      "<meta http-equiv=content-type content='text/html; charset=koi8-r'>";
  std::vector<std::string> pieces;
  for (size_t at = 0, bar = 0; at <= all.size(); at = bar + 1)
    pieces.push_back(all.substr(at, (bar = std::min(all.find('|', at), all.size())) - at));
  std::mt19937 random(17);
  for (int round = 0; round < 2000; ++round) {
    std::string page = round % 5 == 0 ? "\xEF\xBB\xBF" : "";
    for (int n = static_cast<int>(random() % 40); n > 0; --n)
      page += pieces[random() % pieces.size()];
    std::vector<std::string> whole_links, cut_links;
    const TPageScan whole =
        ScanPage(page, [&](std::string_view l) { whole_links.emplace_back(l); });
    TPageScanner scanner([&](std::string_view l) { cut_links.emplace_back(l); });
    for (size_t at = 0, size = 1; at < page.size(); at += size, size = 1 + random() % 9)
      scanner.Feed(std::string_view(page).substr(at, size));
    ASSERT_EQ(scanner.Finish().charset, whole.charset) << page;
    ASSERT_EQ(cut_links, whole_links) << page;
  }
}

TEST(SiteCheck, EntriesThatAreNoFileAreNamed) {
  TempDir dir;
  WriteWholeFile(dir / "index.html", "<meta charset=utf-8><a href=pipe.html>");
  ASSERT_EQ(::mkfifo((dir / "pipe.html").c_str(), 0600), 0);
  std::filesystem::create_symlink("/dev/null", dir / "null.html");
  std::filesystem::create_symlink("loop.html", dir / "loop.html");
  std::filesystem::create_symlink("gone.html", dir / "dangling.html");
  const RunResult r = RunTool({"check", dir.Path()});
  EXPECT_EQ(r.code, 1);  // the link to the FIFO leads to no file
  EXPECT_EQ(r.out,
            "index.html: link to pipe.html does not resolve\n"
            "dangling.html: warning: is a link to nothing, not a file: not checked\n"
            "loop.html: warning: is a link loop, not a file: not checked\n"
            "null.html: warning: is a link to a device, not a file: not checked\n"
            "pipe.html: warning: is a FIFO, not a file: not checked\n");
}

// A page larger than the memory the check may take is judged to its last link.
TEST(SiteCheck, LargePagesAreReadInPieces) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "a sanitizer's shadow memory does not fit the address-space limit";
#endif
  TempDir dir;
  WriteWholeFile(dir / "index.html", "<meta charset=utf-8>");
  std::filesystem::resize_file(dir / "index.html", uint64_t{5} << 27);  // 640 MiB, sparse
  std::ofstream(dir / "index.html", std::ios::app) << "<a href=gone.html>";
  WriteWholeFile(dir / "huge.html", "");
  std::filesystem::resize_file(dir / "huge.html", kMaxPageBytes + 1);
  const pid_t child = ::fork();
  if (child == 0) {
    const rlimit limit = {uint64_t{1} << 29, uint64_t{1} << 29};
    ::setrlimit(RLIMIT_AS, &limit);
    std::string found;
    for (const TSiteProblem& p : CheckSiteFolder(dir.Path()).problems)
      found += p.file + ":" + p.code + " ";
    ::_exit(found == "huge.html:too-large index.html:broken-link huge.html:unlinked-page " ? 0 : 1);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  EXPECT_EQ(status, 0);
}

}  // namespace
}  // namespace orvana::cli
