#include "engine/SiteMenu.h"

namespace orvana {
namespace {

constexpr std::string_view kBackInactive = "&lt;&lt;&lt; ";
constexpr std::string_view kBackOpen = "<a href=\"";
constexpr std::string_view kBackClose = "\">&lt;&lt;&lt; </a> ";
constexpr std::string_view kNextOpen = " <a href=\"";
constexpr std::string_view kNextClose = "\">&gt;&gt;&gt; </a>";
constexpr std::string_view kNextInactive = " &gt;&gt;&gt;";

}  // namespace

std::string EscapeHtmlText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string BuildSiteMenu(const std::vector<std::string_view>& urls,
                          const std::vector<std::string_view>& titles) {
  size_t size = 5 + 5;
  for (size_t p = 0; p < urls.size(); ++p) size += 13 + urls[p].size() + 2 + titles[p].size() + 10;
  std::string menu;
  menu.reserve(size);
  menu += "<ul>\r";
  for (size_t p = 0; p < urls.size(); ++p) {
    menu += "<li><a href=\"";
    menu += urls[p];
    menu += "\">";
    menu += titles[p];
    menu += "</a></li>\r";
  }
  menu += "</ul>";
  return menu;
}

TPaginationBars::TPaginationBars(std::vector<std::string_view> urls)
    : urls_(std::move(urls)), offset_(urls_.size() + 1), number_offset_(urls_.size() + 1) {
  for (size_t k = 0; k < urls_.size(); ++k) {
    const std::string number = std::to_string(k);
    offset_[k] = linked_.size();
    linked_ += " <a href=\"";
    linked_ += urls_[k];
    linked_ += "\">";
    linked_ += number;
    linked_ += "</a> ";
    number_offset_[k] = numbers_.size();
    numbers_ += ' ';
    numbers_ += number;
    numbers_ += ' ';
    if (urls_[k].find("SiteGeneratorChange.") != std::string_view::npos) inert_ = false;
  }
  offset_[urls_.size()] = linked_.size();
  number_offset_[urls_.size()] = numbers_.size();
}

void TPaginationBars::AppendPieces(int p, std::vector<std::string_view>& pieces) const {
  const size_t i = static_cast<size_t>(p);
  const std::string_view linked = linked_, numbers = numbers_;
  if (p == 0) {
    pieces.push_back(kBackInactive);
  } else {
    pieces.push_back(kBackOpen);
    if (!urls_[i - 1].empty()) pieces.push_back(urls_[i - 1]);
    pieces.push_back(kBackClose);
  }
  if (offset_[i] > 0) pieces.push_back(linked.substr(0, offset_[i]));
  pieces.push_back(numbers.substr(number_offset_[i], number_offset_[i + 1] - number_offset_[i]));
  if (offset_[i + 1] < linked.size()) pieces.push_back(linked.substr(offset_[i + 1]));
  if (i + 1 < urls_.size()) {
    pieces.push_back(kNextOpen);
    if (!urls_[i + 1].empty()) pieces.push_back(urls_[i + 1]);
    pieces.push_back(kNextClose);
  } else {
    pieces.push_back(kNextInactive);
  }
}

void TPaginationBars::Build(int p, std::string& bar) const {
  std::vector<std::string_view> pieces;
  pieces.reserve(9);
  AppendPieces(p, pieces);
  bar.clear();
  bar.reserve(Size(p));
  for (std::string_view piece : pieces) bar += piece;
}

size_t TPaginationBars::Size(int p) const {
  // The pieces of AppendPieces, counted: the back arrow, the linked numbers
  // less the page's own, its plain number between blanks, the forward arrow.
  const size_t i = static_cast<size_t>(p);
  size_t size =
      p == 0 ? kBackInactive.size() : kBackOpen.size() + urls_[i - 1].size() + kBackClose.size();
  size += linked_.size() - (offset_[i + 1] - offset_[i]);
  size += number_offset_[i + 1] - number_offset_[i];
  size += i + 1 < urls_.size() ? kNextOpen.size() + urls_[i + 1].size() + kNextClose.size()
                               : kNextInactive.size();
  return size;
}

}  // namespace orvana
