// The project window guiding a newcomer: a generation with no output folder
// chosen leads to the setting to fill.
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>

#include "window/FProject.h"

namespace orvana {

bool TSiteProject::LeadToFolderSetting() {
  if (!Edit4->text().isEmpty()) return false;
  ReportView->appendPlainText(
      QStringLiteral("Папка для выгрузки не выбрана: выберите её на вкладке «Настройки», поле "
                     "«Папка для выгрузки готового сайта», кнопка «выбрать»."));
  // The settings tab, with its "выбрать" button in the focus.
  PageControl1->setCurrentIndex(0);
  Button2->setFocus(Qt::OtherFocusReason);
  return true;
}

}  // namespace orvana
