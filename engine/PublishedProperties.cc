#include "engine/PublishedProperties.h"

#include <utility>

#include "engine/SiteGenerator.h"

namespace orvana {

namespace {

using G = TSiteGenerator;
using P = TSitePage;

template <auto Get, auto Set>
TPropInfo<G> GenString(const char* name) {
  TPropInfo<G> info{name, TPropKind::String};
  info.GetString = [](const G& g) -> const std::string& { return (g.*Get)(); };
  info.SetString = [](G& g, std::string v) { (g.*Set)(std::move(v)); };
  return info;
}

template <std::string P::*Field>
TPropInfo<P> PageString(const char* name) {
  TPropInfo<P> info{name, TPropKind::String};
  info.GetString = [](const P& p) -> const std::string& { return p.*Field; };
  info.SetString = [](P& p, std::string v) { p.*Field = std::move(v); };
  return info;
}

std::vector<TPropInfo<G>> MakeGeneratorProps() {
  std::vector<TPropInfo<G>> props;
  TPropInfo<G> pages{"Pages", TPropKind::Collection};
  pages.GetPages = [](G& g) -> TSitePages& { return g.Pages(); };
  pages.GetConstPages = [](const G& g) -> const TSitePages& { return g.Pages(); };
  props.push_back(pages);

  TPropInfo<G> text{"SiteText", TPropKind::StringList};
  text.GetList = [](const G& g) -> const TStringList& { return g.SiteText(); };
  text.SetList = [](G& g, TStringList v) { g.SetSiteText(std::move(v)); };
  text.SetJoinedList = [](G& g, std::string joined, std::vector<size_t> line_ends) {
    g.SetJoinedSiteText(std::move(joined), std::move(line_ends));
  };
  props.push_back(text);

  props.push_back(GenString<&G::SiteTemplate, &G::SetSiteTemplate>("SiteTemplate"));

  TPropInfo<G> urls{"SiteUrlsToLink", TPropKind::StringList};
  urls.GetList = [](const G& g) -> const TStringList& { return g.SiteUrlsToLink(); };
  urls.SetList = [](G& g, TStringList v) { g.SetSiteUrlsToLink(std::move(v)); };
  props.push_back(urls);

  props.push_back(GenString<&G::SiteMenu, &G::SetSiteMenu>("SiteMenu"));
  props.push_back(GenString<&G::AdsenseCode, &G::SetAdsenseCode>("AdsenseCode"));
  props.push_back(GenString<&G::CssCode, &G::SetCssCode>("CssCode"));
  props.push_back(GenString<&G::SiteTitle, &G::SetSiteTitle>("SiteTitle"));
  props.push_back(GenString<&G::SiteHeader, &G::SetSiteHeader>("SiteHeader"));
  props.push_back(GenString<&G::SiteFooter, &G::SetSiteFooter>("SiteFooter"));

  TPropInfo<G> max{"MaxCharsPerPage", TPropKind::Integer};
  max.GetInteger = [](const G& g) { return g.MaxCharsPerPage(); };
  max.SetInteger = [](G& g, int32_t v) { g.SetMaxCharsPerPage(v); };
  props.push_back(max);

  TPropInfo<G> min{"MinCharsPerPage", TPropKind::Integer};
  min.GetInteger = [](const G& g) { return g.MinCharsPerPage(); };
  min.SetInteger = [](G& g, int32_t v) { g.SetMinCharsPerPage(v); };
  props.push_back(min);

  props.push_back(GenString<&G::SavePath, &G::SetSavePath>("SavePath"));
  props.back().platform_text = true;
  return props;
}

}  // namespace

const TClassInfo<TSiteGenerator>& SiteGeneratorClass() {
  static const std::vector<TPropInfo<G>> props = MakeGeneratorProps();
  static const TClassInfo<G> info{"TSiteGenerator", props};
  return info;
}

const TClassInfo<TSitePage>& SitePageClass() {
  static const std::vector<TPropInfo<P>> props = {
      PageString<&P::PageText>("PageText"), PageString<&P::PageHTML>("PageHTML"),
      PageString<&P::PageTitle>("PageTitle"), PageString<&P::Pagination>("Pagination"),
      PageString<&P::PageUrl>("PageUrl")};
  static const TClassInfo<P> info{"TSitePage", props};
  return info;
}

}  // namespace orvana
