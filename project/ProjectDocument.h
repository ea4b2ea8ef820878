// TProjectDocument: one open project without its window.
//
// The document owns the project's generator and keeps the rules by which the
// project window treats it, so that the window and the command-line tool hold
// a project alike:
//
//   - a new document's generator is what a new project window gives it when
//     the window is created: page bounds 4000 and 5000, every text empty. The
//     template, advertising block and stylesheet of a new project are memo
//     lines (NewProjectMemos) and reach the generator with SetMemos, as the
//     window's memos do at the first generation or save;
//   - a project file is read with the window's rules: a header name that one
//     of the window's own components bears is refused, and properties the file
//     leaves out keep what the generator held (a new document: the bounds);
//   - texts reach the generator through the memos: a memo holds lines, and
//     the template, advertising block and stylesheet are those lines each
//     followed by one CR.
//
// Texts are Windows-1251; file names and SavePath are the platform's UTF-8.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/SiteGenerator.h"

namespace orvana {

// The project's texts as the window's five memos hold them, one entry per
// line, without line ends.
struct TProjectMemos {
  TStringList site_text;          // Memo2: SiteText, line for line
  TStringList site_template;      // Memo4: SiteTemplate
  TStringList adsense_code;       // Memo5: AdsenseCode
  TStringList css_code;           // Memo6: CssCode
  TStringList site_urls_to_link;  // Memo1: SiteUrlsToLink, line for line
};

class TProjectDocument {
 public:
  // A new project's document: bounds 4000 and 5000, no texts, no pages.
  TProjectDocument();
  TProjectDocument(const TProjectDocument&) = delete;
  TProjectDocument& operator=(const TProjectDocument&) = delete;

  TSiteGenerator& Generator() { return generator_; }
  const TSiteGenerator& Generator() const { return generator_; }

  // What the memos of a new project window hold: the default template,
  // advertising block and stylesheet, and no text or link address.
  static TProjectMemos NewProjectMemos();

  // Reads the project file into the generator with the window's rules (see
  // above). `window_name_exists` tells whether one of the application's
  // windows bears a name (the header's name then gains "_1", "_2", ...);
  // empty means there are none. Failures throw EOrvanaError as
  // LoadProjectFile does and keep what was read before them.
  void LoadFromFile(const std::string& file_name,
                    const std::function<bool(const std::string&)>& window_name_exists = {});

  // The warnings of the last LoadFromFile about the extras block after the
  // project (see ExtrasText.h): each names what was ignored.
  const std::vector<std::string>& ReadWarnings() const { return read_warnings_; }

  // Writes the generator into the project file (SaveProjectFile).
  void SaveToFile(const std::string& file_name) const;

  // The memos' lines into the generator, in the window's order: site text,
  // template, advertising block, stylesheet, link addresses.
  void SetMemos(TProjectMemos memos);

  // The lines the memos show for the generator's texts: the template,
  // advertising block and stylesheet are cut at each CR.
  TProjectMemos Memos() const;

  // Sends the template, advertising block and stylesheet through the memos
  // and back, as showing a project and then generating or saving it does:
  // each becomes lines each followed by one CR, so a text that does not end
  // with a CR gains one. The site text and the link addresses are lines in
  // both places and stay as they are.
  void PassTextsThroughMemos();

 private:
  TSiteGenerator generator_;
  std::vector<std::string> read_warnings_;
};

}  // namespace orvana
