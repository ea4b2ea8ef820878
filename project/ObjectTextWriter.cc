// The object-notation writer: WriteProjectText of ObjectTextWriter.h.
#include "project/ObjectTextWriter.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "engine/CodePage.h"
#include "engine/Error.h"
#include "engine/PublishedProperties.h"
#include "engine/SiteGenerator.h"
#include "project/ObjectText.h"

namespace orvana {
namespace {

namespace ot = object_text;

// What each Windows-1251 byte adds to a string's line, by whether a quoted
// run is open before it: a byte that may stand in a quoted run opens one
// ("'a") or continues it ("a"); any other byte is its "#" code, after a
// quote that closes the open run ("'#1090") or not ("#1090"). Each form fits
// in eight bytes, so the hot loop copies one word per byte and needs no
// branch to tell the cases apart. Built once.
struct TByteForms {
  static constexpr unsigned kInRun = 256;  // index offset: a quoted run is open
  std::array<std::array<char, 8>, 512> form{};
  std::array<uint8_t, 512> length{};
  // kInRun when a run is open after the byte, whatever was open before it:
  // looking it up by the byte alone keeps each byte's form from waiting on
  // the one before.
  std::array<uint16_t, 256> next{};

  TByteForms() {
    for (unsigned state : {0u, kInRun}) {
      for (unsigned b = 0; b < 256; ++b) {
        const unsigned index = state | b;
        char* out = form[index].data();
        size_t n = 0;
        if (b >= 32 && b <= 127 && b != '\'') {
          if (state == 0) out[n++] = '\'';
          out[n++] = static_cast<char>(b);
          next[b] = kInRun;
        } else {
          if (state != 0) out[n++] = '\'';
          out[n++] = '#';
          const auto [end, ec] =
              std::to_chars(out + n, out + form[index].size(),
                            static_cast<unsigned>(Cp1251ToUnicode(static_cast<unsigned char>(b))));
          n = static_cast<size_t>(end - out);
          next[b] = 0;
        }
        length[index] = static_cast<uint8_t>(n);
      }
    }
  }
};

// A property held in the platform's UTF-8 as the file stores it.
std::string StoredPlatformText(std::string_view name, const std::string& utf8) {
  if (std::optional<std::string> stored = SpellInCp1251(utf8)) return *std::move(stored);
  throw EOrvanaError("Cannot store the " +
                     std::string(name == "SavePath" ? "output folder" : name) + " \"" + utf8 +
                     "\" in the project: its name has characters outside Windows-1251");
}

const TByteForms& ByteForms() {
  static const TByteForms forms;
  return forms;
}

class TObjectTextWriter {
 public:
  // `flush`, when given, is called with the text written so far whenever it
  // has grown past a chunk, at the end of a string; it empties the text.
  explicit TObjectTextWriter(std::string& out,
                             const std::function<void(std::string&)>* flush = nullptr)
      : out_(out), forms_(ByteForms()), flush_(flush) {}

  void WriteRoot(const TSiteGenerator& generator) {
    WriteHeader(generator);
    WriteProperties(generator, SiteGeneratorClass(), 1);
    WriteEnd();
    WriteExtras(generator.Extras());
  }

