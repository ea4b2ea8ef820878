// The project window's generation: its button, Generate all's two halves,
// the write through the site build and the report under the button.
#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QThread>
#include <QUrl>

#include <algorithm>
#include <atomic>
#include <memory>

#include "engine/Error.h"
#include "engine/FileSystem.h"
#include "engine/Notify.h"
#include "engine/SiteBuild.h"
#include "engine/SiteOutput.h"
#include "engine/UrlSafety.h"
#include "gui/BackgroundWork.h"
#include "gui/Dialogs.h"
#include "gui/ErrorHandler.h"
#include "gui/TextBridge.h"
#include "project/ProjectDocument.h"
#include "window/FProject.h"
#include "window/ReportText.h"

namespace orvana {

bool TSiteProject::AskToPrune(QWidget* parent, const QStringList& stale) {
  // The box stays readable however long an earlier build was.
  constexpr int kListed = 20;
  QStringList names = stale.mid(0, kListed);
  if (stale.size() > kListed) names << QStringLiteral("… и ещё %1").arg(stale.size() - kListed);
  const QString question =
      QStringLiteral(
          "В папке сайта остались страницы прежней выгрузки, которых в новом сайте "
          "нет (%1):\n\n%2\n\nУдалить их?")
          .arg(stale.size())
          .arg(names.join(u'\n'));
  return MessageBox::warning(parent, question, MessageBox::OkCancel) == MessageBox::Ok;
}

QStringList TSiteProject::StaleFiles() const {
  // What a write of the pages in memory would remove, as the build lists it.
  QStringList names;
  for (const std::string& name :
       ListStaleSiteFiles(*FGenerator, RealFileSystem(), FGenerator->SavePath()))
    names << FromEngine(name);
  return names;
}

void TSiteProject::Button1Click() {
  if (m_generating) return;
  RunCommand([this] {
    if (!generatePages()) {
      TGenerateResult cancelled;
      cancelled.error = QStringLiteral("генерация прервана");
      showReport(cancelled);
      return;
    }
    MessageBox::information(this, QStringLiteral("Генерация завершена"));
    // Linked as typed, but a reader who clicks such an address runs it.
    const std::vector<std::string> linked = linkedAddresses();
    for (const std::string& address : ScriptRunningAddresses(FGenerator->SiteUrlsToLink())) {
      const bool inserted = std::find(linked.begin(), linked.end(), address) != linked.end();
      MessageBox::warning(this,
                          QStringLiteral("Адрес ссылки «%1» выполняет сценарий при переходе; %2")
                              .arg(FromEngine(address),
                                   inserted ? QStringLiteral("ссылки на него вставлены как есть")
                                            : QStringLiteral("ссылок на него не вставлено")));
    }
    const TGenerateResult result = writePages([this](const std::vector<std::string>& stale) {
      QStringList names;
      for (const std::string& name : stale) names << FromEngine(name);
      return AskToPrune(this, names);
    });
    // The report under the button says what happened; the boxes are the
    // engine's and the application's, as for any command.
    if (result.missingFolder) {
      ShowErrorBox(MissingFolderMessage());
      LeadToFolderSetting();
    }
    if (result.failure) std::rethrow_exception(result.failure);
  });
  emit SiteChanged();
}

void TSiteProject::onWindowThread(const std::function<void()>& call) {
  if (QThread::currentThread() == thread())
    call();
  else
    QMetaObject::invokeMethod(this, call, Qt::BlockingQueuedConnection);
}

bool TSiteProject::generatePages() {
  ControlsToDocument();
  m_cancelRequested = false;
  // A long generation shows a box to stop it with, once it has taken half a
  // second.
  QProgressDialog box(QStringLiteral("Генерация сайта «%1»").arg(FProjectName),
                      QStringLiteral("Прервать"), 0, 0, this);
  box.setObjectName(QStringLiteral("GenerateProgress"));
  box.setWindowTitle(QStringLiteral("Генерация"));
  box.setWindowModality(Qt::ApplicationModal);
  box.setMinimumDuration(500);
  connect(&box, &QProgressDialog::canceled, this, [this] { CancelGeneration(); });
  bool cancelled = false;
  RunKeepingWindowsPainted(
      [&](const std::atomic<bool>& stop) {
        TBuildRequest request;
        request.pages_only = true;
        request.progress = [&stop](int, int) { return !stop.load(std::memory_order_relaxed); };
        cancelled = FDocument->Build(request).outcome == TBuildOutcome::kCancelled;
      },
      [this] { return m_cancelRequested; });
  SetModified(true);
  return !cancelled;
}

std::vector<std::string> TSiteProject::linkedAddresses() const {
  std::vector<std::string> linked;
  const TStringList& urls = FGenerator->SiteUrlsToLink();
  for (const TLinkPlacement& placement : FGenerator->LinkPlacements())
    if (placement.links > 0 && placement.address < static_cast<int64_t>(urls.size()))
      linked.push_back(urls[static_cast<size_t>(placement.address)]);
  return linked;
}

TSiteProject::TGenerateResult TSiteProject::writePages(
    const std::function<bool(const std::vector<std::string>&)>& confirmPrune) {
  TGenerateResult result;
  const int pages = FGenerator->Pages().Count();
  const bool showProgress = pages >= kProgressPages;
  m_generating = true;
  m_cancelRequested = false;
  Button1->setEnabled(false);
  if (showProgress) {
    ProgressBar1->show();
    ProgressBar1->setRange(0, pages);
    ProgressBar1->setValue(0);
  }
  // Undone however the writing ends.
  struct Restore {
    TSiteProject* window;
    ~Restore() {
      window->ProgressBar1->hide();
      window->Button1->setEnabled(true);
      window->m_generating = false;
    }
  } restore{this};
  // The site of the last generation, made again with its seed, its pages
  // kept in the generator.
  TBuildRequest options;
  options.seed = FGenerator->LastSeed();
  options.keep_pages = true;
  // Stale files are never removed unasked; the question is the window's.
  options.confirm_prune = [&](const std::vector<std::string>& stale) {
    bool agreed = false;
    if (confirmPrune) onWindowThread([&] { agreed = confirmPrune(stale); });
    return agreed;
  };
  // One page at a time, on a thread of its own while this one keeps the
  // windows painted: the progress moves page by page, always with the
  // pages on disk.
  options.writers = 1;
  // A modal progress box with its Cancel button: the one input it takes
  // while the site is written, so nothing can close or change the project
  // meanwhile.
  std::unique_ptr<QProgressDialog> box;
  if (showProgress || !m_progressCaption.isEmpty()) {
    box = std::make_unique<QProgressDialog>(
        m_progressCaption.isEmpty() ? QStringLiteral("Запись сайта «%1»").arg(FProjectName)
                                    : m_progressCaption,
        QStringLiteral("Прервать"), 0, pages, this);
    box->setObjectName(QStringLiteral("WriteProgress"));
    box->setWindowTitle(QStringLiteral("Запись сайта"));
    box->setWindowModality(Qt::ApplicationModal);
    box->setMinimumDuration(500);
    box->setAutoReset(false);
    box->setAutoClose(false);
    connect(box.get(), &QProgressDialog::canceled, this, [this] { CancelGeneration(); });
  }
  const std::atomic<bool>* stop = nullptr;
  int pagesWritten = 0;
  options.progress = [&](int written, int) {
    pagesWritten = written;
    onWindowThread([&] {
      if (showProgress) ProgressBar1->setValue(written);
      if (box) box->setValue(written);
    });
    return !stop->load(std::memory_order_relaxed);
  };
  try {
    TSiteBuildResult build;
    RunKeepingWindowsPainted(
        [&](const std::atomic<bool>& stopping) {
          stop = &stopping;
          build = FDocument->Build(options);
        },
        [this] { return m_cancelRequested; });
    if (build.outcome == TBuildOutcome::kMissingFolder) {
      result.missingFolder = true;
      result.error = FromEngine(MissingFolderMessage());
    } else {
      m_report = build.report;
      result.ok = build.outcome == TBuildOutcome::kWritten;
      result.cancelled = build.outcome == TBuildOutcome::kCancelled;
      if (!result.ok)
        result.error = QStringLiteral("запись прервана после %1 из %2 страниц")
                           .arg(build.report.pages_written)
                           .arg(pages);
      result.warnings = static_cast<int>(build.report.warnings.size());
    }
  } catch (const std::exception& error) {
    result.error = CommandErrorText(error);
    result.failure = std::current_exception();
    const QStringList files = SiteFileNames(*FGenerator);
    result.replaced = FilesReplacedBefore(files, result.error, pagesWritten);
    result.files = static_cast<int>(files.size());
  }
  result.pages = pages;
  showReport(result);
  return result;
}

TSiteProject::TGenerateResult TSiteProject::GenerateAndWrite(
    const std::function<bool(const std::vector<std::string>&)>& confirmPrune) {
  TGenerateResult result;
  if (m_generating) {
    result.error = QStringLiteral("Проект уже генерируется");
    return result;
  }
  try {
    if (!generatePages()) result.error = QStringLiteral("генерация прервана");
  } catch (const std::exception& error) {
    result.error = CommandErrorText(error);
  }
  if (!result.error.isEmpty()) {
    emit SiteChanged();
    return result;
  }
  result = writePages(confirmPrune);
  emit SiteChanged();
  return result;
}

QString TSiteProject::GeneratePages() {
  if (m_generating) return QStringLiteral("Проект уже генерируется");
  try {
    if (!generatePages()) return QStringLiteral("генерация прервана");
  } catch (const std::exception& error) {
    return CommandErrorText(error);
  }
  return QString();
}

TSiteProject::TGenerateResult TSiteProject::WriteGeneratedPages(
    const std::function<bool(const std::vector<std::string>&)>& confirmPrune) {
  TGenerateResult result = writePages(confirmPrune);
  emit SiteChanged();
  return result;
}

void TSiteProject::showReport(const TGenerateResult& result) {
  QString text;
  if (result.ok) {
    text = QStringLiteral("Сайт записан в %1\n").arg(QString::fromStdString(m_report->folder)) +
           ReportText(*m_report, *FGenerator);
  } else if (result.cancelled && m_report) {
    text = QStringLiteral(
               "Сайт записан не полностью: %1; style.css и остальные страницы не "
               "записаны\n")
               .arg(result.error) +
           ReportText(*m_report, *FGenerator);
  } else if (result.replaced > 0) {
    text = PartialWriteText(result.replaced, result.files, result.error);
    m_report.reset();
  } else {
    text = QStringLiteral("Сайт не записан: %1").arg(result.error);
    m_report.reset();
  }
  ReportView->setPlainText(text);
  ReportView->setToolTip(m_report ? ReportExactSizes(*m_report) : QString());
  ReportView->show();
  m_openSite->setVisible(m_report.has_value() || result.replaced > 0);
}

QString TSiteProject::ReportText(const TBuildReport& report, const TSiteGenerator& generator) {
  return orvana::ReportText(report, generator);
}

}  // namespace orvana
