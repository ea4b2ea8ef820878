// The main window's project files: Save and Save as, what they propose and
// ask, and the notice of a project file changed by another program.
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "gui/Dialogs.h"
#include "gui/ErrorHandler.h"
#include "gui/TextBridge.h"
#include "shell/MainFrame.h"
#include "shell/Settings.h"
#include "window/FProject.h"

namespace orvana {

TForm1::ProjectState& TForm1::stateOf(const TSiteProject* window) { return m_states[window]; }

QString TForm1::activeProjectFolder() const {
  const QTreeWidgetItem* node = nodeOf(ActiveProject());
  if (!node) return QString();
  const QFileInfo file(node->text(0));
  // A new project's name is no path; its folder would be the current one.
  if (file.isRelative() || !file.absoluteDir().exists()) return QString();
  return file.absolutePath();
}

QString TForm1::proposedFileName(const TSiteProject* window, const QTreeWidgetItem* node) const {
  const auto state = m_states.constFind(window);
  // Its own file, or the path its node was renamed to.
  if ((state != m_states.cend() && state->hasFile) || QFileInfo(node->text(0)).isAbsolute())
    return QFileInfo(node->text(0)).absoluteFilePath();
  // A project never saved: its name as a project file, in the folder the
  // dialog chose last (at first, the current one).
  QString name = QFileInfo(window->ProjectName()).fileName();
  if (name.isEmpty()) name = QStringLiteral("Untitled");
  if (!name.contains(u'.')) name += QStringLiteral(".orvana");
  const QString last = SaveDialog1->FileName();
  const QDir folder = last.isEmpty() ? QDir::current() : QFileInfo(last).absoluteDir();
  return folder.absoluteFilePath(name);
}

void TForm1::saveProject() {
  if (reportNoProjects()) return;
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    TSiteProject* window = NodeWindow(node);
    if (!window || !isActive(window)) continue;
    const QString path = node->text(0);
    // A project that never had a file has a name, not a path: a file of that
    // name in the current folder is somebody else's.
    if (stateOf(window).hasFile && FileExists(path)) {
      if (confirmOverwriteOfChanged(window, path)) writeProjectFile(window, path);
    } else {
      saveProjectAs();
    }
  }
}

void TForm1::saveProjectAs() {
  if (reportNoProjects()) return;
  TSiteProject* active = ActiveProject();
  if (const QTreeWidgetItem* node = nodeOf(active))
    SaveDialog1->SetFileName(proposedFileName(active, node));
  SaveDialog1->SetStartFolder(activeProjectFolder());
  if (!SaveDialog1->Execute()) return;
  const QString path = SaveDialog1->FileName();
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    TSiteProject* window = NodeWindow(node);
    if (!window || !isActive(window)) continue;
    if (FileExists(path) &&
        MessageBox::warning(this,
                            QStringLiteral("Перезаписать указанный файл?\n\n%1")
                                .arg(QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath())),
                            MessageBox::OkCancel) != MessageBox::Ok)
      continue;
    writeProjectFile(window, path);
    node->setText(0, path);
  }
}

void TForm1::writeProjectFile(TSiteProject* window, const QString& path) {
  window->SaveToFile(path);
  ProjectState& state = stateOf(window);
  state.hasFile = true;
  state.stamp = StampOf(path);
  state.dismissedDigest.clear();
  forgetCopy(window);
  if (m_noticeFor == window) m_changeNotice->hide();
  AddRecentProject(path);
  rebuildRecentMenu();
}

bool TForm1::confirmOverwriteOfChanged(TSiteProject* window, const QString& path) {
  const ProjectState& state = stateOf(window);
  if (state.stamp.path != QFileInfo(path).absoluteFilePath() || !ChangedOnDisk(state.stamp))
    return true;
  return MessageBox::warning(this,
                             QStringLiteral("Файл %1 изменён другой программой. Перезаписать?")
                                 .arg(QDir::toNativeSeparators(state.stamp.path)),
                             MessageBox::OkCancel) == MessageBox::Ok;
}

