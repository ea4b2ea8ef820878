// TSiteProject: the window of one open project.
//
// A child window of the main window's multiple-document frame. It owns the
// project's one TSiteGenerator for its whole life and shows the project on
// six tabs: settings, template (with the advertising block and the
// stylesheet), links, site text, generation, and the extras (the opt-in
// improvements of the site). The window opens on generation. It keeps no copy
// of the project apart from its edits, its memos, its extras controls and its
// generator; they reach the generator at fixed moments:
//
//   - the four settings edits (FormToGenerator) when the window is created,
//     whenever the user leaves the title or one of the two number edits, and
//     whenever the output folder changes;
//   - the five memos (MemosToGenerator) and the extras controls
//     (ExtrasToGenerator) right before generating and saving.
//
// After a project file has been read, the window shows the generator's values
// (GeneratorToForm). The window itself shows no error of the engine: errors
// of LoadFromFile and SaveToFile reach the caller, and those of generating
// are shown by the application's error handler. The one error it handles
// itself is a bad number in the two page-size edits.
//
// Closing the window through its own close box minimises it; project windows
// are destroyed only by their owner.
//
// The window knows whether the project changed since it was created, opened
// or saved (IsModified): any edit of a field or memo, and a generation, whose
// pages a save stores. The caption then carries the usual mark. Writing a
// large site shows its progress under the generate button; the window keeps
// repainting meanwhile, but takes no input until the site is written.
#pragma once

#include <QMdiSubWindow>
#include <QString>

#include <exception>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/BuildReport.h"
#include "engine/SiteGenerator.h"
#include "project/ProjectDocument.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabWidget;

namespace orvana {

class TCharCounter;
class TPublishExtrasRows;
class TPFolderDialog;

class TSiteProject : public QMdiSubWindow {
  Q_OBJECT

 public:
  // Builds the window with the content of a new project, creates its
  // generator and takes the settings into it (FormCreate). The window is not
  // shown; its owner adds it to its frame.
  explicit TSiteProject(QWidget* owner = nullptr);
  // Frees the generator with its pages and lists (FormDestroy).
  ~TSiteProject() override;

  // --- Operations of the main window -------------------------------------

  // Stores the name and shows it as the caption. Any text is accepted.
  void SetProjectName(const QString& name);
  QString ProjectName() const { return FProjectName; }

  // True when the project changed since the window was created, its file
  // read or written. SetModified(false) is for the owner after it saved.
  bool IsModified() const { return m_modified; }
  void SetModified(bool modified);

  // The first page of the site in the project's output folder, as an
  // absolute native path; empty when no output folder is set. The file need
  // not exist.
  QString SiteIndexFile() const;

  // True while the window writes its site (see Button1Click): it must not be
  // destroyed then.
  bool IsGenerating() const { return m_generating; }

  // The outcome of one generation and write.
  struct TGenerateResult {
    bool ok = false;
    int pages = 0;
    // The warnings of its report.
    int warnings = 0;
    // Why it failed: the engine's error box text or the error's message.
    QString error;
    bool missingFolder = false;
    // Stopped by its Cancel button; the pages written stay.
    bool cancelled = false;
    // The error itself, when writing threw.
    std::exception_ptr failure;
    // When writing threw after replacing some files: how many, of how many
    // the site has.
    int replaced = 0;
    int files = 0;
  };
  // Generates the site and writes it, as Button1Click does but without its
  // boxes: the engine's error box (a missing output folder) and any error
  // are returned instead of shown, and the report under the button says
  // whether the site was written. With PruneStale, `confirmPrune` decides
  // about the stale files (unset: they stay).
  TGenerateResult GenerateAndWrite(
      const std::function<bool(const std::vector<std::string>&)>& confirmPrune = {});

  // The two halves of GenerateAndWrite, for the main window's Generate all,
  // which asks about stale files once for every project in between:
  // GeneratePages takes the controls in and generates the pages in memory,
  // returning why it failed (empty on success); WriteGeneratedPages writes
  // them and shows the report.
  QString GeneratePages();
  TGenerateResult WriteGeneratedPages(
      const std::function<bool(const std::vector<std::string>&)>& confirmPrune);

