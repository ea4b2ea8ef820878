#include "shell/about.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>

#include <algorithm>

#include "gui/Design.h"

namespace orvana {

TForm2::TForm2(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint) {
  setObjectName(QStringLiteral("Form2"));
  setWindowTitle(QStringLiteral("О программе"));
  setFont(DesignFont());
  setFixedSize(375, 210);
  move(465, 364);

  Label1 = new QLabel(QStringLiteral("Генератор минисайтов"), this);
  Label1->setObjectName(QStringLiteral("Label1"));
  Label1->setFont(DesignFont(14));
  // The caption may need a little more room than the design gave it in
  // another face; it is widened rather than cut.
  Label1->setGeometry(72, 8, std::max(211, Label1->sizeHint().width()), 24);

  Memo1 = new QPlainTextEdit(this);
  Memo1->setObjectName(QStringLiteral("Memo1"));
  Memo1->setGeometry(16, 40, 345, 129);
  Memo1->setReadOnly(true);
  Memo1->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  Memo1->setPlainText(
      QStringLiteral("Версия 1.0 от 31.07.2008\n"
                     "Разработчик: команда Orvana\n"
                     "Сайт программы: https://orvana.example.org\n"
                     "\n"));

  Button1 = new QPushButton(QStringLiteral("Закрыть"), this);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(152, 176, 75, 25);
  Button1->setAutoDefault(false);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });

  setTabOrder(Memo1, Button1);
}

void TForm2::Button1Click() { reject(); }

}  // namespace orvana
