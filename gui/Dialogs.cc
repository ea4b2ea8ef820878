#include "gui/Dialogs.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCompleter>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QPushButton>

#include <algorithm>
#include <deque>
#include <utility>

namespace orvana {

QString ApplicationTitle() { return QStringLiteral("Orvana - Generator"); }
namespace {

struct ScriptedAnswer {
  MessageBox::Button answer;
  std::function<void()> whenShown;
};

std::deque<ScriptedAnswer>& scriptedAnswers() {
  static std::deque<ScriptedAnswer> answers;
  return answers;
}

QList<MessageBox::Shown>& shownBoxes() {
  static QList<MessageBox::Shown> shown;
  return shown;
}

struct ScriptedFile {
  std::optional<QString> name;
  QString filter;
};

std::deque<ScriptedFile>& scriptedFileNames() {
  static std::deque<ScriptedFile> names;
  return names;
}

QString& offeredFileName() {
  static QString name;
  return name;
}

int& fileDialogExecutions() {
  static int count = 0;
  return count;
}

QList<QUrl>& openedUrls() {
  static QList<QUrl> urls;
  return urls;
}

bool& openerIntercepted() {
  static bool intercepted = false;
  return intercepted;
}

bool& interceptedResult() {
  static bool result = true;
  return result;
}

QWidget* boxParent(QWidget* parent) { return parent ? parent : QApplication::activeWindow(); }

}  // namespace

MessageBox::Button MessageBox::warning(QWidget* parent, const QString& text, Buttons buttons) {
  return show(parent, QMessageBox::Warning, QStringLiteral("Warning"), text, buttons);
}

MessageBox::Button MessageBox::error(QWidget* parent, const QString& text) {
  return show(parent, QMessageBox::Critical, QStringLiteral("Error"), text, OkOnly);
}

MessageBox::Button MessageBox::information(QWidget* parent, const QString& text) {
  return show(parent, QMessageBox::Information, QStringLiteral("Information"), text, OkOnly);
}

MessageBox::Button MessageBox::applicationError(QWidget* parent, const QString& text) {
  return show(parent, QMessageBox::Critical, ApplicationTitle(), text, OkOnly);
}

MessageBox::Button MessageBox::show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                    const QString& text, Buttons buttons) {
  shownBoxes().append({icon, title, text, buttons});

  if (!scriptedAnswers().empty()) {
    ScriptedAnswer scripted = std::move(scriptedAnswers().front());
    scriptedAnswers().pop_front();
    if (scripted.whenShown) scripted.whenShown();
    return buttons == OkCancel && scripted.answer == Cancel ? Cancel : Ok;
  }

  QMessageBox box(icon, title, text, QMessageBox::NoButton, boxParent(parent));
  // The texts are set by hand so that the buttons read "OK" and "Cancel"
  // whatever translations the platform has loaded.
  QPushButton* ok = box.addButton(QMessageBox::Ok);
  ok->setText(QStringLiteral("OK"));
  QPushButton* cancel = nullptr;
  if (buttons == OkCancel) {
    cancel = box.addButton(QMessageBox::Cancel);
    cancel->setText(QStringLiteral("Cancel"));
  }
  box.setDefaultButton(ok);
  box.setEscapeButton(cancel ? cancel : ok);
  box.exec();
  return cancel && box.clickedButton() != ok ? Cancel : Ok;
}

void MessageBox::setNextAnswer(Button answer, std::function<void()> whenShown) {
  scriptedAnswers().push_back({answer, std::move(whenShown)});
}

int MessageBox::pendingAnswers() { return static_cast<int>(scriptedAnswers().size()); }

const QList<MessageBox::Shown>& MessageBox::history() { return shownBoxes(); }

QMessageBox::Icon MessageBox::lastIcon() {
  return shownBoxes().isEmpty() ? QMessageBox::NoIcon : shownBoxes().last().icon;
}

QString MessageBox::lastTitle() {
  return shownBoxes().isEmpty() ? QString() : shownBoxes().last().title;
}

QString MessageBox::lastText() {
  return shownBoxes().isEmpty() ? QString() : shownBoxes().last().text;
}

void MessageBox::reset() {
  scriptedAnswers().clear();
  shownBoxes().clear();
}

FileDialog::FileDialog(Mode mode, QWidget* owner) : QObject(owner), m_mode(mode), m_owner(owner) {}

