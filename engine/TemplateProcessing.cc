#include "engine/TemplateProcessing.h"

#include <initializer_list>
#include <utility>

#include "engine/ReplaceAll.h"

namespace orvana {

void BuildParagraphText(std::string_view page_text, std::string& out) {
  out.clear();
  // Room for the most a text can become (every two bytes a CR pair), so the
  // text is looked through once; a reused string keeps its room.
  out.reserve(7 + page_text.size() + page_text.size() / 2 * 5);
  out += "<p>";
  const char* p = page_text.data();
  const char* end = p + page_text.size();
  for (const char* hit = FindBytes(p, end, "\r\r"); hit; hit = FindBytes(p, end, "\r\r")) {
    out.append(p, static_cast<size_t>(hit - p));
    out += "</p><p>";
    p = hit + 2;
  }
  out.append(p, static_cast<size_t>(end - p));
  out += "</p>";
}

std::string ParagraphText(std::string_view page_text) {
  std::string out;
  BuildParagraphText(page_text, out);
  return out;
}

bool IsInertText(std::string_view text) {
  auto placeholder_char = [](char c) {
    return c == '.' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
  };
  return !text.empty() && !placeholder_char(text.front()) && !placeholder_char(text.back()) &&
         text.find("SiteGeneratorChange.") == std::string_view::npos;
}

// A block of text that no later step can match in or across, made of one or
// more views.
struct TInertBlock {
  const std::string_view* views = nullptr;
  size_t count = 0;
};

// The HTML of a page while its placeholders are replaced: live text that the
// later steps search, each piece followed by an inert block (the menu, the
// paragraph text or the bar, possibly none). Replacing placeholders in the
// live text alone therefore gives the same bytes as replacing them in the
// whole, without copying and searching the big blocks again at every step.
class TPageBuilder {
 public:
  explicit TPageBuilder(std::string_view tmpl) { pieces_.push_back({std::string(tmpl), {}}); }

  // Replaces every occurrence of the placeholder by text searched again by
  // later steps.
  void ReplaceLive(std::string_view placeholder, std::string_view text) {
    for (Piece& piece : pieces_) ReplaceAllInPlace(piece.live, placeholder, text);
  }

  // Replaces every occurrence of the placeholder by a block that later steps
  // never search; the block must satisfy IsInertText as a whole and its views
  // must outlive the builder.
  void ReplaceInert(std::string_view placeholder, TInertBlock block) {
    std::vector<Piece> out;
    out.reserve(pieces_.size() + 2);
    for (Piece& piece : pieces_) {
      size_t from = 0;
      for (size_t at = piece.live.find(placeholder); at != std::string::npos;
           at = piece.live.find(placeholder, from)) {
        out.push_back({piece.live.substr(from, at - from), block});
        from = at + placeholder.size();
      }
      if (from == 0) {
        out.push_back(std::move(piece));
      } else {
        out.push_back({piece.live.substr(from), piece.inert});
      }
    }
    pieces_ = std::move(out);
  }

  // The bytes outside the given inert blocks (told apart by address), and how
  // often each of those blocks stands in the page.
  uint64_t SizeWithout(
      std::initializer_list<std::pair<const std::string_view*, uint64_t*>> blocks) const {
    uint64_t size = 0;
    for (const Piece& piece : pieces_) {
      size += piece.live.size();
      bool counted = false;
      for (const auto& [views, count] : blocks)
        if (piece.inert.views == views) {
          ++*count;
          counted = true;
        }
      if (!counted)
        for (size_t i = 0; i < piece.inert.count; ++i) size += piece.inert.views[i].size();
    }
    return size;
  }

  void AppendPieces(std::vector<std::string_view>& out) const {
    for (const Piece& piece : pieces_) {
      if (!piece.live.empty()) out.emplace_back(piece.live);
      for (size_t i = 0; i < piece.inert.count; ++i)
        if (!piece.inert.views[i].empty()) out.push_back(piece.inert.views[i]);
    }
  }

