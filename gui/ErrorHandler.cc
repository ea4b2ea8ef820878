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
  std::string message;
  const auto* own = dynamic_cast<const EOrvanaError*>(&error);
  // A name the code page cannot spell is named as given.
  if (own && !own->PlatformText().empty()) {
    const QString text = QString::fromStdString(own->PlatformText());
    if (const auto russian = RussianFileError(text, own->ErrorCode()))
      return QString::fromStdString(WithFullStop(russian->toStdString()));
    return QString::fromStdString(WithFullStop(own->PlatformText()));
  }
  if (own)
    message = own->what();
  else
    message = ToEngine(QString::fromUtf8(error.what()));
  // A file the system refused: said in Russian, the reason too.
  if (const auto russian = RussianFileError(FromEngine(message), own ? own->ErrorCode() : 0))
    return FromEngine(WithFullStop(ToEngine(*russian)));
  return FromEngine(WithFullStop(message));
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