  // The files a write of the pages now in memory would prune: with
  // PruneStale, the pages of an earlier, longer build in the output folder.
  QStringList StaleFiles() const;

  // The question before stale files are removed, with their names; true
  // when the user agrees.
  static bool AskToPrune(QWidget* parent, const QStringList& stale);

  // Asks a generation or write in progress to stop after the page it is
  // making or writing.
  void CancelGeneration() { m_cancelRequested = true; }
  // True when the last write was stopped that way.
  bool WasCancelled() const { return m_cancelRequested; }

  // The caption of the progress box of the next writes ("Проект 2 из 5:
  // ..."), shown for every size of site while it is set; empty: the box
  // shows only for large sites, with the project's name.
  void SetProgressCaption(const QString& caption) { m_progressCaption = caption; }

  // The report of the last generation, shown under the generate button;
  // nothing before the first.
  const std::optional<TBuildReport>& LastReport() const { return m_report; }
  // The report in the words the generation tab shows it in.
  static QString ReportText(const TBuildReport& report, const TSiteGenerator& generator);

  // Takes over the settings, texts, extras and every other published setting
  // of source (not its pages), as source's fields, memos and extras controls
  // show them now (source takes them into its document first). The window
  // counts as modified afterwards: nothing of it is saved yet.
  void CopyFrom(TSiteProject& source);

  // Sites of at least this many pages show their progress while written.
  static constexpr int kProgressPages = 50;
  // Reads the project file into the generator, then shows it. A failure
  // (EOrvanaError) leaves at once: the edits and memos keep what they showed,
  // the generator keeps what was assigned before the failure. Extras the file
  // holds but that could not be used (see ExtrasText.h) keep their defaults
  // and are named in one warning box once the project is shown.
  void LoadFromFile(const QString& fileName);

  // Takes the edits and memos into the generator and writes the project file.
  // Throws EOrvanaError when the file cannot be created or written.
  void SaveToFile(const QString& fileName);

  // Writes what the window shows now as a project file (without the pages),
  // for the recovery store: neither the window nor its generator changes,
  // and no box is shown. Throws EOrvanaError as SaveToFile does.
  void WriteRecoveryCopy(const QString& fileName) const;

  // --- Operations of the window itself ----------------------------------

  // Every control's value into the project document: the settings edits
  // (FormToGenerator), the memos and the extras. Save, Generate, Generate
  // all, Duplicate and the modern preset all take the window's values this
  // one way.
  void ControlsToDocument();

  // The four settings edits into the generator. A bad number shows its error
  // box; the generator keeps that number's previous value and the rest goes on.
  // A folder that Windows-1251 cannot spell is refused the same way: its box
  // is shown, SavePath stays and Edit4 shows it again.
  void FormToGenerator();
  // The five memos into the generator.
  void MemosToGenerator();
  // The generator's values into the edits and memos; the output folder edit
  // is set after the other three. The extras controls follow as well.
  void GeneratorToForm();
  // The extras controls into the generator, all nine at once.
  void ExtrasToGenerator();
  // The generator's extras into their controls. An output encoding the list
  // does not offer is added to it, so that saving keeps it.
  void GeneratorToExtras();

  // Starts the project from the modern preset: the template, stylesheet,
  // empty advertising block and extras of ApplyModernPreset replace what the
  // window shows; the rest of the project stays. Meant for a new window, and
  // like a new window's content it counts as no change.
  void ApplyModernPreset();

  // --- Event handlers ----------------------------------------------------

  // Leaving Edit1, Edit2 or Edit3, or a change of Edit4: FormToGenerator.
  void Edit1Exit();
  // A change of Memo2's text: the counter strip shows its byte count.
  void Memo2Change();
  // "Сгенерировать и выгрузить": generate, report, then write the site.
  void Button1Click();
  // "выбрать": choose the output folder. A folder that Windows-1251 cannot
  // spell is refused with an error box; the previous one stays.
  void Button2Click();

  // After a generation that found no output folder chosen: the report says
  // which setting to fill, and the settings tab opens with "выбрать" in the
  // focus. Returns false (and does nothing) when a folder is chosen.
  bool LeadToFolderSetting();

  TSiteGenerator& Generator() { return *FGenerator; }
  const TSiteGenerator& Generator() const { return *FGenerator; }
  TPFolderDialog* FolderDialog() const { return PFolderDialog1; }

