#include "project/ObjectTextAssigner.h"

#include <cstdint>
#include <limits>
#include <string>
#include <string_view>
#include <vector>

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "project/ObjectText.h"

namespace orvana::object_text {
namespace {

class TAssigner {
 public:
  TAssigner(TTree& tree, TSiteGenerator& generator, const TProjectReadContext& context)
      : tree_(tree), generator_(generator), context_(context) {}

  void Run(size_t root) {
    const TNode& object = tree_.nodes[root];
    if (object.text_length > 0) AssignName(std::string(tree_.Text(object)));
    for (size_t i = object.first_child; i != kNone; i = tree_.nodes[i].next) {
      // Nested objects are not the generator's: they are skipped.
      if (tree_.nodes[i].kind != TNodeKind::kProperty) continue;
      const std::string object_name =
          generator_.Name().empty() ? SiteGeneratorClass().class_name : generator_.Name();
      AssignProperty(generator_, SiteGeneratorClass(), tree_.nodes[i], object_name);
    }
  }

 private:
  // A window of the application bearing the name makes the generator take
  // the first free "NAME_1", "NAME_2", ...; a component of the project window
  // bearing the result is an error.
  void AssignName(const std::string& header_name) {
    std::string name = header_name;
    if (context_.window_name_exists) {
      for (uint64_t n = 1; context_.window_name_exists(name); ++n)
        name = header_name + "_" + std::to_string(n);
    }
    if (!EqualsIgnoreCase(name, generator_.Name()) && context_.component_name_exists &&
        context_.component_name_exists(name))
      throw EOrvanaError(Cp1251ToUtf8(FormatMessage(kComponentExists, {name})));
    generator_.SetName(std::move(name));
  }

  [[noreturn]] static void Fail(std::string_view object_name, std::string_view property,
                                std::string_view inner) {
    std::string message(kErrorReading);
    message.append(object_name);
    message += '.';
    message.append(property);
    message.append(": ");
    message.append(inner);
    // The names are the file's Windows-1251; the message speaks UTF-8.
    throw EOrvanaError(Cp1251ToUtf8(message));
  }

  template <class T>
  static const TPropInfo<T>* FindProperty(const TClassInfo<T>& info, std::string_view name) {
    for (const TPropInfo<T>& prop : info.properties)
      if (EqualsIgnoreCase(name, prop.name)) return &prop;
    return nullptr;
  }

  template <class T>
  void AssignProperty(T& object, const TClassInfo<T>& info, const TNode& property,
                      std::string_view object_name) {
    const std::string_view name = tree_.Text(property);
    const size_t dot = name.find('.');
    const std::string_view head = name.substr(0, dot);
    const TPropInfo<T>* prop = FindProperty(info, head);
    if (!prop) Fail(object_name, name, FormatMessage(kPropertyDoesNotExist, {head}));
    const TNode& value = tree_.nodes[property.first_child];

    if (dot != std::string_view::npos) {
      // Only a string list has a part of its own, its lines.
      const std::string_view rest = name.substr(dot + 1);
      if (prop->kind == TPropKind::StringList && EqualsIgnoreCase(rest, kListSuffix)) {
        AssignList(object, *prop, value, object_name, name);
        return;
      }
      const std::string_view part = rest.substr(0, rest.find('.'));
      Fail(object_name, name, FormatMessage(kPropertyDoesNotExist, {part}));
    }

    switch (prop->kind) {
      case TPropKind::String:
        if (value.kind != TNodeKind::kString) break;
        prop->SetString(object, prop->platform_text ? Cp1251ToUtf8(tree_.Text(value))
                                                    : std::string(tree_.Text(value)));
        return;
      case TPropKind::Integer:
        if (value.kind != TNodeKind::kInteger || value.too_large ||
            value.integer < std::numeric_limits<int32_t>::min() ||
            value.integer > std::numeric_limits<int32_t>::max())
          break;
        prop->SetInteger(object, static_cast<int32_t>(value.integer));
        return;
      case TPropKind::StringList:
        break;
      case TPropKind::Collection:
        if (value.kind != TNodeKind::kCollection) break;
        AssignPages(prop->GetPages(object), value);
        return;
    }
    Fail(object_name, name, kInvalidPropertyValue);
  }

