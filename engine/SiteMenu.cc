#include "SiteMenu.h"

#include <string>
#include <vector>

namespace orvana {

void BuildMenuAndPagination(TSiteGenerator& generator) {
  TSitePages& pages = generator.Pages();
  const int n = pages.Count();

  // Every number of a bar but the page's own is the same link on every page,
  // so the linked numbers are built once, back to back, and each bar copies
  // the runs before and after its own number.
  std::string linked;
  std::vector<size_t> offset(static_cast<size_t>(n) + 1);
  std::vector<std::string> digits(static_cast<size_t>(n));
  size_t menu_size = 5 + 5;
  for (int k = 0; k < n; ++k) {
    const TSitePage& page = pages[k];
    digits[k] = std::to_string(k);
    offset[k] = linked.size();
    linked += " <a href=\"";
    linked += page.PageUrl;
    linked += "\">";
    linked += digits[k];
    linked += "</a> ";
    menu_size += 13 + page.PageUrl.size() + 2 + page.PageTitle.size() + 10;
  }
  offset[n] = linked.size();

  std::string menu;
  menu.reserve(menu_size);
  menu += "<ul>\r";
  for (int p = 0; p < n; ++p) {
    TSitePage& page = pages[p];
    std::string bar;
    bar.reserve(linked.size() + 64 + (p > 0 ? pages[p - 1].PageUrl.size() : 0) +
                (p + 1 < n ? pages[p + 1].PageUrl.size() : 0));
    if (p == 0) {
      bar += "&lt;&lt;&lt; ";
    } else {
      bar += "<a href=\"";
      bar += pages[p - 1].PageUrl;
      bar += "\">&lt;&lt;&lt; </a> ";
    }
    bar.append(linked, 0, offset[p]);
    bar += ' ';
    bar += digits[p];
    bar += ' ';
    bar.append(linked, offset[p + 1], std::string::npos);
    if (p < n - 1) {
      bar += " <a href=\"";
      bar += pages[p + 1].PageUrl;
      bar += "\">&gt;&gt;&gt; </a>";
    } else {
      bar += " &gt;&gt;&gt;";
    }
    page.Pagination = std::move(bar);

    menu += "<li><a href=\"";
    menu += page.PageUrl;
    menu += "\">";
    menu += page.PageTitle;
    menu += "</a></li>\r";
  }
  menu += "</ul>";
  generator.SetSiteMenu(std::move(menu));
}

}  // namespace orvana
