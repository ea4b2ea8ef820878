// "Сгенерировать все": every open project generated and written in turn,
// as its own button would, with one question about stale pages for all and
// one summary box at the end.
#include <QList>
#include <QPair>
#include <QPointer>
#include <QStringList>
#include <QTreeWidget>

#include "gui/Dialogs.h"
#include "shell/MainFrame.h"
#include "window/FProject.h"
#include "window/PublishAction.h"

namespace orvana {

void TForm1::generateAll() {
  if (reportNoProjects()) return;
  // The list as it stands now; a window closed meanwhile is passed by.
  QList<QPair<QString, QPointer<TSiteProject>>> projects;
  const int count = TreeView1->topLevelItemCount();
  for (int i = 0; i < count; ++i) {
    QTreeWidgetItem* node = TreeView1->topLevelItem(i);
    projects.append({node->text(0), NodeWindow(node)});
  }
  // Every project is generated first, as its own button would; then the
  // stale files of all that prune them are asked about once; then each site
  // is written.
  QStringList lines;
  QList<QString> failures;
  QStringList stale;
  for (const auto& [name, window] : projects) {
    failures.append(window ? window->GeneratePages() : QString());
    if (window && failures.back().isEmpty())
      for (const QString& file : window->StaleFiles())
        stale << QStringLiteral("%1: %2").arg(name, file);
  }
  const bool prune = !stale.isEmpty() && TSiteProject::AskToPrune(this, stale);
  int done = 0;
  bool cancelled = false;
  QList<QPointer<TSiteProject>> written;
  for (qsizetype i = 0; i < projects.size(); ++i) {
    const auto& [name, window] = projects[i];
    if (!window) continue;
    if (!failures[i].isEmpty()) {
      lines << QStringLiteral("%1 — ошибка: %2").arg(name, failures[i]);
      continue;
    }
    if (cancelled) {
      lines << QStringLiteral("%1 — не записан: запись прервана").arg(name);
      continue;
    }
    // The progress box says which project of how many is being written.
    window->SetProgressCaption(
        QStringLiteral("Проект %1 из %2: %3").arg(i + 1).arg(projects.size()).arg(name));
    const TSiteProject::TGenerateResult result =
        window->WriteGeneratedPages([prune](const std::vector<std::string>&) { return prune; });
    if (window) window->SetProgressCaption(QString());
    cancelled = result.cancelled;
    if (result.ok) {
      ++done;
      written << window;
      QString line = QStringLiteral("%1 — страниц: %2").arg(name).arg(result.pages);
      // The window's report tells what they are.
      if (result.warnings > 0) line += QStringLiteral(", предупреждений: %1").arg(result.warnings);
      lines << line;
    } else {
      lines << QStringLiteral("%1 — ошибка: %2").arg(name, result.error);
    }
  }
  updateActions();
  const QString text =
      QStringLiteral("Сгенерировано проектов: %1 из %2\n\n").arg(done).arg(lines.size()) +
      lines.join(u'\n');
  if (OfferToPublish(this, written, text, done == lines.size())) return;
  if (done == lines.size())
    MessageBox::information(this, text);
  else
    MessageBox::warning(this, text);
}

}  // namespace orvana
