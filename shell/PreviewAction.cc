#include "shell/PreviewAction.h"

#include <QAction>
#include <QKeySequence>
#include <QMdiArea>

#include "shell/MainFrame.h"
#include "window/FProject.h"
#include "window/ProjectPreview.h"

namespace orvana {

QAction* makePreviewAction(TForm1* frame) {
  auto* action = new QAction(QStringLiteral("Просмотр"), frame);
  action->setObjectName(QStringLiteral("PreviewProject"));
  action->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P));
  action->setStatusTip(
      QStringLiteral("Показать сайт проекта в браузере и обновлять его после каждой генерации"));
  QObject::connect(action, &QAction::triggered, frame, [frame] {
    if (TProjectPreview* preview = TProjectPreview::of(frame->ActiveProject())) preview->start();
  });
  frame->addAction(action);
  return action;
}

}  // namespace orvana
