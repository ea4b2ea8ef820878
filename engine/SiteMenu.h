// The site menu and the pagination bars.
//
// The menu is one HTML list with a link per page, the same on every page. A
// pagination bar is built per page: an arrow to the previous page, the numbers
// of all pages (each a link but the page's own) and an arrow to the next page.
// The bars of a site together grow with the square of its page count, because
// each lists every page; building them costs no more than their bytes.
#pragma once

#include "SiteGenerator.h"

namespace orvana {

// Sets the generator's SiteMenu and every page's Pagination from the pages'
// titles and file names.
void BuildMenuAndPagination(TSiteGenerator& generator);

}  // namespace orvana