  // The extras, after the root's final "end", as a second object that
  // holds only the extras that differ from their defaults; nothing at all
  // when none does.
  void WriteExtras(const TOrvanaExtras& extras) {
    if (extras.IsDefault()) return;
    const TOrvanaExtras defaults;
    out_.append(ot::kObject);
    out_ += ' ';
    out_.append(ot::kExtrasObjectName);
    out_.append(": ");
    out_.append(ot::kExtrasClassName);
    out_.append(ot::kLineEnd);
    for (const TExtraProperty& p : kExtrasProperties) {
      switch (p.kind) {
        case TExtraKind::kInteger:
          if (extras.*p.integer == defaults.*p.integer) continue;
          BeginProperty(p.name, {}, 1);
          out_.append(std::to_string(extras.*p.integer));
          break;
        case TExtraKind::kString:
          if (extras.*p.string == defaults.*p.string) continue;
          BeginProperty(p.name, {}, 1);
          WriteString(extras.*p.string, 2);
          break;
        case TExtraKind::kBoolean:
          if (extras.*p.boolean == defaults.*p.boolean) continue;
          BeginProperty(p.name, {}, 1);
          out_.append(extras.*p.boolean ? ot::kTrue : ot::kFalse);
          break;
        case TExtraKind::kEncoding:
          if (extras.*p.encoding == defaults.*p.encoding) continue;
          BeginProperty(p.name, {}, 1);
          WriteString(std::string(OutputEncodingName(extras.*p.encoding)), 2);
          break;
      }
      out_.append(ot::kLineEnd);
    }
    WriteEnd();
  }

  // The header line: "object [NAME: ]TSiteGenerator".
  void WriteHeader(const TSiteGenerator& generator) {
    out_.append(ot::kObject);
    out_ += ' ';
    if (!generator.Name().empty()) {
      out_.append(generator.Name());
      out_.append(": ");
    }
    out_.append(SiteGeneratorClass().class_name);
    out_.append(ot::kLineEnd);
  }

  void WriteEnd() {
    out_.append(ot::kEnd);
    out_.append(ot::kLineEnd);
  }

  // The generator's first property, its pages, written a page at a time:
  // the opening, each item, the closing.
  void OpenPages() {
    BeginProperty(SiteGeneratorClass().properties.front().name, {}, 1);
    out_ += '<';
  }
  void WritePageItem(const TSitePage& page) { WriteItem(page, 1); }
  void ClosePages() {
    out_ += '>';
    out_.append(ot::kLineEnd);
  }

  // The generator's properties after its pages.
  void WritePropertiesAfterPages(const TSiteGenerator& generator) {
    WriteProperties(generator, SiteGeneratorClass(), 1, 1);
  }

 private:
  void Indent(int level) { out_.append(static_cast<size_t>(level * ot::kIndentWidth), ' '); }

  void BeginProperty(std::string_view name, std::string_view suffix, int level) {
    Indent(level);
    out_.append(name);
    if (!suffix.empty()) {
      out_ += '.';
      out_.append(suffix);
    }
    out_.append(" = ");
  }

  // Every published property of the object that the format writes, in
  // published order, one per line at `level`.
  // One page of a collection whose property stands at `level`.
  void WriteItem(const TSitePage& page, int level) {
    out_.append(ot::kLineEnd);
    Indent(level + 1);
    out_.append(ot::kItem);
    out_.append(ot::kLineEnd);
    WriteProperties(page, SitePageClass(), level + 2);
    Indent(level + 1);
    out_.append(ot::kEnd);
  }

  template <class T>
  void WriteProperties(const T& object, const TClassInfo<T>& info, int level, size_t first = 0) {
    for (size_t index = first; index < info.properties.size(); ++index) {
      const TPropInfo<T>& prop = info.properties[index];
      switch (prop.kind) {
        case TPropKind::String: {
          const std::string& value = prop.GetString(object);
          if (value.empty()) break;
          BeginProperty(prop.name, {}, level);
          WriteString(prop.platform_text ? StoredPlatformText(prop.name, value) : value, level + 1);
          out_.append(ot::kLineEnd);
          break;
        }
        case TPropKind::Integer:
          BeginProperty(prop.name, {}, level);
          out_.append(std::to_string(prop.GetInteger(object)));
          out_.append(ot::kLineEnd);
          break;
        case TPropKind::StringList: {
          const TStringList& lines = prop.GetList(object);
          if (lines.empty()) break;
          BeginProperty(prop.name, ot::kListSuffix, level);
          out_ += '(';
          for (const std::string& line : lines) {
            out_.append(ot::kLineEnd);
            Indent(level + 1);
            WriteString(line, level + 2);
          }
          out_ += ')';
          out_.append(ot::kLineEnd);
          break;
        }
        case TPropKind::Collection: {
          const TSitePages& pages = prop.GetConstPages(object);
          BeginProperty(prop.name, {}, level);
          out_ += '<';
          for (int i = 0; i < pages.Count(); ++i) WriteItem(pages[i], level);
          out_ += '>';
          out_.append(ot::kLineEnd);
          break;
        }
      }
    }
  }