  template <class T>
  void AssignList(T& object, const TPropInfo<T>& prop, const TNode& value,
                  std::string_view object_name, std::string_view name) {
    if (value.kind != TNodeKind::kList) Fail(object_name, name, kInvalidPropertyValue);
    size_t count = 0, bytes = 0;
    for (size_t i = value.first_child; i != kNone; i = tree_.nodes[i].next) {
      const TNode& line = tree_.nodes[i];
      if (line.kind != TNodeKind::kString) Fail(object_name, name, kInvalidPropertyValue);
      ++count;
      bytes += line.text_length + 1;
    }
    if (prop.SetJoinedList) {
      // A long text goes over in one piece, its lines marked in it: the
      // list's own arena when it holds these strings and nothing else, each
      // followed by its CR, else a copy made so.
      std::vector<size_t> ends;
      ends.reserve(count);
      if (std::string* arena = WholeListArena(value, bytes)) {
        for (size_t i = value.first_child; i != kNone; i = tree_.nodes[i].next)
          ends.push_back(tree_.nodes[i].text_begin + tree_.nodes[i].text_length);
        prop.SetJoinedList(object, std::move(*arena), std::move(ends));
        arena->clear();
        return;
      }
      std::string joined;
      joined.reserve(bytes);
      for (size_t i = value.first_child; i != kNone; i = tree_.nodes[i].next) {
        joined.append(tree_.Text(tree_.nodes[i]));
        ends.push_back(joined.size());
        joined += '\r';
      }
      prop.SetJoinedList(object, std::move(joined), std::move(ends));
      return;
    }
    TStringList lines;
    lines.reserve(count);
    for (size_t i = value.first_child; i != kNone; i = tree_.nodes[i].next)
      lines.emplace_back(tree_.Text(tree_.nodes[i]));
    prop.SetList(object, std::move(lines));
  }

  // The arena of the list's strings when it holds exactly them, in order,
  // each followed by one CR (`bytes` in all), and nothing else; else null.
  std::string* WholeListArena(const TNode& list, size_t bytes) {
    if (list.first_child == kNone) return nullptr;
    const uint32_t id = tree_.nodes[list.first_child].arena;
    if (id == 0) return nullptr;
    std::string& arena = tree_.lists[id - 1];
    if (arena.size() != bytes) return nullptr;
    size_t at = 0;
    for (size_t i = list.first_child; i != kNone; i = tree_.nodes[i].next) {
      const TNode& line = tree_.nodes[i];
      const size_t end = line.text_begin + line.text_length;
      if (line.arena != id || line.text_begin != at || end >= arena.size() || arena[end] != '\r')
        return nullptr;
      at = end + 1;
    }
    return at == arena.size() ? &arena : nullptr;
  }

  // "<>" leaves the pages as they are; any item replaces them all.
  void AssignPages(TSitePages& pages, const TNode& collection) {
    if (collection.first_child == kNone) return;
    pages.Clear();
    const TClassInfo<TSitePage>& info = SitePageClass();
    for (size_t i = collection.first_child; i != kNone; i = tree_.nodes[i].next) {
      TSitePage& page = pages.Add();
      const TNode& item = tree_.nodes[i];
      for (size_t p = item.first_child; p != kNone; p = tree_.nodes[p].next)
        AssignProperty(page, info, tree_.nodes[p], info.class_name);
    }
  }

  TTree& tree_;
  TSiteGenerator& generator_;
  const TProjectReadContext& context_;
};

}  // namespace

void AssignObjectTree(TTree& tree, size_t root, TSiteGenerator& generator,
                      const TProjectReadContext& context) {
  TAssigner(tree, generator, context).Run(root);
}

}  // namespace orvana::object_text