  // AppendPieces with each stand-in block given its views instead.
  void AppendPiecesFor(
      std::vector<std::string_view>& out,
      std::initializer_list<std::pair<const std::string_view*, TInertBlock>> stand_ins) const {
    for (const Piece& piece : pieces_) {
      if (!piece.live.empty()) out.emplace_back(piece.live);
      TInertBlock block = piece.inert;
      for (const auto& [stand_in, views] : stand_ins)
        if (block.views == stand_in) block = views;
      for (size_t i = 0; i < block.count; ++i)
        if (!block.views[i].empty()) out.push_back(block.views[i]);
    }
  }

  void AssembleInto(std::string& html) const {
    size_t size = 0;
    for (const Piece& piece : pieces_) {
      size += piece.live.size();
      for (size_t i = 0; i < piece.inert.count; ++i) size += piece.inert.views[i].size();
    }
    html.clear();
    html.reserve(size);
    for (const Piece& piece : pieces_) {
      html += piece.live;
      for (size_t i = 0; i < piece.inert.count; ++i) html += piece.inert.views[i];
    }
  }

 private:
  struct Piece {
    std::string live;
    TInertBlock inert;
  };
  std::vector<Piece> pieces_;
};

namespace {

// Blocks that stand in for a page's own in a fill made once for every page.
const std::string_view kMainStandIn = "<main>", kBarStandIn = "<bar>", kTitleStandIn = "<title>";

// The steps of the fill, in order, with the main text, the bar and the title
// given as blocks or live text by the caller.
struct TPageParts {
  TInertBlock main_inert;  // used when main_live is null
  const std::string_view* main_live = nullptr;
  TInertBlock bar_inert;  // used when bar_live is null
  const std::string_view* bar_live = nullptr;
  TInertBlock title_inert;  // used when title_live is null
  const std::string_view* title_live = nullptr;
};

void RunSteps(TPageBuilder& builder, const TSiteTexts& t, bool menu_inert,
              const TPageParts& parts) {
  if (menu_inert)
    builder.ReplaceInert(kMenuPlaceholder, {&t.site_menu, 1});
  else
    builder.ReplaceLive(kMenuPlaceholder, t.site_menu);
  if (parts.main_live)
    builder.ReplaceLive(kMainTextPlaceholder, *parts.main_live);
  else
    builder.ReplaceInert(kMainTextPlaceholder, parts.main_inert);
  if (parts.bar_live)
    builder.ReplaceLive(kPaginationPlaceholder, *parts.bar_live);
  else
    builder.ReplaceInert(kPaginationPlaceholder, parts.bar_inert);
  builder.ReplaceLive(kHeaderPlaceholder, t.site_header);
  builder.ReplaceLive(kFooterPlaceholder, t.site_footer);
  builder.ReplaceLive(kAdsensePlaceholder, t.adsense_code);
  // The title is the last step: nothing searches it again, whatever it holds.
  if (parts.title_live)
    builder.ReplaceLive(kTitlePlaceholder, *parts.title_live);
  else
    builder.ReplaceInert(kTitlePlaceholder, parts.title_inert);
}

}  // namespace

TTemplateFiller::TTemplateFiller(const TSiteTexts& texts)
    : texts_(texts), menu_inert_(IsInertText(texts.site_menu)) {}

TTemplateFiller::~TTemplateFiller() = default;

void TTemplateFiller::Fill(std::string_view page_text, std::string_view pagination,
                           std::string_view page_title, std::string& html) {
  BuildParagraphText(page_text, paragraph_);
  title_.clear();
  title_ += texts_.site_title;
  title_ += " - ";
  title_ += page_title;
  const std::string_view main = paragraph_, title = title_;
  TPageParts parts;
  if (ParagraphTextIsInert(page_text))
    parts.main_inert = {&main, 1};
  else
    parts.main_live = &main;
  if (IsInertText(pagination))
    parts.bar_inert = {&pagination, 1};
  else
    parts.bar_live = &pagination;
  parts.title_inert = {&title, 1};
  TPageBuilder builder(texts_.site_template);
  RunSteps(builder, texts_, menu_inert_, parts);
  builder.AssembleInto(html);
}

const std::vector<std::string_view>& TTemplateFiller::FillPieces(
    std::string_view page_text, const std::vector<std::string_view>& bar_pieces, bool bar_inert,
    std::string_view page_title) {
  BuildParagraphText(page_text, paragraph_);
  title_.clear();
  title_ += texts_.site_title;
  title_ += " - ";
  title_ += page_title;
  // The views handed to the builder must stay put until the pieces are used:
  // they live in this object.
  main_view_ = paragraph_;
  title_view_ = title_;
  TPageParts parts;
  if (ParagraphTextIsInert(page_text))
    parts.main_inert = {&main_view_, 1};
  else
    parts.main_live = &main_view_;
  if (bar_inert) {
    parts.bar_inert = {bar_pieces.data(), bar_pieces.size()};
  } else {
    joined_bar_.clear();
    for (std::string_view piece : bar_pieces) joined_bar_ += piece;
    bar_view_ = joined_bar_;
    parts.bar_live = &bar_view_;
  }
  parts.title_inert = {&title_view_, 1};
  pieces_.clear();
  if (parts.main_inert.views && bar_inert) {
    // Inert blocks take no part in any later step, so the fill's live text
    // is the same whatever they hold: it is made once, with stand-ins.
    if (!plan_) {
      TPageParts stand_ins;
      stand_ins.main_inert = {&kMainStandIn, 1};
      stand_ins.bar_inert = {&kBarStandIn, 1};
      stand_ins.title_inert = {&kTitleStandIn, 1};
      plan_ = std::make_unique<TPageBuilder>(texts_.site_template);
      RunSteps(*plan_, texts_, menu_inert_, stand_ins);
    }
    plan_->AppendPiecesFor(pieces_, {{&kMainStandIn, parts.main_inert},
                                     {&kBarStandIn, parts.bar_inert},
                                     {&kTitleStandIn, parts.title_inert}});
    return pieces_;
  }
  builder_ = std::make_unique<TPageBuilder>(texts_.site_template);
  RunSteps(*builder_, texts_, menu_inert_, parts);
  builder_->AppendPieces(pieces_);
  return pieces_;
}

TPageSizeShape TTemplateFiller::SizeShape() const {
  // The fill with the three per-page texts standing in as inert blocks. For
  // an inert paragraph text and an inert bar this changes nothing: no later
  // step can match in or across them, and nothing searches the title.
  TPageParts parts;
  parts.main_inert = {&kMainStandIn, 1};
  parts.bar_inert = {&kBarStandIn, 1};
  parts.title_inert = {&kTitleStandIn, 1};
  TPageBuilder builder(texts_.site_template);
  RunSteps(builder, texts_, menu_inert_, parts);
  TPageSizeShape shape;
  shape.fixed = builder.SizeWithout({{&kMainStandIn, &shape.main_texts},
                                     {&kBarStandIn, &shape.bars},
                                     {&kTitleStandIn, &shape.titles}});
  return shape;
}

std::string FillTemplate(const TSiteTexts& texts, std::string_view page_text,
                         std::string_view pagination, std::string_view page_title) {
  std::string html;
  TTemplateFiller(texts).Fill(page_text, pagination, page_title, html);
  return html;
}

uint64_t ParagraphTextSize(std::string_view page_text) {
  // Each CR CR pair, taken left to right without overlap, grows by five bytes.
  uint64_t pairs = 0;
  for (size_t at = page_text.find("\r\r"); at != std::string_view::npos;
       at = page_text.find("\r\r", at + 2))
    ++pairs;
  return 7 + page_text.size() + 5 * pairs;
}

bool ParagraphTextIsInert(std::string_view page_text) {
  // Framed by "<p>" and "</p>", and "</p><p>" holds no placeholder character,
  // so only a whole "SiteGeneratorChange." inside the text could match.
  return page_text.find("SiteGeneratorChange.") == std::string_view::npos;
}

}  // namespace orvana
