#include "tests/gui/GuiTestBase.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMdiArea>
#include <QMessageBox>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

#include "folderdialog/PFolderDialog.h"
#include "gui/Dialogs.h"
#include "gui/ErrorHandler.h"
#include "shell/RecoveryStore.h"
#include "shell/Settings.h"
#include "window/FProject.h"

void GuiTestBase::initTestCase() {
  // Tests close main windows; that must not end the test run's event loops.
  QApplication::setQuitOnLastWindowClosed(false);
  orvana::InstallEngineErrorBox();
  // Never the user's own settings, never a browser.
  QStandardPaths::setTestModeEnabled(true);
  orvana::DesktopOpener::setIntercepted(true);
  connect(&m_modalWatch, &QTimer::timeout, this, &GuiTestBase::pollModal);
  m_modalWatch.setInterval(20);
}

void GuiTestBase::init() {
  orvana::MessageBox::reset();
  orvana::FileDialog::reset();
  orvana::TPFolderDialog::ClearScript();
  m_modalHandlers.clear();
  m_unexpectedModals.clear();
  m_dir = std::make_unique<QTemporaryDir>();
  QVERIFY(m_dir->isValid());
  // Relative node texts such as Untitled0 resolve here, never in the
  // folder the tests were started from.
  m_previousCurrent = QDir::currentPath();
  QDir::setCurrent(m_dir->path());
  // Each test starts with nothing remembered, in a folder of its own so that
  // the test's folder holds only what the test wrote.
  m_settingsDir = std::make_unique<QTemporaryDir>();
  QVERIFY(m_settingsDir->isValid());
  orvana::SetSettingsFileName(m_settingsDir->filePath(QStringLiteral("orvana.conf")));
  // Copies of projects go there too, never into the user's own store.
  orvana::TRecoveryStore::SetDefaultFolder(m_settingsDir->filePath(QStringLiteral("recovery")));
  orvana::DesktopOpener::reset();
  m_modalWatch.start();
}

void GuiTestBase::cleanup() {
  m_modalWatch.stop();
  // Whatever a failed test left open must not block the next one.
  while (QWidget* modal = QApplication::activeModalWidget()) {
    modal->close();
    QApplication::processEvents();
    if (QApplication::activeModalWidget() == modal) break;
  }
  QDir::setCurrent(m_previousCurrent);
  orvana::SetSettingsFileName(QString());
  orvana::TRecoveryStore::SetDefaultFolder(QString());
  orvana::DesktopOpener::reset();
  m_dir.reset();
  m_settingsDir.reset();
  const int pendingBoxes = orvana::MessageBox::pendingAnswers();
  const int pendingFiles = orvana::FileDialog::pendingAnswers();
  const int pendingModals = pendingModalHandlers();
  const QStringList unexpected = m_unexpectedModals;
  orvana::MessageBox::reset();
  orvana::FileDialog::reset();
  orvana::TPFolderDialog::ClearScript();
  m_modalHandlers.clear();
  QVERIFY2(unexpected.isEmpty(), qPrintable("unexpected modal windows: " + unexpected.join("; ")));
  QCOMPARE(pendingBoxes, 0);
  QCOMPARE(pendingFiles, 0);
  QCOMPARE(pendingModals, 0);
}

void GuiTestBase::whenModal(std::function<void(QWidget*)> handler) {
  m_modalHandlers.push_back(std::move(handler));
}

void GuiTestBase::pollModal() {
  QWidget* modal = QApplication::activeModalWidget();
  if (!modal || !modal->isVisible()) return;
  if (!m_modalHandlers.empty()) {
    auto handler = std::move(m_modalHandlers.front());
    m_modalHandlers.pop_front();
    handler(modal);
    return;
  }
  QString what =
      QString::fromLatin1(modal->metaObject()->className()) + " \"" + modal->windowTitle() + "\"";
  if (auto* box = qobject_cast<QMessageBox*>(modal)) what += ": " + box->text();
  m_unexpectedModals << what;
  modal->close();
}

void GuiTestBase::triggerAction(QWidget* window, const QString& name) {
  auto* action = window->findChild<QAction*>(name);
  QVERIFY2(action, qPrintable("no action " + name));
  QVERIFY(action->isEnabled());
  action->trigger();
}

QString GuiTestBase::tempPath(const QString& name) const { return m_dir->filePath(name); }

QString GuiTestBase::tempDir() const { return m_dir->path(); }

QStringList GuiTestBase::boxTexts() {
  QStringList texts;
  for (const auto& shown : orvana::MessageBox::history()) texts << shown.text;
  return texts;
}

void GuiTestBase::typeText(QWidget* widget, const QString& text) {
  for (qsizetype i = 0; i < text.size(); ++i) {
    const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    QTest::sendKeyEvent(QTest::Click, widget, Qt::Key_A, text.mid(i, length), Qt::NoModifier);
    i += length - 1;
  }
}

QByteArray GuiTestBase::readFile(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll();
}

void GuiTestBase::writeFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  QCOMPARE(file.write(bytes), bytes.size());
}

void ProjectWindowTestBase::init() {
  GuiTestBase::init();
  m_area = new QMdiArea;
  m_area->resize(900, 700);
  m_area->show();
  m_area->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(m_area));
}

void ProjectWindowTestBase::cleanup() {
  delete m_area;
  m_area = nullptr;
  GuiTestBase::cleanup();
}

orvana::TSiteProject* ProjectWindowTestBase::newWindow() {
  auto* window = new orvana::TSiteProject;
  m_area->addSubWindow(window);
  window->show();
  m_area->setActiveSubWindow(window);
  return window;
}
