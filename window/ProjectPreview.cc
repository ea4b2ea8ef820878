#include "window/ProjectPreview.h"

#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include "engine/FileSystem.h"
#include "gui/Dialogs.h"
#include "preview/PreviewServer.h"
#include "window/FProject.h"

namespace orvana {

TProjectPreview::TProjectPreview(TSiteProject* window) : QObject(window), m_window(window) {
  setObjectName(QStringLiteral("ProjectPreview"));
  createControls();
  connect(window, &TSiteProject::SiteChanged, this, [this] { siteChanged(); });
}

TProjectPreview::~TProjectPreview() = default;

TProjectPreview* TProjectPreview::of(TSiteProject* window) {
  return window ? window->findChild<TProjectPreview*>(QString(), Qt::FindDirectChildrenOnly)
                : nullptr;
}

void TProjectPreview::createControls() {
  QGroupBox* group = m_window->findChild<QGroupBox*>(QStringLiteral("GroupBox2"));
  if (!group) return;
  auto* row = new QWidget(group);
  row->setObjectName(QStringLiteral("PreviewRow"));
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  m_button = new QPushButton(QStringLiteral("Просмотр"), row);
  m_button->setObjectName(QStringLiteral("PreviewButton"));
  m_button->setToolTip(
      QStringLiteral("Показать сайт в браузере и обновлять открытые страницы после каждой "
                     "генерации (Ctrl+Shift+P)"));
  connect(m_button, &QPushButton::clicked, this, [this] { start(); });
  m_address = new QLineEdit(row);
  m_address->setObjectName(QStringLiteral("PreviewAddress"));
  m_address->setReadOnly(true);
  m_address->setToolTip(QStringLiteral("Адрес просмотра: открывается на этом компьютере"));
  m_address->hide();
  m_copy = new QPushButton(QStringLiteral("Копировать адрес"), row);
  m_copy->setObjectName(QStringLiteral("PreviewCopy"));
  m_copy->hide();
  connect(m_copy, &QPushButton::clicked, this,
          [this] { QApplication::clipboard()->setText(address()); });
  layout->addWidget(m_button);
  layout->addWidget(m_address, 1);
  layout->addWidget(m_copy);
  // The button keeps its size while no address stands beside it.
  layout->addStretch();
  // Beside the generation button, as wide as the group lets it be.
  m_row = row;
  group->installEventFilter(this);
  placeRow();
}

void TProjectPreview::placeRow() {
  if (!m_row) return;
  const QWidget* group = m_row->parentWidget();
  constexpr int kLeft = 429;  // right of the generation and publish buttons
  m_row->setGeometry(kLeft, 40, qMax(120, group->width() - kLeft - 12), 25);
}

bool TProjectPreview::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::Resize && m_row && watched == m_row->parentWidget()) placeRow();
  return QObject::eventFilter(watched, event);
}

bool TProjectPreview::isRunning() const { return m_server != nullptr; }

QString TProjectPreview::address() const { return m_server ? m_server->address() : QString(); }

bool TProjectPreview::start() {
  const auto hasSite = [this] {
    const QString index = m_window->SiteIndexFile();
    return !index.isEmpty() && QFileInfo::exists(index);
  };
  // No site yet: it is generated and written first, as the button does.
  if (!hasSite() && !m_window->IsGenerating()) m_window->Button1Click();
  if (!hasSite()) return false;
  if (!m_server) {
    auto* server = new preview::PreviewServer(this);
    if (!server->listen(0)) {
      delete server;
      return false;
    }
    m_server = server;
    siteChanged();
    if (m_address) {
      m_address->setText(address());
      m_address->show();
      m_copy->show();
    }
  }
  DesktopOpener::open(QUrl(address()));
  return true;
}

void TProjectPreview::siteChanged() {
  if (!m_server) return;
  const TSiteGenerator& generator = m_window->Generator();
  const QString folder = QString::fromStdString(generator.SavePath());
  m_server->setSite(QDir::current().absoluteFilePath(folder),
                    QByteArray::fromStdString(
                        std::string(OutputEncodingName(generator.Extras().OutputEncoding))));
  m_server->reloadPages();
}

}  // namespace orvana
