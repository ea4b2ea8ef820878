// The byte count of a memo's text, kept current as the text changes.
//
// The count is what the engine would measure: the sum of the lengths in
// Windows-1251 bytes of the memo's lines, line breaks not counted. Every
// character is one byte there (a character the code page lacks becomes one
// '?', a surrogate pair is one character), so the count is the number of
// characters outside the line breaks. It is kept from the document's change
// notifications without reading the whole text again: the document's own
// character and block counts give the UTF-16 units, and the few characters
// that are not one unit each (surrogate pairs, and the line separators that
// break lines inside a block) are tracked per block, once the first of them
// has appeared.
#pragma once

#include <QObject>

#include <cstdint>
#include <memory>

class QTextDocument;

namespace orvana {

class TCharCounter : public QObject {
  Q_OBJECT

 public:
  // Watches document, which must outlive the counter or be its parent's.
  explicit TCharCounter(QTextDocument* document, QObject* parent = nullptr);
  ~TCharCounter() override;

  int64_t count() const;

 signals:
  // After every change of the document's text, with the new count.
  void changed(qint64 count);

 private:
  void onContentsChange(int position, int charsRemoved, int charsAdded);
  // Gives every block its tracked share; used once, when the first
  // character that needs tracking appears.
  void trackAllBlocks();
  void trackBlocks(int from, int to);

  QTextDocument* m_document;
  // Sum of the tracked shares of all blocks: how many UTF-16 units are no
  // character of their own. Shared with the blocks' data, which give their
  // share back when the document drops them.
  std::shared_ptr<int64_t> m_adjustment;
  bool m_tracking = false;
};

}  // namespace orvana
