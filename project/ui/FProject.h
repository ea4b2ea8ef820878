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
#pragma once

#include <QMdiSubWindow>
#include <QString>

#include <memory>

#include "ProjectDocument.h"
#include "SiteGenerator.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QSpinBox;
class QSplitter;
class QTabWidget;

namespace orvana {

class TCharCounter;
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

  // Reads the project file into the generator, then shows it. A failure
  // (EOrvanaError) leaves at once: the edits and memos keep what they showed,
  // the generator keeps what was assigned before the failure.
  void LoadFromFile(const QString& fileName);

  // Takes the edits and memos into the generator and writes the project file.
  // Throws EOrvanaError when the file cannot be created or written.
  void SaveToFile(const QString& fileName);

  // --- Operations of the window itself ----------------------------------

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

  TSiteGenerator& Generator() { return *FGenerator; }
  const TSiteGenerator& Generator() const { return *FGenerator; }
  TPFolderDialog* FolderDialog() const { return PFolderDialog1; }

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
  void FormCreate();
  // True when the engine can take folder as it is; otherwise shows why not
  // in the application's error box.
  bool acceptFolder(const QString& folder);

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
  QPushButton* Button2 = nullptr;
  QPlainTextEdit* Memo1 = nullptr;
  QPlainTextEdit* Memo2 = nullptr;
  QPlainTextEdit* Memo4 = nullptr;
  QPlainTextEdit* Memo5 = nullptr;
  QPlainTextEdit* Memo6 = nullptr;
  QLabel* Panel10 = nullptr;
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

  // Set while FormToGenerator shows a box, and while the window is being
  // destroyed: focus changes then are not the user leaving an edit.
  bool m_inFormToGenerator = false;
  bool m_destroying = false;
};

}  // namespace orvana