  // Quoted runs and "#" codes, at most kMaxStringCharsPerLine characters per
  // output line; a longer string starts on a line of its own at `level`.
  // Windows-1251 maps every byte to one UTF-16 character, so characters are
  // counted in bytes.
  void WriteString(std::string_view s, int level) {
    const size_t length = s.size();
    if (length == 0) {
      out_.append("''");
      return;
    }
    Reserve(s);
    if (length > ot::kMaxStringCharsPerLine) {
      out_.append(ot::kLineEnd);
      Indent(level);
    }
    // The lines are put together in a block on the stack and appended in
    // pieces of a few kilobytes. One line adds at most kLineBytes: five
    // bytes a character, its closing quote and the slack of the last
    // eight-byte copy.
    constexpr size_t kLineBytes = ot::kMaxStringCharsPerLine * 5 + 16;
    const size_t indent = static_cast<size_t>(level * ot::kIndentWidth);
    const size_t join = ot::kStringJoin.size() + ot::kLineEnd.size() + indent;
    const unsigned char* bytes = reinterpret_cast<const unsigned char*>(s.data());
    char block[4096];
    char* o = block;
    size_t i = 0;
    while (i < length) {
      if (i != 0) {
        // The next line: the join, then the indentation.
        if (join > sizeof block - kLineBytes) {
          out_.append(block, static_cast<size_t>(o - block));
          o = block;
          out_.append(ot::kStringJoin);
          out_.append(ot::kLineEnd);
          Indent(level);
        } else {
          if (static_cast<size_t>(o - block) + join + kLineBytes > sizeof block) {
            out_.append(block, static_cast<size_t>(o - block));
            o = block;
          }
          std::memcpy(o, ot::kStringJoin.data(), ot::kStringJoin.size());
          o += ot::kStringJoin.size();
          std::memcpy(o, ot::kLineEnd.data(), ot::kLineEnd.size());
          o += ot::kLineEnd.size();
          std::memset(o, ' ', indent);
          o += indent;
        }
      } else if (static_cast<size_t>(o - block) + kLineBytes > sizeof block) {
        out_.append(block, static_cast<size_t>(o - block));
        o = block;
      }
      const size_t line_end = std::min(length, i + ot::kMaxStringCharsPerLine);
      unsigned state = 0;
      for (; i < line_end; ++i) {
        const unsigned index = state | bytes[i];
        std::memcpy(o, forms_.form[index].data(), 8);
        o += forms_.length[index];
        state = forms_.next[bytes[i]];
      }
      if (state != 0) *o++ = '\'';
    }
    out_.append(block, static_cast<size_t>(o - block));
    MaybeFlush();
  }

  // Grows the buffer ahead of a string by an upper bound of its written size,
  // so a large project costs a handful of reallocations, not one per string.
  void Reserve(std::string_view s) {
    const size_t bound = s.size() * 7 + (s.size() / ot::kMaxStringCharsPerLine + 2) * 64;
    if (out_.capacity() - out_.size() < bound)
      out_.reserve(std::max(out_.size() + bound, out_.capacity() * 2));
  }

  void MaybeFlush() {
    if (flush_ && out_.size() >= kChunkBytes) (*flush_)(out_);
  }

  static constexpr size_t kChunkBytes = size_t{1} << 20;