FileDialog::~FileDialog() { delete m_dialog; }

QString FileDialog::WithFilterExtension(const QString& name, const QString& filter) {
  const qsizetype open = filter.lastIndexOf(u'('), close = filter.lastIndexOf(u')');
  if (open < 0 || close < open) return name;
  const QStringList patterns =
      filter.mid(open + 1, close - open - 1).split(u' ', Qt::SkipEmptyParts);
  if (patterns.size() != 1 || !patterns[0].startsWith(QStringLiteral("*."))) return name;
  const QString extension = patterns[0].mid(2);
  static const QString kWildcards = QStringLiteral("*?[]");
  if (extension.isEmpty() || extension.contains(u'.') ||
      std::any_of(extension.begin(), extension.end(),
                  [](QChar c) { return kWildcards.contains(c); }))
    return name;
  const QString fileName = QFileInfo(name).fileName();
  if (fileName.isEmpty() || fileName.contains(u'.')) return name;
  return name + u'.' + extension;
}

bool FileDialog::Execute() {
  ++fileDialogExecutions();
  offeredFileName() = m_fileName;
  if (!scriptedFileNames().empty()) {
    ScriptedFile scripted = std::move(scriptedFileNames().front());
    scriptedFileNames().pop_front();
    if (!scripted.name) return false;
    m_fileName = scripted.filter.isEmpty() || m_mode != Save
                     ? *scripted.name
                     : WithFilterExtension(*scripted.name, scripted.filter);
    return true;
  }

  // Made on first use and kept, so that it keeps its folder and history.
  if (!m_dialog) {
    m_dialog = new QFileDialog(m_owner);
    m_dialog->setObjectName(m_mode == Open ? QStringLiteral("OpenDialog1")
                                           : QStringLiteral("SaveDialog1"));
    m_dialog->setAcceptMode(m_mode == Open ? QFileDialog::AcceptOpen : QFileDialog::AcceptSave);
    m_dialog->setFileMode(QFileDialog::AnyFile);
    m_dialog->setOption(QFileDialog::DontConfirmOverwrite, true);
  }
  if (m_dialog->nameFilters() != m_filters) {
    m_dialog->setNameFilters(m_filters);
    if (!m_filters.isEmpty()) m_dialog->selectNameFilter(m_filters.first());
  }
  const QFileInfo last(m_fileName);
  if (!m_startFolder.isEmpty() &&
      (m_fileName.isEmpty() || last.absoluteDir() != QDir(m_startFolder))) {
    m_dialog->setDirectory(m_startFolder);
    m_dialog->selectFile(QString());
  } else if (!m_fileName.isEmpty()) {
    m_dialog->selectFile(m_fileName);
  }
  const int result = m_dialog->exec();
  // Return on a name typed in full can close the dialog past the list of
  // completions, which the window system then keeps on the screen.
  for (QCompleter* completer : m_dialog->findChildren<QCompleter*>())
    if (completer->popup()) completer->popup()->hide();
  if (result != QDialog::Accepted) return false;
  const QStringList chosen = m_dialog->selectedFiles();
  if (chosen.isEmpty()) return false;
  m_fileName = m_mode == Save ? WithFilterExtension(chosen.first(), m_dialog->selectedNameFilter())
                              : chosen.first();
  return true;
}

void FileDialog::setNextFileName(std::optional<QString> fileName, const QString& filter) {
  scriptedFileNames().push_back({std::move(fileName), filter});
}

QString FileDialog::lastOffered() { return offeredFileName(); }

int FileDialog::pendingAnswers() { return static_cast<int>(scriptedFileNames().size()); }

int FileDialog::executeCount() { return fileDialogExecutions(); }

void FileDialog::reset() {
  scriptedFileNames().clear();
  offeredFileName().clear();
  fileDialogExecutions() = 0;
}

bool DesktopOpener::open(const QUrl& url) {
  openedUrls().append(url);
  if (openerIntercepted()) return interceptedResult();
  return QDesktopServices::openUrl(url);
}

void DesktopOpener::setIntercepted(bool intercepted, bool result) {
  openerIntercepted() = intercepted;
  interceptedResult() = result;
}

const QList<QUrl>& DesktopOpener::opened() { return openedUrls(); }

void DesktopOpener::reset() { openedUrls().clear(); }

}  // namespace orvana