void TForm1::createChangeNotice(QWidget* parent) {
  m_changeNotice = new QFrame(parent);
  m_changeNotice->setObjectName(QStringLiteral("ChangeNotice"));
  static_cast<QFrame*>(m_changeNotice)->setFrameStyle(QFrame::StyledPanel | QFrame::Raised);
  m_changeNotice->setAutoFillBackground(true);
  QPalette palette = m_changeNotice->palette();
  palette.setColor(QPalette::Window, QColor(0xff, 0xf4, 0xc4));
  palette.setColor(QPalette::WindowText, Qt::black);
  m_changeNotice->setPalette(palette);
  auto* row = new QHBoxLayout(m_changeNotice);
  row->setContentsMargins(8, 4, 8, 4);
  m_changeNoticeText = new QLabel(m_changeNotice);
  m_changeNoticeText->setObjectName(QStringLiteral("ChangeNoticeText"));
  m_changeNoticeText->setTextFormat(Qt::PlainText);
  m_changeNoticeText->setWordWrap(true);
  row->addWidget(m_changeNoticeText, 1);
  auto* reread = new QPushButton(QStringLiteral("Перечитать"), m_changeNotice);
  reread->setObjectName(QStringLiteral("RereadButton"));
  row->addWidget(reread);
  auto* keep = new QPushButton(QStringLiteral("Оставить как есть"), m_changeNotice);
  keep->setObjectName(QStringLiteral("KeepButton"));
  row->addWidget(keep);
  m_changeNotice->hide();
  connect(reread, &QPushButton::clicked, this,
          [this] { RunCommand([this] { rereadProjectFile(); }); });
  connect(keep, &QPushButton::clicked, this, [this] {
    // Not again for these bytes; a further change shows the notice again.
    if (m_noticeFor) {
      TFileStamp now;
      ChangedOnDisk(stateOf(m_noticeFor).stamp, &now);
      stateOf(m_noticeFor).dismissedDigest = now.digest;
    }
    m_changeNotice->hide();
  });
}

void TForm1::CheckActiveProjectFile() {
  TSiteProject* project = ActiveProject();
  const auto found = m_states.find(project);
  if (!project || found == m_states.end() || !found->hasFile || project->IsGenerating()) {
    m_changeNotice->hide();
    return;
  }
  ProjectState& state = *found;
  TFileStamp now;
  const bool changed = ChangedOnDisk(state.stamp, &now);
  // Touched but not changed: the new time saves reading it again next time.
  if (!changed && now.IsValid()) state.stamp = now;
  if (!changed || (!state.dismissedDigest.isEmpty() && now.digest == state.dismissedDigest)) {
    m_changeNotice->hide();
    return;
  }
  m_noticeFor = project;
  m_changeNoticeText->setText(
      QStringLiteral("Файл %1 изменён другой программой.%2")
          .arg(QDir::toNativeSeparators(state.stamp.path),
               project->IsModified()
                   ? QStringLiteral(" Перечитать его? Несохранённые изменения окна останутся в "
                                    "«Проект → Восстановить закрытый проект».")
                   : QStringLiteral(" Перечитать его?")));
  m_changeNotice->show();
}

void TForm1::rereadProjectFile() {
  const QPointer<TSiteProject> project = m_noticeFor;
  m_changeNotice->hide();
  if (!project) return;
  const QString path = stateOf(project).stamp.path;
  // The window's edits are not thrown away: they go where closed projects go.
  if (project->IsModified()) keepCopy(project, TRecoveryEntry::Closed);
  forgetCopy(project);
  project->LoadFromFile(path);
  ProjectState& state = stateOf(project);
  state.stamp = StampOf(path);
  state.dismissedDigest.clear();
  state.edited = false;
  updateActions();
}

}  // namespace orvana