  std::string& out_;
  const TByteForms& forms_;
  const std::function<void(std::string&)>* flush_;
};

}  // namespace

void CheckStorable(const TSiteGenerator& generator) {
  for (const TPropInfo<TSiteGenerator>& prop : SiteGeneratorClass().properties)
    if (prop.platform_text) (void)StoredPlatformText(prop.name, prop.GetString(generator));
}

void ThrowSaveFailure(const std::string& file_name, const TWriteFailure& failure) {
  const std::string path = AbsolutePath(file_name);
  switch (failure.stage) {
    case TWriteFailure::kWrite:
      throw EOrvanaError(std::string(ot::kStreamWriteError) + ": \"" + path + "\". " +
                             SystemErrorText(failure.error_code) + " (error " +
                             std::to_string(failure.error_code) + ")",
                         failure.error_code);
    case TWriteFailure::kNotRegular:
      throw EOrvanaError(
          ot::FormatMessage(ot::kCannotCreateFile, {path, std::string(kNotRegularFileText)}));
    case TWriteFailure::kCreate:
      break;
  }
  throw EOrvanaError(
      ot::FormatMessage(ot::kCannotCreateFile, {path, SystemErrorText(failure.error_code)}),
      failure.error_code);
}

// --- TProjectFileStream ---------------------------------------------------------

struct TProjectFileStream::TState {
  std::string buffer;
  TSitePage scratch;
};

TProjectFileStream::TProjectFileStream(const TSiteGenerator& generator,
                                       const std::string& file_name, TFileSystem* fs)
    : generator_(generator), file_name_(file_name), state_(std::make_unique<TState>()) {
  CheckStorable(generator);
  TFileSystem& target = fs ? *fs : RealFileSystem();
  file_ = target.BeginReplace(file_name, TReplaceMode::kDocument, &failure_);
  if (!file_) failed_ = true;
  TObjectTextWriter writer(state_->buffer);
  writer.WriteHeader(generator);
  writer.OpenPages();
}

TProjectFileStream::~TProjectFileStream() = default;

void TProjectFileStream::AddPage(const TSitePage& page, const std::vector<std::string_view>& bar,
                                 const std::vector<std::string_view>& html) {
  TSitePage& scratch = state_->scratch;
  scratch.PageText = page.PageText;
  scratch.PageTitle = page.PageTitle;
  scratch.PageUrl = page.PageUrl;
  scratch.PageHTML.clear();
  for (std::string_view piece : html) scratch.PageHTML += piece;
  scratch.Pagination.clear();
  for (std::string_view piece : bar) scratch.Pagination += piece;
  TObjectTextWriter(state_->buffer).WritePageItem(scratch);
  Flush();
}

void TProjectFileStream::Flush() {
  if (!failed_ && !file_->Write(state_->buffer, &failure_)) {
    failed_ = true;
    file_.reset();
  }
  state_->buffer.clear();
}

void TProjectFileStream::Commit() {
  // The properties after the pages hold the whole site text: they go out a
  // chunk at a time as well.
  const std::function<void(std::string&)> flush = [this](std::string&) { Flush(); };
  TObjectTextWriter writer(state_->buffer, &flush);
  writer.ClosePages();
  writer.WritePropertiesAfterPages(generator_);
  writer.WriteEnd();
  writer.WriteExtras(generator_.Extras());
  Flush();
  std::string().swap(state_->buffer);
  if (!failed_ && file_->Commit(&failure_)) {
    file_.reset();
    return;
  }
  file_.reset();
  ThrowSaveFailure(file_name_, failure_);
}

void WriteProjectTextInChunks(const TSiteGenerator& generator,
                              const std::function<void(std::string_view)>& sink) {
  std::string out;
  out.reserve(2 << 20);
  const std::function<void(std::string&)> flush = [&](std::string& text) {
    sink(text);
    text.clear();
  };
  TObjectTextWriter(out, &flush).WriteRoot(generator);
  if (!out.empty()) sink(out);
}

std::string WriteProjectText(const TSiteGenerator& generator) {
  std::string out;
  out.reserve(4096);
  TObjectTextWriter(out).WriteRoot(generator);
  return out;
}

}  // namespace orvana
