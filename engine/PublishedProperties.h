// The published-property tables of the generator and its pages: the
// properties a project file stores, by name, kind and published order. The
// project-file writer and reader walk them; nothing else needs them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/StringList.h"

namespace orvana {

class TSiteGenerator;
class TSitePage;
class TSitePages;

enum class TPropKind { String, Integer, StringList, Collection };

// One published property of a class T. Exactly the accessors of its kind are
// set: Get/SetString for String, Get/SetInteger for Integer, Get/SetList for
// StringList, GetPages for Collection. A string list may also take its lines
// already joined (SetJoinedList: every line followed by one CR, and the
// offset of each line's CR), which spares a reader cutting a long text into
// lines that nobody may ask for.
template <class T>
struct TPropInfo {
  const char* name;
  TPropKind kind;
  // A String the generator holds in the platform's UTF-8 (SavePath, a
  // folder's name) while the project file stores it in Windows-1251, as
  // every other text: the reader and the writer convert it, and nothing else.
  bool platform_text = false;
  const std::string& (*GetString)(const T&) = nullptr;
  void (*SetString)(T&, std::string) = nullptr;
  int32_t (*GetInteger)(const T&) = nullptr;
  void (*SetInteger)(T&, int32_t) = nullptr;
  const TStringList& (*GetList)(const T&) = nullptr;
  void (*SetList)(T&, TStringList) = nullptr;
  void (*SetJoinedList)(T&, std::string, std::vector<size_t>) = nullptr;
  TSitePages& (*GetPages)(T&) = nullptr;
  const TSitePages& (*GetConstPages)(const T&) = nullptr;
};

template <class T>
struct TClassInfo {
  const char* class_name;
  const std::vector<TPropInfo<T>>& properties;
  // The property of the given name (exact, case-sensitive), or nullptr.
  const TPropInfo<T>* Find(std::string_view name) const {
    for (const auto& p : properties)
      if (name == p.name) return &p;
    return nullptr;
  }
};

// "TSiteGenerator": Pages, SiteText, SiteTemplate, SiteUrlsToLink, SiteMenu,
// AdsenseCode, CssCode, SiteTitle, SiteHeader, SiteFooter, MaxCharsPerPage,
// MinCharsPerPage, SavePath.
const TClassInfo<TSiteGenerator>& SiteGeneratorClass();

// "TSitePage": PageText, PageHTML, PageTitle, Pagination, PageUrl.
const TClassInfo<TSitePage>& SitePageClass();

}  // namespace orvana
