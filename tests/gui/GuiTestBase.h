// The fixture every GUI test class shares.
//
// init() and cleanup() reset the seams (queued message-box answers and their
// history, queued file names and folders, the addresses handed to the
// desktop, which never launches anything here), give each test a fresh
// temporary folder as the current folder and a settings file of its own
// (elsewhere), and watch for modal windows: a modal window
// that no test step expects is closed at once (so a test never hangs) and
// fails the test in cleanup(). A test that wants to drive a real modal dialog
// queues a handler with whenModal() before the action that opens it.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>

#include <deque>
#include <functional>
#include <memory>

class QAction;
class QMdiArea;
class QWidget;

namespace orvana {
class TSiteProject;
}

class GuiTestBase : public QObject {
  Q_OBJECT

 protected slots:
  virtual void initTestCase();
  virtual void init();
  virtual void cleanup();

 protected:
  // Queues a handler for the next modal window that appears; it must close
  // the window (accept, reject, click a button).
  void whenModal(std::function<void(QWidget*)> handler);
  int pendingModalHandlers() const { return static_cast<int>(m_modalHandlers.size()); }

  // Triggers the action of that objectName found in window, after checking
  // that it is there and enabled.
  static void triggerAction(QWidget* window, const QString& name);

  // A path inside this test's temporary folder.
  QString tempPath(const QString& name) const;
  QString tempDir() const;

  // The texts of the message boxes asked for since init(), oldest first.
  static QStringList boxTexts();

  // Types text into widget key by key, any characters (QTest::keyClicks
  // takes Latin-1 only).
  static void typeText(QWidget* widget, const QString& text);

  static QByteArray readFile(const QString& path);
  static void writeFile(const QString& path, const QByteArray& bytes);

 private:
  void pollModal();

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<QTemporaryDir> m_settingsDir;
  QString m_previousCurrent;
  QTimer m_modalWatch;
  std::deque<std::function<void(QWidget*)>> m_modalHandlers;
  QStringList m_unexpectedModals;
};

// The fixture of the tests that drive project windows on their own: each test
// gets a fresh multiple-document area, shown and active, to put them in.
class ProjectWindowTestBase : public GuiTestBase {
  Q_OBJECT

 protected slots:
  void init() override;
  void cleanup() override;

 protected:
  // A new project window in the area, shown and active.
  orvana::TSiteProject* newWindow();
  // The window's control of that objectName; a missing one ends the run.
  template <class T>
  static T* control(QObject* window, const char* name) {
    T* found = window->findChild<T*>(QString::fromLatin1(name));
    if (!found) qFatal("no control %s", name);
    return found;
  }

  QMdiArea* m_area = nullptr;
};
