// The extras tab's rows for a repeatable site and its publishing: the
// stored link seed, with a button that draws a new one, and the address the
// site is published to. Kept apart from the project window so that it only
// hands the rows a form and reads and shows them with the other extras.
#pragma once

#include <QObject>

#include "engine/Extras.h"

class QFormLayout;
class QLineEdit;
class QPushButton;
class QWidget;

namespace orvana {

class TPublishExtrasRows : public QObject {
  Q_OBJECT

 public:
  // Adds the rows to `form`, their widgets children of `parent`.
  TPublishExtrasRows(QFormLayout* form, QWidget* parent);

  // The rows' values into `extras` (LinkSeed and PublishTo), and back.
  void read(TOrvanaExtras& extras) const;
  void show(const TOrvanaExtras& extras);

 signals:
  // The user changed a row (typed, or drew a new seed).
  void edited();

 private:
  QLineEdit* m_linkSeed = nullptr;
  QPushButton* m_newSeed = nullptr;
  QLineEdit* m_publishTo = nullptr;
};

}  // namespace orvana
