#include "gui/ErrorHandler.h"

#include <QApplication>

#include <string>

#include "engine/Error.h"
#include "engine/Notify.h"
#include "gui/Dialogs.h"
#include "gui/SystemErrors.h"
#include "gui/TextBridge.h"

namespace orvana {

QString CommandErrorText(const std::exception& error) {
  const auto* own = dynamic_cast<const EOrvanaError*>(&error);
  // A file the system refused: said in Russian, the reason too.
  if (const auto russian =
          RussianFileError(QString::fromUtf8(error.what()), own ? own->ErrorCode() : 0))
    return QString::fromUtf8(WithFullStop(russian->toStdString()));
  return QString::fromUtf8(WithFullStop(error.what()));
}

void ShowCommandError(const std::exception& error) {
  // Showing the box must not throw out of a catch handler; a failure to show
  // it (memory exhausted) leaves nothing better to do than to go on.
  try {
    MessageBox::applicationError(QApplication::activeWindow(), CommandErrorText(error));
  } catch (...) {
  }
}

void ShowUnknownCommandError() {
  try {
    MessageBox::applicationError(QApplication::activeWindow(),
                                 QStringLiteral("Неизвестная ошибка."));
  } catch (...) {
  }
}

void ShowCommandErrorText(const QString& message) {
  try {
    const std::string last = ToEngine(message.right(1));
    const QString stop = WithFullStop(last).size() > last.size() ? QStringLiteral(".") : QString();
    MessageBox::applicationError(QApplication::activeWindow(), message + stop);
  } catch (...) {
  }
}

void InstallEngineErrorBox() {
  SetErrorBoxHandler([](const std::string& text) {
    MessageBox::error(QApplication::activeWindow(), FromEngine(text));
  });
}

}  // namespace orvana
