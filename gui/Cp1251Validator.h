// The guard of a line edit whose text the engine stores in Windows-1251.
//
// A character that code page cannot spell would reach the project as '?'
// without a word; with this validator it never arrives. Typed, it is not
// inserted; pasted among others, it is left out and the rest goes in.
#pragma once

#include <QValidator>

namespace orvana {

class Cp1251Validator : public QValidator {
  Q_OBJECT

 public:
  explicit Cp1251Validator(QObject* parent = nullptr);

  // Takes out of `input` every character that Windows-1251 cannot spell (a
  // surrogate pair is one character, a lone surrogate one too) and moves
  // `pos` back past those taken out before it; the rest is Acceptable.
  State validate(QString& input, int& pos) const override;
};

}  // namespace orvana
