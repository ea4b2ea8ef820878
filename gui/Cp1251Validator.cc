#include "gui/Cp1251Validator.h"

#include "gui/TextBridge.h"

namespace orvana {

Cp1251Validator::Cp1251Validator(QObject* parent) : QValidator(parent) {}

QValidator::State Cp1251Validator::validate(QString& input, int& pos) const {
  if (SpelledInEngine(input)) return Acceptable;
  QString kept;
  kept.reserve(input.size());
  int kept_pos = pos;
  for (qsizetype i = 0; i < input.size();) {
    const qsizetype length =
        input.at(i).isHighSurrogate() && i + 1 < input.size() && input.at(i + 1).isLowSurrogate()
            ? 2
            : 1;
    const QString character = input.mid(i, length);
    if (SpelledInEngine(character))
      kept += character;
    else if (i < pos)
      kept_pos -= static_cast<int>(std::min<qsizetype>(length, pos - i));
    i += length;
  }
  input = kept;
  pos = kept_pos;
  return Acceptable;
}

}  // namespace orvana