 signals:
  // IsModified changed.
  void ModifiedChanged(bool modified);
  // The user changed a field, memo or extra.
  void Edited();
  // The site in the output folder may have changed, or the folder itself:
  // a generation ended (written or not), or SavePath took another value.
  void SiteChanged();

 protected:
  // FormClose: the close box minimises the window.
  void closeEvent(QCloseEvent* event) override;
  // Runs Edit1Exit when the user leaves one of the three exit-handled edits.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void createControls();
  QWidget* createSettingsTab();
  QWidget* createTemplateTab();
  QWidget* createLinksTab();
  QWidget* createTextTab();
  QWidget* createGenerationTab();
  QWidget* createExtrasTab();
  // What the extras controls show, and showing given extras in them.
  TOrvanaExtras extrasOfControls() const;
  void showExtras(const TOrvanaExtras& extras);
  // The controls into the document, then Generate: the pages in memory.
  // False when it was cancelled.
  bool generatePages();
  // Runs `call` on the window's thread, waiting for it.
  void onWindowThread(const std::function<void()>& call);
  // The addresses the last generation linked at least once.
  std::vector<std::string> linkedAddresses() const;
  // Writes the pages in memory through the site build, with the progress
  // shown for large sites and the window busy, and shows the report.
  TGenerateResult writePages(
      const std::function<bool(const std::vector<std::string>&)>& confirmPrune);
  void FormCreate();
  // True when the engine can take folder as it is; otherwise shows why not
  // in the application's error box.
  bool acceptFolder(const QString& folder);
  // Shows the report of a write under the button, or why nothing was written.
  void showReport(const TGenerateResult& result);
  // Marks the project changed by an edit, unless the window fills its
  // fields itself.
  void noteEdit();
  void updateCaption();

  QString FProjectName;
  // The project without its window: it owns the generator and holds the
  // rules for a new project, for reading a file and for the memos' texts.
  std::unique_ptr<TProjectDocument> FDocument;
  TSiteGenerator* FGenerator = nullptr;  // FDocument's generator

  QTabWidget* PageControl1 = nullptr;
  QWidget* TabSheet5 = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* Edit3 = nullptr;
  QLineEdit* Edit4 = nullptr;
  QPushButton* Button1 = nullptr;
  QProgressBar* ProgressBar1 = nullptr;
  QPlainTextEdit* ReportView = nullptr;
  QPushButton* Button2 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;
  QPlainTextEdit* Memo4 = nullptr;
  QPlainTextEdit* Memo5 = nullptr;
  QPlainTextEdit* Memo6 = nullptr;
  QLabel* Panel10 = nullptr;
  // Under the links: how many addresses the last taking trimmed.
  QLabel* m_linksTrimmed = nullptr;
  TPFolderDialog* PFolderDialog1 = nullptr;
  TCharCounter* m_memo2Counter = nullptr;

  // The extras tab.
  QWidget* TabSheet6 = nullptr;
  QSpinBox* m_pagerWindow = nullptr;
  QSpinBox* m_menuWindow = nullptr;
  QLineEdit* m_pageWord = nullptr;
  QLineEdit* m_indexLabel = nullptr;
  QCheckBox* m_safeLinks = nullptr;
  QLineEdit* m_linkRel = nullptr;
  QComboBox* m_outputEncoding = nullptr;
  QLineEdit* m_siteUrl = nullptr;
  QCheckBox* m_pruneStale = nullptr;
  TPublishExtrasRows* m_publishRows = nullptr;

  // Set while FormToGenerator shows a box, and while the window is being
  // destroyed: focus changes then are not the user leaving an edit.
  bool m_inFormToGenerator = false;
  bool m_destroying = false;
  // Off while the window fills its own fields (creation, reading a file).
  bool m_trackEdits = false;
  // Set by SetProjectName; until then the caption is "Проект".
  bool m_named = false;
  bool m_modified = false;
  bool m_generating = false;
  bool m_cancelRequested = false;
  // Set while a project file is read into the generator on another thread.
  bool m_reading = false;
  QString m_progressCaption;
  QPushButton* m_openSite = nullptr;
  std::optional<TBuildReport> m_report;
};

}  // namespace orvana
