#include "SiteMenu.h"

namespace orvana {

void BuildSiteMenu(TSiteGenerator& generator) {
  const TSitePages& pages = generator.Pages();
  size_t size = 5 + 5;
  for (int p = 0; p < pages.Count(); ++p)
    size += 13 + pages[p].PageUrl.size() + 2 + pages[p].PageTitle.size() + 10;
  std::string menu;
  menu.reserve(size);
  menu += "<ul>\r";
  for (int p = 0; p < pages.Count(); ++p) {
    menu += "<li><a href=\"";
    menu += pages[p].PageUrl;
    menu += "\">";
    menu += pages[p].PageTitle;
    menu += "</a></li>\r";
  }
  menu += "</ul>";
  generator.SetSiteMenu(std::move(menu));
}

TPaginationBars::TPaginationBars(const TSitePages& pages)
    : pages_(pages), offset_(static_cast<size_t>(pages.Count()) + 1) {
  for (int k = 0; k < pages.Count(); ++k) {
    offset_[k] = linked_.size();
    linked_ += " <a href=\"";
    linked_ += pages[k].PageUrl;
    linked_ += "\">";
    linked_ += std::to_string(k);
    linked_ += "</a> ";
  }
  offset_[pages.Count()] = linked_.size();
}

void TPaginationBars::Build(int p, std::string& bar) const {
  const int n = pages_.Count();
  bar.clear();
  bar.reserve(linked_.size() + 64 + (p > 0 ? pages_[p - 1].PageUrl.size() : 0) +
              (p + 1 < n ? pages_[p + 1].PageUrl.size() : 0));
  if (p == 0) {
    bar += "&lt;&lt;&lt; ";
  } else {
    bar += "<a href=\"";
    bar += pages_[p - 1].PageUrl;
    bar += "\">&lt;&lt;&lt; </a> ";
  }
  bar.append(linked_, 0, offset_[p]);
  bar += ' ';
  bar += std::to_string(p);
  bar += ' ';
  bar.append(linked_, offset_[p + 1], std::string::npos);
  if (p < n - 1) {
    bar += " <a href=\"";
    bar += pages_[p + 1].PageUrl;
    bar += "\">&gt;&gt;&gt; </a>";
  } else {
    bar += " &gt;&gt;&gt;";
  }
}

size_t TPaginationBars::Size(int p) const {
  // The pieces of Build, counted: the back arrow, the linked numbers less the
  // page's own, its plain number between blanks, the forward arrow.
  const int n = pages_.Count();
  const size_t own_number = std::to_string(p).size();
  size_t size = p == 0 ? 13 : 29 + pages_[p - 1].PageUrl.size();
  size += linked_.size() - (offset_[p + 1] - offset_[p]);
  size += 2 + own_number;
  size += p < n - 1 ? 29 + pages_[p + 1].PageUrl.size() : 13;
  return size;
}

void BuildMenuAndPagination(TSiteGenerator& generator) {
  BuildSiteMenu(generator);
  TSitePages& pages = generator.Pages();
  const TPaginationBars bars(pages);
  for (int p = 0; p < pages.Count(); ++p) bars.Build(p, pages[p].Pagination);
}

}  // namespace orvana
