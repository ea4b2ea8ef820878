// "Опубликовать" on the generation tab: sends the site the project last
// wrote to the project's publish target (the extras tab's address), as
// `orvana-cli publish --no-build` does. The password comes from the system
// keyring, or is asked for (and kept there once it worked; where no keyring
// runs, asked each time, saying why). An unknown or changed SSH host key is
// shown with its fingerprint and trusted only when the user says so. When
// the plan deletes files it is shown first; the transfer runs on a worker
// thread behind a progress box with "Прервать"; a report box ends it.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <optional>

class QPushButton;
class QWidget;

namespace orvana {

class TSiteProject;

class TPublishAction : public QObject {
  Q_OBJECT

 public:
  // Adds the button to `parent` beside the generate button.
  TPublishAction(TSiteProject* window, QWidget* parent);

  QPushButton* button() const { return m_button; }

  // Publishes now, as a click does.
  void publish();

  // --- Test hooks -------------------------------------------------------

  // Queues the answer to one later password question (nullopt: cancelled);
  // the question is then not shown.
  static void setNextPassword(std::optional<QString> password);
  // The text of the last password question.
  static QString lastPasswordQuestion();

 private:
  TSiteProject* m_window;
  QPushButton* m_button;
};

// Generate all's report: when projects it wrote have a publish target, the
// report box asks whether to publish them and, on OK, publishes each in
// turn as its button would. Returns false, showing nothing, when none has.
bool OfferToPublish(QWidget* parent, const QList<QPointer<TSiteProject>>& written,
                    const QString& report, bool allWritten);

}  // namespace orvana
