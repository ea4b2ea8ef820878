#include "window/PublishAction.h"

#include <sys/prctl.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QInputDialog>
#include <QLineEdit>
#include <QLocale>
#include <QProgressDialog>
#include <QPushButton>

#include <atomic>
#include <deque>
#include <exception>
#include <thread>

#include "gui/Dialogs.h"
#include "gui/TextBridge.h"
#include "publish/KeyringPassword.h"
#include "publish/KnownHosts.h"
#include "publish/SitePublisher.h"
#include "window/FProject.h"

namespace orvana {
namespace {

using publish::TSecretText;

std::deque<std::optional<QString>>& queuedPasswords() {
  static std::deque<std::optional<QString>> queue;
  return queue;
}
QString& lastQuestion() {
  static QString question;
  return question;
}

// Asks for the password; false when the user cancelled.
bool askPassword(QWidget* parent, const QString& question, TSecretText& secret) {
  lastQuestion() = question;
  std::optional<QString> answer;
  if (!queuedPasswords().empty()) {
    answer = queuedPasswords().front();
    queuedPasswords().pop_front();
  } else {
    bool ok = false;
    const QString typed = QInputDialog::getText(parent, QStringLiteral("Пароль"), question,
                                                QLineEdit::Password, QString(), &ok);
    if (ok) answer = typed;
  }
  if (!answer) return false;
  QByteArray utf8 = answer->toUtf8();
  secret.Clear();
  for (const char c : utf8) secret.Add(c);
  utf8.fill('\0');
  answer->fill(QChar(0));
  return true;
}

QString sizeText(uint64_t bytes) {
  return QLocale(QLocale::Russian)
      .formattedDataSize(static_cast<qint64>(bytes), 1, QLocale::DataSizeTraditionalFormat);
}

// The plan, as the box before the deletes shows it.
QString planText(const publish::TPublishPlan& plan) {
  QString text =
      QStringLiteral("Публикация удалит на сервере файлы, которых больше нет на сайте:\n");
  for (const publish::TPlannedFile& f : plan.remove)
    text +=
        QStringLiteral("  удалить %1 (%2)\n").arg(QString::fromStdString(f.name), sizeText(f.size));
  for (const publish::TPlannedFile& f : plan.send)
    text += (f.replaces ? QStringLiteral("  заменить %1 (%2)\n")
                        : QStringLiteral("  отправить %1 (%2)\n"))
                .arg(QString::fromStdString(f.name), sizeText(f.size));
  return text + QStringLiteral("\nПродолжить?");
}

// The publish on a worker thread, with the progress box in front.
struct TPublishRun {
  publish::TRemoteOptions remote;
  publish::TPublishOptions options;
  std::optional<publish::TPublishResult> result;
  std::exception_ptr error;
  std::atomic<bool> cancelled{false};
};

void runWithProgress(QWidget* parent, TPublishRun& run) {
  QProgressDialog progress(QStringLiteral("Публикация…"), QStringLiteral("Прервать"), 0, 1000,
                           parent);
  progress.setObjectName(QStringLiteral("PublishProgress"));
  progress.setWindowModality(Qt::WindowModal);
  // Shown once the publish has taken a moment; the window takes no input
  // meanwhile either way.
  progress.setMinimumDuration(800);
  progress.setValue(0);
  parent->setEnabled(false);
  QObject::connect(&progress, &QProgressDialog::canceled, [&run] { run.cancelled = true; });
  QEventLoop loop;
  QObject context;
  run.remote.cancelled = [&run] { return run.cancelled.load(); };
  run.options.progress = [&](const std::string& name, uint64_t done, uint64_t total) {
    const QString label = QStringLiteral("Отправляется %1").arg(QString::fromStdString(name));
    const int value = total ? static_cast<int>(done * 1000 / total) : 1000;
    QMetaObject::invokeMethod(&context, [&progress, label, value] {
      progress.setLabelText(label);
      progress.setValue(value);
    });
  };
  run.options.confirm_deletes = [&](const publish::TPublishPlan& plan) {
    bool yes = false;
    QMetaObject::invokeMethod(
        &context,
        [&] {
          yes = MessageBox::warning(parent, planText(plan), MessageBox::OkCancel) == MessageBox::Ok;
        },
        Qt::BlockingQueuedConnection);
    return yes;
  };
  std::thread worker([&] {
    try {
      publish::TCurlRemote server(run.remote);
      run.result = publish::PublishSite(server, run.options);
    } catch (...) {
      run.error = std::current_exception();
    }
    QMetaObject::invokeMethod(&context, [&loop] { loop.quit(); });
  });
  loop.exec();
  worker.join();
  parent->setEnabled(true);
}

}  // namespace

TPublishAction::TPublishAction(TSiteProject* window, QWidget* parent)
    : QObject(parent), m_window(window) {
  m_button = new QPushButton(QStringLiteral("Опубликовать"), parent);
  m_button->setObjectName(QStringLiteral("PublishButton"));
  m_button->setGeometry(281, 40, 140, 25);
  connect(m_button, &QPushButton::clicked, this, &TPublishAction::publish);
}

void TPublishAction::setNextPassword(std::optional<QString> password) {
  queuedPasswords().push_back(std::move(password));
}

QString TPublishAction::lastPasswordQuestion() { return lastQuestion(); }

namespace {

// The password for `target`: the keyring's, or asked for (saying why it is
// asked each time when no keyring runs). False when the user cancelled.
bool obtainPassword(QWidget* parent, const QString& target, TSecretText& password,
                    publish::TKeyringPassword::Status& stored) {
  QString reason;
  stored = publish::TKeyringPassword::Read(target, password, &reason);
  if (stored == publish::TKeyringPassword::kFound) return true;
  QString question = QStringLiteral("Пароль для %1").arg(target);
  if (stored == publish::TKeyringPassword::kUnavailable)
    question += QStringLiteral(
                    "\n(системная связка ключей недоступна: %1 — пароль спрашивается при "
                    "каждой публикации и нигде не сохраняется)")
                    .arg(reason);
  return askPassword(parent, question, password);
}

// Shows why the run failed; true when the user trusted a host key and the
// publish is to be tried again with it.
bool answerFailure(QWidget* parent, TPublishRun& run, const QString& target) {
  try {
    std::rethrow_exception(run.error);
  } catch (const publish::EHostKeyRefused& e) {
    const QString text =
        e.kind() == publish::EHostKeyRefused::kChanged
            ? QStringLiteral(
                  "Ключ сервера %1 изменился! Это может быть подменой сервера.\n%2\n"
                  "Доверять новому ключу, только если владелец сервера подтвердил "
                  "его:\n%3")
            : QStringLiteral(
                  "Ключ сервера %1 неизвестен.\n%2\nДоверять этому ключу, если "
                  "владелец сервера подтвердил его отпечаток:\n%3");
    if (MessageBox::warning(
            parent,
            text.arg(QString::fromStdString(run.remote.target.HostPort()),
                     QString::fromStdString(e.what()), QString::fromStdString(e.fingerprint())),
            MessageBox::OkCancel) != MessageBox::Ok)
      return false;
    run.remote.host_key = e.fingerprint();
    return true;
  } catch (const publish::ECertificateRefused& e) {
    if (e.pin().empty() ||
        MessageBox::warning(
            parent,
            QStringLiteral("Сертификат сервера %1 не проверен.\n%2\nДоверять "
                           "этому открытому ключу, если владелец сервера "
                           "подтвердил его:\n%3")
                .arg(QString::fromStdString(run.remote.target.HostPort()),
                     QString::fromStdString(e.what()), QString::fromStdString(e.pin())),
            MessageBox::OkCancel) != MessageBox::Ok)
      return false;
    // Kept beside the SSH keys, so that the next publish does not ask.
    publish::StoreHostKey(run.remote.known_hosts, run.remote.target.HostPort(), e.pin());
    run.remote.pin = e.pin();
    return true;
  } catch (const publish::EPublishCancelled& e) {
    MessageBox::information(parent, QStringLiteral("Публикация прервана: %1. Каждый файл на "
                                                   "сервере — старый или новый; следующая "
                                                   "публикация закончит работу.")
                                        .arg(QString::fromStdString(e.what())));
  } catch (const std::exception& e) {
    // A password the server refused is not kept.
    if (std::string_view(e.what()).find("refused the login") != std::string_view::npos)
      publish::TKeyringPassword::Forget(target);
    MessageBox::error(parent, QStringLiteral("Сайт не опубликован: %1\nКаждый файл на сервере — "
                                             "старый или новый.")
                                  .arg(QString::fromStdString(e.what())));
  }
  return false;
}

}  // namespace

void TPublishAction::publish() {
  m_window->ExtrasToGenerator();
  const TOrvanaExtras extras = m_window->Generator().Extras();
  const QString index = m_window->SiteIndexFile();
  if (index.isEmpty() || !QFileInfo::exists(index)) {
    MessageBox::warning(
        m_window, QStringLiteral("Сайт ещё не выгружен: сначала «Сгенерировать и выгрузить»."));
    return;
  }
  TPublishRun run;
  try {
    run.remote.target = publish::ParsePublishTarget(extras.PublishTo);
  } catch (const publish::EPublishUsage& e) {
    MessageBox::warning(m_window,
                        QStringLiteral("Адрес публикации (вкладка «Дополнительно») не годится: %1")
                            .arg(QString::fromStdString(e.what())));
    return;
  }
  const QString target = QString::fromStdString(run.remote.target.Url());
  if (extras.LinkSeed.empty())
    MessageBox::warning(m_window,
                        QStringLiteral("У проекта нет числа расстановки ссылок: каждая генерация "
                                       "меняет страницы, и публикуется почти весь сайт. Его "
                                       "можно задать на вкладке «Дополнительно»."));
  // No core dump of the program holds the password.
  struct TNoCoreDump {
    int before = ::prctl(PR_GET_DUMPABLE);
    TNoCoreDump() { ::prctl(PR_SET_DUMPABLE, 0); }
    ~TNoCoreDump() { ::prctl(PR_SET_DUMPABLE, before); }
  } no_core_dump;
  TSecretText password;
  publish::TKeyringPassword::Status stored;
  if (!obtainPassword(m_window, target, password, stored)) return;
  run.remote.password = password.view();
  run.remote.known_hosts = publish::DefaultKnownHostsPath();
  run.options.folder = QFileInfo(index).absolutePath().toStdString();
  QElapsedTimer clock;
  do {
    run.error = nullptr;
    run.cancelled = false;
    clock.restart();  // the time of the transfer, not of the questions
    runWithProgress(m_window, run);
  } while (run.error && answerFailure(m_window, run, target));
  if (run.error) return;
  if (stored != publish::TKeyringPassword::kFound && !password.empty())
    publish::TKeyringPassword::Store(target, password, nullptr);
  password.Clear();
  const publish::TPublishResult& r = *run.result;
  MessageBox::information(
      m_window, QStringLiteral("Опубликовано на %1:\nотправлено файлов: %2 (%3)\nбез изменений: "
                               "%4\nудалено: %5\nвремя: %6 с")
                    .arg(target)
                    .arg(r.sent.size())
                    .arg(sizeText(r.bytes))
                    .arg(r.kept)
                    .arg(r.deleted.size())
                    .arg(QString::number(clock.elapsed() / 1000.0, 'f', 1)));
}

bool OfferToPublish(QWidget* parent, const QList<QPointer<TSiteProject>>& written,
                    const QString& report, bool allWritten) {
  QList<QPointer<TPublishAction>> actions;
  for (const QPointer<TSiteProject>& window : written)
    if (window && !window->Generator().Extras().PublishTo.empty())
      if (auto* action = window->findChild<TPublishAction*>()) actions << action;
  if (actions.isEmpty()) return false;
  const QString text =
      report +
      QStringLiteral("\n\nОпубликовать сайты с адресом публикации (%1)?").arg(actions.size());
  if (MessageBox::show(parent, allWritten ? QMessageBox::Information : QMessageBox::Warning,
                       allWritten ? QStringLiteral("Information") : QStringLiteral("Warning"), text,
                       MessageBox::OkCancel) == MessageBox::Ok)
    for (const QPointer<TPublishAction>& action : actions)
      if (action) action->publish();
  return true;
}

}  // namespace orvana
