#include "window/PublishExtrasRows.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpressionValidator>

#include "gui/Dialogs.h"
#include "gui/TextBridge.h"
#include "project/ExtrasText.h"

namespace orvana {
namespace {

// The address without the ":PASSWORD" of its user part: a password is never
// stored in a project.
QString withoutPassword(const QString& url) {
  if (!PublishTargetHoldsPassword(ToEngine(url))) return url;
  const qsizetype start = url.indexOf(QStringLiteral("://")) + 3;
  const qsizetype at =
      url.lastIndexOf(u'@', url.indexOf(u'/', start) < 0 ? -1 : url.indexOf(u'/', start));
  const qsizetype colon = url.indexOf(u':', start);
  return url.left(colon) + url.mid(at);
}

}  // namespace

TPublishExtrasRows::TPublishExtrasRows(QFormLayout* form, QWidget* parent) : QObject(parent) {
  auto* seedRow = new QWidget(parent);
  auto* seedLayout = new QHBoxLayout(seedRow);
  seedLayout->setContentsMargins(0, 0, 0, 0);
  m_linkSeed = new QLineEdit(seedRow);
  m_linkSeed->setObjectName(QStringLiteral("ExtrasLinkSeed"));
  m_linkSeed->setPlaceholderText(QStringLiteral("пусто — ссылки расставляются заново"));
  // Up to 20 digits; a number beyond 2^64 - 1 is not stored (see read).
  m_linkSeed->setValidator(
      new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]{0,20}")), seedRow));
  m_newSeed = new QPushButton(QStringLiteral("Новое"), seedRow);
  m_newSeed->setObjectName(QStringLiteral("ExtrasNewLinkSeed"));
  seedLayout->addWidget(m_linkSeed, 1);
  seedLayout->addWidget(m_newSeed);
  form->addRow(QStringLiteral("Число расстановки ссылок (тот же сайт при каждой генерации)"),
               seedRow);
  m_publishTo = new QLineEdit(parent);
  m_publishTo->setObjectName(QStringLiteral("ExtrasPublishTo"));
  m_publishTo->setPlaceholderText(QStringLiteral("sftp://user@host/path — без пароля"));
  form->addRow(QStringLiteral("Куда публиковать сайт"), m_publishTo);

  connect(m_newSeed, &QPushButton::clicked, this, [this] {
    m_linkSeed->setText(QString::number(QRandomGenerator::system()->generate64()));
  });
  for (QLineEdit* edit : {m_linkSeed, m_publishTo})
    connect(edit, &QLineEdit::textChanged, this, &TPublishExtrasRows::edited);
  connect(m_publishTo, &QLineEdit::editingFinished, this, [this, parent] {
    const QString stripped = withoutPassword(m_publishTo->text());
    if (stripped == m_publishTo->text()) return;
    m_publishTo->setText(stripped);
    MessageBox::warning(parent, QStringLiteral("Пароль в адресе публикации не сохраняется в "
                                               "проекте: его спросят при публикации."));
  });
}

void TPublishExtrasRows::read(TOrvanaExtras& extras) const {
  const std::string seed = m_linkSeed->text().toStdString();
  extras.LinkSeed = TOrvanaExtras::ParseLinkSeed(seed) ? seed : std::string();
  extras.PublishTo = ToEngine(withoutPassword(m_publishTo->text().trimmed()));
}

void TPublishExtrasRows::show(const TOrvanaExtras& extras) {
  m_linkSeed->setText(QString::fromStdString(extras.LinkSeed));
  m_publishTo->setText(FromEngine(extras.PublishTo));
}

}  // namespace orvana
