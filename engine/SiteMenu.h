// The site menu and the pagination bars.
//
// The menu is one HTML list with a link per page, the same on every page. A
// pagination bar is built per page: an arrow to the previous page, the numbers
// of all pages (each a link but the page's own) and an arrow to the next page.
// The bars of a site together grow with the square of its page count, because
// each lists every page; building them costs no more than their bytes.
#pragma once

#include <string>
#include <vector>

#include "SiteGenerator.h"

namespace orvana {

// Sets the generator's SiteMenu from the pages' titles and file names.
void BuildSiteMenu(TSiteGenerator& generator);

// The pagination bars of a set of pages. Every number of a bar but the page's
// own is the same link on every page, so the linked numbers are built once,
// back to back, and each bar copies the runs before and after its own number.
class TPaginationBars {
 public:
  // Prepares the bars of the pages as they are now (their file names); the
  // pages must outlive the object and keep their file names.
  explicit TPaginationBars(const TSitePages& pages);

  // The bar of page p, built into `bar` (old content discarded, capacity
  // reused).
  void Build(int p, std::string& bar) const;

  // The size of the bar of page p, without building it.
  size_t Size(int p) const;

 private:
  const TSitePages& pages_;
  std::string linked_;
  std::vector<size_t> offset_;
};

// Sets the generator's SiteMenu and every page's Pagination.
void BuildMenuAndPagination(TSiteGenerator& generator);

}  // namespace orvana
