// The main window's use of the recovery store: copies of edited projects
// every few seconds, projects closed without saving kept, and both brought
// back (Restore closed project, the offer after a crash).
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTreeWidget>

#include <algorithm>

#include "gui/Dialogs.h"
#include "gui/ErrorHandler.h"
#include "shell/MainFrame.h"
#include "window/FProject.h"

namespace orvana {
namespace {

// A copy is made again at the earliest after this many times the time the
// last one took, so that copying a huge project never takes over the window.
constexpr qint64 kCopyTimeFactor = 10;

qint64 Now() { return QDateTime::currentMSecsSinceEpoch(); }

}  // namespace

bool TForm1::keepCopy(TSiteProject* window, TRecoveryEntry::Kind kind) {
  ProjectState& state = stateOf(window);
  TRecoveryEntry entry;
  entry.id = state.recoveryId.isEmpty() ? m_recovery->NewId() : state.recoveryId;
  entry.kind = kind;
  entry.name = window->ProjectName();
  if (state.hasFile) {
    entry.original = state.stamp;
    if (const QTreeWidgetItem* node = nodeOf(window))
      entry.original.path = QFileInfo(node->text(0)).absoluteFilePath();
  }
  entry.pid = QCoreApplication::applicationPid();
  QElapsedTimer took;
  took.start();
  try {
    m_recovery->Keep(entry, [window](const QString& file) { window->WriteRecoveryCopy(file); });
  } catch (const std::exception& error) {
    // A copy that cannot be written must not get in the way of the work;
    // the next edit tries again.
    qWarning("orvana: the recovery copy of a project was not written: %s", error.what());
    return false;
  }
  state.edited = false;
  state.nextCopyMs = Now() + std::max<qint64>(kKeepIntervalMs, kCopyTimeFactor * took.elapsed());
  // A closed entry belongs to no window any more.
  state.recoveryId = kind == TRecoveryEntry::Closed ? QString() : entry.id;
  if (kind == TRecoveryEntry::Closed) {
    m_recovery->Prune();
    updateActions();
  }
  return true;
}

void TForm1::forgetCopy(TSiteProject* window) {
  ProjectState& state = stateOf(window);
  m_recovery->Remove(state.recoveryId);
  state.recoveryId.clear();
  state.edited = false;
}

void TForm1::KeepEditedProjects() {
  const qint64 now = Now();
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    TSiteProject* window = NodeWindow(TreeView1->topLevelItem(i));
    if (!window || window->IsGenerating()) continue;
    const ProjectState& state = stateOf(window);
    if (state.edited && window->IsModified() && now >= state.nextCopyMs)
      keepCopy(window, TRecoveryEntry::Session);
  }
}

void TForm1::openCopy(const TRecoveryEntry& entry) {
  TSiteProject* window = createProjectWindow();
  try {
    window->LoadFromFile(entry.projectFile);
  } catch (...) {
    delete window;
    // A copy that cannot be read is of no more use.
    m_recovery->Remove(entry.id);
    updateActions();
    throw;
  }
  window->SetProjectName(entry.name);
  addNode(window);
  ProjectState& state = stateOf(window);
  state.hasFile = !entry.original.path.isEmpty();
  state.stamp = entry.original;
  if (state.hasFile) nodeOf(window)->setText(0, entry.original.path);
  window->SetModified(true);
  selectActiveNode();
  // The window's own copy first, then the entry goes: never neither.
  state.edited = true;
  if (keepCopy(window, TRecoveryEntry::Session)) m_recovery->Remove(entry.id);
  updateActions();
}

void TForm1::RestoreClosedExecute() {
  RunCommand([this] {
    const QList<TRecoveryEntry> closed = m_recovery->Entries(TRecoveryEntry::Closed);
    if (!closed.isEmpty()) openCopy(closed.first());
    updateActions();
  });
}

void TForm1::OfferCrashRecovery() {
  RunCommand([this] {
    // Once a run, what has outlived its two weeks goes.
    m_recovery->Prune();
    updateActions();
    QList<TRecoveryEntry> orphans = m_recovery->Orphans();
    if (orphans.isEmpty()) return;
    QStringList names;
    for (const TRecoveryEntry& entry : orphans)
      names << (entry.original.path.isEmpty() ? entry.name : entry.original.path);
    const bool restore =
        MessageBox::warning(
            this,
            QStringLiteral("Программа была прервана, и изменения проектов (%1) остались "
                           "несохранёнными:\n\n%2\n\nВосстановить их? Иначе они останутся в "
                           "«Проект → Восстановить закрытый проект».")
                .arg(orphans.size())
                .arg(names.join(u'\n')),
            MessageBox::OkCancel) == MessageBox::Ok;
    // In the order they were listed: the oldest first.
    std::reverse(orphans.begin(), orphans.end());
    for (const TRecoveryEntry& entry : orphans) {
      if (restore)
        RunCommand([&] { openCopy(entry); });
      else
        m_recovery->MarkClosed(entry.id);
    }
    m_recovery->Prune();
    updateActions();
  });
}

}  // namespace orvana
