#include "window/CharCounter.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace orvana {
namespace {

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

// Whether the text holds a character that is not exactly one UTF-16 unit of
// a line: any surrogate, or a line separator.
bool needsTracking(const QString& text) {
  for (QChar c : text) {
    const char16_t u = c.unicode();
    if (u == QChar::LineSeparator || (u >= 0xD800 && u <= 0xDFFF)) return true;
  }
  return false;
}

// The units of a block's text that are no character of a line of their own:
// the second unit of each surrogate pair, and each line separator.
int64_t blockShare(const QString& text) {
  int64_t share = 0;
  for (qsizetype i = 0; i < text.size(); ++i) {
    const char16_t u = text.at(i).unicode();
    if (u == QChar::LineSeparator) {
      ++share;
    } else if (isHighSurrogate(u) && i + 1 < text.size() &&
               isLowSurrogate(text.at(i + 1).unicode())) {
      ++share;
      ++i;
    }
  }
  return share;
}

// A block's share, handed back when the document drops the block.
class BlockShare : public QTextBlockUserData {
 public:
  BlockShare(int64_t share, std::shared_ptr<int64_t> total)
      : m_share(share), m_total(std::move(total)) {
    *m_total += m_share;
  }
  ~BlockShare() override { *m_total -= m_share; }
  void set(int64_t share) {
    *m_total += share - m_share;
    m_share = share;
  }

 private:
  int64_t m_share;
  std::shared_ptr<int64_t> m_total;
};

}  // namespace

TCharCounter::TCharCounter(QTextDocument* document, QObject* parent)
    : QObject(parent), m_document(document), m_adjustment(std::make_shared<int64_t>(0)) {
  connect(document, &QTextDocument::contentsChange, this, &TCharCounter::onContentsChange);
  if (needsTracking(document->toRawText())) trackAllBlocks();
}

TCharCounter::~TCharCounter() = default;

int64_t TCharCounter::count() const {
  // characterCount() includes one separator per block (the last one being
  // the document's closing one).
  const int64_t units = int64_t{m_document->characterCount()} - m_document->blockCount();
  return units - *m_adjustment;
}

void TCharCounter::onContentsChange(int position, int /*charsRemoved*/, int charsAdded) {
  // The reported range may run past the end (the closing separator counts).
  const int last = m_document->characterCount() - 1;
  const int from = std::clamp(position, 0, last);
  const int to = std::clamp(position + charsAdded, from, last);
  if (m_tracking) {
    trackBlocks(from, to);
  } else if (to > from) {
    QTextCursor added(m_document);
    added.setPosition(from);
    added.setPosition(to, QTextCursor::KeepAnchor);
    if (needsTracking(added.selectedText())) trackAllBlocks();
  }
  emit changed(count());
}

void TCharCounter::trackAllBlocks() {
  m_tracking = true;
  trackBlocks(0, m_document->characterCount() - 1);
}

void TCharCounter::trackBlocks(int from, int to) {
  const QTextBlock end = m_document->findBlock(to).next();
  for (QTextBlock block = m_document->findBlock(from); block.isValid() && block != end;
       block = block.next()) {
    const int64_t share = blockShare(block.text());
    if (auto* data = static_cast<BlockShare*>(block.userData()))
      data->set(share);
    else if (share != 0)
      block.setUserData(new BlockShare(share, m_adjustment));
  }
}

}  // namespace orvana
