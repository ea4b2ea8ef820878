// Generated once from the design of a new project window; edit by hand.
#include "project/DefaultContent.h"

#include <algorithm>
#include <initializer_list>

#include "engine/CodePage.h"

namespace orvana {

TStringList Cp1251Lines(std::initializer_list<const char8_t*> utf8) {
  TStringList lines;
  lines.reserve(utf8.size());
  for (const char8_t* s : utf8) lines.push_back(Utf8ToCp1251(reinterpret_cast<const char*>(s)));
  return lines;
}

const TStringList& DefaultTemplateLines() {
  // clang-format off
  static const TStringList lines = Cp1251Lines({
      u8"<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Transitional//EN\"",
      u8"   \"http://www.w3.org/TR/xhtml1/DTD/xhtml1-transitional.dtd\">",
      u8"<html>",
      u8" <head>",
      u8"  <title>SiteGeneratorChange.Title</title>",
      u8"  <link rel=\"stylesheet\" href=\"style.css\" />",
      u8"  <meta name=\"robots\" content=\"index,follow\" />",
      u8" </head>",
      u8" <body>",
      u8"  <div id=\"main\">",
      u8"   ",
      u8"  <div id=\"header\"> SiteGeneratorChange.Adsense</div>",
      u8"   <div id=\"container\">",
      u8"    <div id=\"leftnavigation\">",
      u8"     <div class=\"block\">",
      u8"      <div class=\"cat\">Разделы</div>",
      u8"       SiteGeneratorChange.Menu",
      u8"     </div>",
      u8"",
      u8"    </div>",
      u8"    <div id=\"contentcontainer\">",
      u8"     SiteGeneratorChange.MainText",
      u8"\t <div align=\"center\">SiteGeneratorChange.Pagination</div>",
      u8"\t </div>",
      u8"   </div>",
      u8"   <div id=\"footer\">",
      u8"    &#169; Все права на тексты сайта принадлежат их авторам. Сайт создан в Orvana.",
      u8"   </div>",
      u8"  </div>",
      u8" ",
      u8"</body>",
      u8"</html>"
  });
  // clang-format on
  return lines;
}

const TStringList& DefaultAdsenseLines() {
  // clang-format off
  static const TStringList lines = Cp1251Lines({
      u8"<script type=\"text/javascript\"><!--",
      u8"ad_client = \"pub-0000000000000000\";",
      u8"/* 728x90, orvana mini-site */",
      u8"ad_slot = \"0000000000\";",
      u8"ad_width = 728;",
      u8"ad_height = 90;",
      u8"//-->",
      u8"</script>",
      u8"<script type=\"text/javascript\"",
      u8"src=\"http://ads.example.com/show_ads.js\">",
      u8"</script>"
  });
  // clang-format on
  return lines;
}

const TStringList& DefaultCssLines() {
  // clang-format off
  static const TStringList lines = Cp1251Lines({
      u8"body {",
      u8"background-image: url(images/bg.gif);",
      u8"margin-left: auto;",
      u8"margin-right: auto;",
      u8"margin-top: 9px;",
      u8"margin-bottom: 9px;",
      u8"width: 776px;",
      u8"text-align: center;",
      u8"}",
      u8"",
      u8"#main {",
      u8"position: relative;",
      u8"height: auto;",
      u8"width: 776px;",
      u8"text-align: left;",
      u8"}",
      u8"",
      u8"#header {",
      u8"position: relative;",
      u8"background-image: url(images/banner-bg.gif);",
      u8"background-repeat: repeat-x;",
      u8"border: 1px solid #000;",
      u8"width: 776px;",
      u8"}",
      u8"",
      u8"#container {",
      u8"position: relative;",
      u8"width: 776px;",
      u8"background-color: transparent;",
      u8"}",
      u8"",
      u8"#leftnavigation {",
      u8"float: left;",
      u8"position: relative;",
      u8"width: 160px;",
      u8"height: auto;",
      u8"margin: 0px 0px 4px 0px;",
      u8"background-color: transparent;",
      u8"}",
      u8"",
      u8"#leftnavigation .block {",
      u8"position: relative;",
      u8"width: 160px;",
      u8"border: 1px solid #000;",
      u8"height: auto;",
      u8"margin: 8px 0px 4px 0px;",
      u8"background-color: #dbe3ec;",
      u8"}",
      u8"",
      u8"#leftnavigation .block ul{",
      u8"list-style-type: none;",
      u8"margin: 0;",
      u8"padding: 0;",
      u8"}",
      u8"",
      u8"#leftnavigation .block li{",
      u8"padding: 1px;",
      u8"}",
      u8"",
      u8"#leftnavigation .cat {",
      u8"border-bottom: 1px solid #000000;",
      u8"background-image: url(images/navigation.gif);",
      u8"background-repeat: repeat;",
      u8"padding: 2px;",
      u8"text-align: center;",
      u8"font-weight: bold;",
      u8"font-family: Tahoma;",
      u8"text-decoration: none;",
      u8"color: #000;",
      u8"font-size: 1.1em;",
      u8"}",
      u8"",
      u8"#leftnavigation a {",
      u8"background-color: #cddde0;",
      u8"width: 150px;",
      u8"color: #000000;",
      u8"font-weight: bold;",
      u8"text-decoration: none;",
      u8"font-family: Tahoma;",
      u8"font-size: .9em;",
      u8"margin: 2px 2px 2px 2px;",
      u8"padding: 2px;",
      u8"border: 1px solid #000;",
      u8"display: block;",
      u8"}",
      u8"",
      u8"#leftnavigation a:hover {",
      u8"background-color: #bed2d6;",
      u8"width: 150px;",
      u8"color: #000;",
      u8"font-weight: bold;",
      u8"text-decoration: none;",
      u8"font-family: Tahoma;",
      u8"font-size: .9em;",
      u8"margin: 2px 2px 2px 2px;",
      u8"padding: 2px;",
      u8"border: 1px solid #000;",
      u8"display: block;",
      u8"}",
      u8"",
      u8"#contentcontainer {",
      u8"position: relative;",
      u8"float: left;",
      u8"clear: right;",
      u8"background-color: #dae7f3;",
      u8"border: 1px solid #000;",
      u8"margin: 8px 0px 0px 8px;",
      u8"padding: 4px;",
      u8"width: 598px;",
      u8"font-family: Tahoma;",
      u8"font-size: .8em;",
      u8"}",
      u8"",
      u8"#contentcontainer h1 {",
      u8"font-size: 1.2em;",
      u8"margin: 3px 3px 3px 3px;",
      u8"}",
      u8"",
      u8"#contentcontainer a {",
      u8"color: #0000BB;",
      u8"text-decoration: underline;",
      u8"font-weight: bold;",
      u8"}",
      u8"",
      u8"#contentcontainer a:hover {",
      u8"color: #0000BB;",
      u8"text-decoration: underline;",
      u8"font-weight: bold;",
      u8"}",
      u8"",
      u8"#footer {",
      u8"text-align: center;",
      u8"font-size: .8em;",
      u8"font-family: Tahoma;",
      u8"}",
      u8"",
      u8"#footer a {",
      u8"color: #000;",
      u8"font-weight: bold;",
      u8"text-decoration: none;",
      u8"}",
      u8"",
      u8"#footer a:hover {",
      u8"color: #000;",
      u8"font-weight: bold;",
      u8"text-decoration: none;",
      u8"}"
  });
  // clang-format on
  return lines;
}

const std::vector<std::string>& ProjectWindowComponentNames() {
  static const std::vector<std::string> names = {
      "PageControl1",  "TabSheet1", "TabSheet2", "TabSheet3", "TabSheet4", "TabSheet5",
      "GroupBox1",     "GroupBox2", "GroupBox3", "Label1",    "Label2",    "Label3",
      "Label4",        "Edit1",     "Edit2",     "Edit3",     "Edit4",     "Button1",
      "Button2",       "Memo1",     "Memo2",     "Memo4",     "Memo5",     "Memo6",
      "Panel1",        "Panel2",    "Panel3",    "Panel4",    "Panel5",    "Panel6",
      "Panel7",        "Panel8",    "Panel9",    "Panel10",   "Splitter1", "Splitter2",
      "PFolderDialog1"};
  return names;
}

bool IsProjectWindowComponentName(const std::string& name) {
  const std::vector<std::string>& names = ProjectWindowComponentNames();
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace orvana
