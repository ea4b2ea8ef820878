#include "FProject.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFocusEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "CharCounter.h"
#include "DefaultContent.h"
#include "Design.h"
#include "Dialogs.h"
#include "Error.h"
#include "ErrorHandler.h"
#include "FileSystem.h"
#include "IntegerText.h"
#include "MemoText.h"
#include "ModernPreset.h"
#include "Notify.h"
#include "PFolderDialog.h"
#include "StalePages.h"
#include "TextBridge.h"
#include "UrlSafety.h"

namespace orvana {
namespace {

constexpr int kStripHeight = 25;
constexpr int kCounterStripHeight = 22;
constexpr int kEditHeight = 21;

// A title strip: a caption on a lowered bevel.
QLabel* makeStrip(const QString& name, const QString& caption, int height, QWidget* parent,
                  Qt::Alignment alignment = Qt::AlignCenter) {
  auto* strip = new QLabel(caption, parent);
  strip->setObjectName(name);
  strip->setTextFormat(Qt::PlainText);
  strip->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  strip->setAlignment(alignment | Qt::AlignVCenter);
  strip->setFixedHeight(height);
  return strip;
}

QPlainTextEdit* makeMemo(const QString& name, bool wrap, QWidget* parent) {
  auto* memo = new QPlainTextEdit(parent);
  memo->setObjectName(name);
  memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  memo->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  return memo;
}

// A container that lays its children out top to bottom, edge to edge.
QWidget* makePanel(const QString& name, QWidget* parent) {
  auto* panel = new QWidget(parent);
  panel->setObjectName(name);
  auto* layout = new QVBoxLayout(panel);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  return panel;
}

QLabel* placeLabel(const QString& name, const QString& caption, int left, int top,
                   QWidget* parent) {
  auto* label = new QLabel(caption, parent);
  label->setObjectName(name);
  label->adjustSize();
  label->move(left, top);
  return label;
}

QLineEdit* placeEdit(const QString& name, const QString& text, int left, int top, int width,
                     QWidget* parent) {
  auto* edit = new QLineEdit(text, parent);
  edit->setObjectName(name);
  edit->setGeometry(left, top, width, kEditHeight);
  return edit;
}

// The output encodings the extras tab offers, as the engine spells them.
const char* const kOutputEncodings[] = {"windows-1251", "utf-8"};

QSpinBox* makeWindowSpin(const QString& name, QWidget* parent) {
  auto* spin = new QSpinBox(parent);
  spin->setObjectName(name);
  spin->setRange(0, std::numeric_limits<int32_t>::max());
  spin->setMinimumWidth(90);
  return spin;
}

// The real file system, telling after each page or stylesheet written how
// many of the site's files are done.
class TProgressFileSystem : public TFileSystem {
 public:
  TProgressFileSystem(TFileSystem& real, std::function<void(int)> written)
      : m_real(real), m_written(std::move(written)) {}

  bool IsDirectory(const std::string& path) override { return m_real.IsDirectory(path); }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode mode,
                   TWriteFailure* failure) override {
    const bool done = m_real.ReplaceFile(path, bytes, mode, failure);
    if (done) m_written(++m_count);
    return done;
  }
  std::optional<uint64_t> FreeSpace(const std::string& folder) override {
    return m_real.FreeSpace(folder);
  }
  void RemoveStaleTemporaries(const std::string& folder) override {
    m_real.RemoveStaleTemporaries(folder);
  }

 private:
  TFileSystem& m_real;
  std::function<void(int)> m_written;
  int m_count = 0;
};

// A project name as a caption: "[*]" is the toolkit's mark placeholder, so
// a name's own "[*]" is doubled to stand for itself.
QString captionOf(const QString& name) {
  QString caption = name;
  return caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
}

QGroupBox* fillTab(QWidget* tab, const QString& name, const QString& caption) {
  auto* layout = new QVBoxLayout(tab);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* group = new QGroupBox(caption, tab);
  group->setObjectName(name);
  layout->addWidget(group);
  return group;
}

}  // namespace

TSiteProject::TSiteProject(QWidget* owner) : QMdiSubWindow(owner) {
  setObjectName(QStringLiteral("SiteProject"));
  setWindowTitle(QStringLiteral("Проект"));
  setFont(DesignFont());
  createControls();
  resize(695, 517);
  // The frame's own close entry only minimises a project; its key (Ctrl+W,
  // Ctrl+F4) belongs to the main window's Close project.
  if (QMenu* menu = systemMenu())
    for (QAction* action : menu->actions())
      if (action->shortcuts().contains(QKeySequence(QKeySequence::Close))) action->setShortcuts({});
  FormCreate();
  m_trackEdits = true;
}

TSiteProject::~TSiteProject() {
  // From here on, focus and text changes of the dying controls are no user
  // action; the controls go first, while the generator still exists.
  m_destroying = true;
  delete widget();
}

void TSiteProject::createControls() {
  auto* client = new QWidget;
  client->setObjectName(QStringLiteral("Client"));
  auto* layout = new QVBoxLayout(client);
  layout->setContentsMargins(0, 0, 0, 0);

  PageControl1 = new QTabWidget(client);
  PageControl1->setObjectName(QStringLiteral("PageControl1"));
  layout->addWidget(PageControl1);
  PageControl1->addTab(createSettingsTab(), QStringLiteral("Настройки"));
  PageControl1->addTab(createTemplateTab(), QStringLiteral("Шаблон"));
  PageControl1->addTab(createLinksTab(), QStringLiteral("Линки"));
  PageControl1->addTab(createTextTab(), QStringLiteral("Текст"));
  PageControl1->addTab(createGenerationTab(), QStringLiteral("Генерация"));
  PageControl1->addTab(createExtrasTab(), QStringLiteral("Дополнительно"));
  PageControl1->setCurrentWidget(TabSheet5);

  PFolderDialog1 = new TPFolderDialog(this);
  PFolderDialog1->setObjectName(QStringLiteral("PFolderDialog1"));

  for (QLineEdit* edit : {Edit1, Edit2, Edit3, Edit4})
    connect(edit, &QLineEdit::textChanged, this, [this] { noteEdit(); });
  for (QPlainTextEdit* memo : {Memo1, Memo2, Memo4, Memo5, Memo6})
    connect(memo, &QPlainTextEdit::textChanged, this, [this] { noteEdit(); });

  setWidget(client);
}

QWidget* TSiteProject::createSettingsTab() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabSheet1"));
  QGroupBox* group = fillTab(tab, QStringLiteral("GroupBox3"), QStringLiteral("Настройки проекта"));

  placeLabel(QStringLiteral("Label1"), QStringLiteral("Титл сайта"), 8, 32, group);
  Edit1 = placeEdit(QStringLiteral("Edit1"), QString(), 8, 48, 289, group);
  placeLabel(QStringLiteral("Label2"), QStringLiteral("Знаков на страницу (min)"), 8, 80, group);
  Edit2 = placeEdit(QStringLiteral("Edit2"), QString::number(kDefaultMinCharsPerPage), 8, 96, 137,
                    group);
  placeLabel(QStringLiteral("Label3"), QStringLiteral("Знаков на страницу (max)"), 168, 80, group);
  Edit3 = placeEdit(QStringLiteral("Edit3"), QString::number(kDefaultMaxCharsPerPage), 168, 96, 129,
                    group);
  placeLabel(QStringLiteral("Label4"), QStringLiteral("Папка для выгрузки готового сайта"), 8, 136,
             group);
  Edit4 = placeEdit(QStringLiteral("Edit4"), QString(), 8, 152, 289, group);
  Edit4->setReadOnly(true);
  Button2 = new QPushButton(QStringLiteral("выбрать"), group);
  Button2->setObjectName(QStringLiteral("Button2"));
  Button2->setGeometry(8, 176, 75, 25);

  QWidget::setTabOrder(Edit1, Edit2);
  QWidget::setTabOrder(Edit2, Edit3);
  QWidget::setTabOrder(Edit3, Edit4);
  QWidget::setTabOrder(Edit4, Button2);

  for (QLineEdit* edit : {Edit1, Edit2, Edit3}) edit->installEventFilter(this);
  connect(Edit4, &QLineEdit::textChanged, this, [this] { Edit1Exit(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  return tab;
}

QWidget* TSiteProject::createTemplateTab() {
  auto* tab = new QWidget;
  tab->setObjectName(QStringLiteral("TabSheet2"));
  QGroupBox* group =
      fillTab(tab, QStringLiteral("GroupBox1"), QStringLiteral("Редактирование шаблона"));
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->setContentsMargins(2, 2, 2, 2);

  auto* splitter1 = new QSplitter(Qt::Vertical, group);
  splitter1->setObjectName(QStringLiteral("Splitter1"));
  splitter1->setHandleWidth(3);
  splitter1->setChildrenCollapsible(false);
  groupLayout->addWidget(splitter1);

  QWidget* panel3 = makePanel(QStringLiteral("Panel3"), splitter1);
  panel3->layout()->addWidget(makeStrip(
      QStringLiteral("Panel4"), QStringLiteral("Основной шаблон сайта."), kStripHeight, panel3));
  Memo4 = makeMemo(QStringLiteral("Memo4"), false, panel3);
  panel3->layout()->addWidget(Memo4);

  QWidget* panel5 = makePanel(QStringLiteral("Panel5"), splitter1);
  auto* splitter2 = new QSplitter(Qt::Horizontal, panel5);
  splitter2->setObjectName(QStringLiteral("Splitter2"));
  splitter2->setHandleWidth(3);
  splitter2->setChildrenCollapsible(false);
  panel5->layout()->addWidget(splitter2);

  QWidget* panel6 = makePanel(QStringLiteral("Panel6"), splitter2);
  panel6->layout()->addWidget(
      makeStrip(QStringLiteral("Panel8"),
                QStringLiteral("Код адсенса. переменная в шаблоне SiteGeneratorChange.Adsence"),
                kStripHeight, panel6));
  Memo5 = makeMemo(QStringLiteral("Memo5"), false, panel6);
  panel6->layout()->addWidget(Memo5);

  QWidget* panel7 = makePanel(QStringLiteral("Panel7"), splitter2);
  panel7->layout()->addWidget(
      makeStrip(QStringLiteral("Panel9"), QStringLiteral("Css - стиль"), kStripHeight, panel7));
  Memo6 = makeMemo(QStringLiteral("Memo6"), false, panel7);
  panel7->layout()->addWidget(Memo6);

  splitter1->addWidget(panel3);
  splitter1->addWidget(panel5);
  splitter1->setStretchFactor(0, 0);
  splitter1->setStretchFactor(1, 1);
  splitter1->setSizes({274, 200});
  splitter2->addWidget(panel6);
  splitter2->addWidget(panel7);
  splitter2->setStretchFactor(0, 0);
  splitter2->setStretchFactor(1, 1);
  splitter2->setSizes({345, 300});

  const TProjectMemos memos = TProjectDocument::NewProjectMemos();
  SetMemoLines(*Memo4, memos.site_template);
  SetMemoLines(*Memo5, memos.adsense_code);
  SetMemoLines(*Memo6, memos.css_code);
  return tab;
}

QWidget* TSiteProject::createLinksTab() {
  QWidget* tab = makePanel(QStringLiteral("TabSheet3"), nullptr);
  tab->layout()->addWidget(makeStrip(
      QStringLiteral("Panel1"),
      QStringLiteral("   Список ссылок, которые необходимо распределить по тексту. Каждая новая "
                     "ссылка с новой строки"),
      kStripHeight, tab, Qt::AlignLeft));
  Memo1 = makeMemo(QStringLiteral("Memo1"), false, tab);
  tab->layout()->addWidget(Memo1);
  return tab;
}

QWidget* TSiteProject::createTextTab() {
  QWidget* tab = makePanel(QStringLiteral("TabSheet4"), nullptr);
  tab->layout()->addWidget(makeStrip(QStringLiteral("Panel2"),
                                     QStringLiteral("Текст сайта целиком."), kStripHeight, tab));
  Memo2 = makeMemo(QStringLiteral("Memo2"), true, tab);
  tab->layout()->addWidget(Memo2);
  Panel10 = makeStrip(QStringLiteral("Panel10"), QStringLiteral("Знаков: "), kCounterStripHeight,
                      tab, Qt::AlignLeft);
  Panel10->setIndent(6);
  tab->layout()->addWidget(Panel10);

  m_memo2Counter = new TCharCounter(Memo2->document(), this);
  connect(m_memo2Counter, &TCharCounter::changed, this, [this] { Memo2Change(); });
  return tab;
}

QWidget* TSiteProject::createGenerationTab() {
  TabSheet5 = new QWidget;
  TabSheet5->setObjectName(QStringLiteral("TabSheet5"));
  QGroupBox* group =
      fillTab(TabSheet5, QStringLiteral("GroupBox2"), QStringLiteral("Генерация сайта"));
  Button1 = new QPushButton(QStringLiteral("Сгенерировать и выгрузить"), group);
  Button1->setObjectName(QStringLiteral("Button1"));
  Button1->setGeometry(16, 40, 257, 25);
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  ProgressBar1 = new QProgressBar(group);
  ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
  ProgressBar1->setGeometry(16, 72, 257, 17);
  ProgressBar1->setFormat(QStringLiteral("%v из %m"));
  ProgressBar1->hide();
  // The last generation's report fills the rest of the group, below the
  // button and the bar, which keep their places.
  ReportView = new QPlainTextEdit(group);
  ReportView->setObjectName(QStringLiteral("ReportView"));
  ReportView->setReadOnly(true);
  ReportView->setFrameStyle(QFrame::NoFrame);
  ReportView->setBackgroundVisible(false);
  QPalette palette = ReportView->palette();
  palette.setColor(QPalette::Base, Qt::transparent);
  ReportView->setPalette(palette);
  ReportView->hide();
  auto* below = new QVBoxLayout(group);
  below->setContentsMargins(12, 96, 12, 8);
  below->addWidget(ReportView);
  return TabSheet5;
}

QWidget* TSiteProject::createExtrasTab() {
  TabSheet6 = new QWidget;
  TabSheet6->setObjectName(QStringLiteral("TabSheet6"));
  QGroupBox* group = fillTab(TabSheet6, QStringLiteral("ExtrasGroup"),
                             QStringLiteral("Дополнительные возможности сайта (по умолчанию "
                                            "выключены)"));
  auto* form = new QFormLayout(group);
  form->setFieldGrowthPolicy(QFormLayout::ExpandingFieldsGrow);

  const TOrvanaExtras defaults;
  m_pagerWindow = makeWindowSpin(QStringLiteral("ExtrasPagerWindow"), group);
  form->addRow(QStringLiteral("Окно панели страниц (0 — все номера)"), m_pagerWindow);
  m_menuWindow = makeWindowSpin(QStringLiteral("ExtrasMenuWindow"), group);
  form->addRow(QStringLiteral("Окно меню (0 — все страницы)"), m_menuWindow);
  m_pageWord = new QLineEdit(FromEngine(defaults.PageWord), group);
  m_pageWord->setObjectName(QStringLiteral("ExtrasPageWord"));
  form->addRow(QStringLiteral("Слово перед номером страницы"), m_pageWord);
  m_indexLabel = new QLineEdit(FromEngine(defaults.IndexLabel), group);
  m_indexLabel->setObjectName(QStringLiteral("ExtrasIndexLabel"));
  form->addRow(QStringLiteral("Название первой страницы"), m_indexLabel);
  m_safeLinks = new QCheckBox(
      QStringLiteral("Ссылки только на целых словах, вне тегов и других ссылок"), group);
  m_safeLinks->setObjectName(QStringLiteral("ExtrasSafeLinks"));
  form->addRow(m_safeLinks);
  m_linkRel = new QLineEdit(group);
  m_linkRel->setObjectName(QStringLiteral("ExtrasLinkRel"));
  m_linkRel->setPlaceholderText(QStringLiteral("например, nofollow"));
  form->addRow(QStringLiteral("Атрибут rel вставленных ссылок"), m_linkRel);
  m_outputEncoding = new QComboBox(group);
  m_outputEncoding->setObjectName(QStringLiteral("ExtrasOutputEncoding"));
  for (const char* encoding : kOutputEncodings)
    m_outputEncoding->addItem(QString::fromLatin1(encoding));
  form->addRow(QStringLiteral("Кодировка страниц и style.css"), m_outputEncoding);
  m_siteUrl = new QLineEdit(group);
  m_siteUrl->setObjectName(QStringLiteral("ExtrasSiteUrl"));
  m_siteUrl->setPlaceholderText(QStringLiteral("https://example.org/ — тогда пишется sitemap.xml"));
  form->addRow(QStringLiteral("Адрес сайта для sitemap.xml"), m_siteUrl);
  m_pruneStale = new QCheckBox(
      QStringLiteral("Удалять лишние страницы pageN.html прежней выгрузки (со списком и "
                     "вопросом)"),
      group);
  m_pruneStale->setObjectName(QStringLiteral("ExtrasPruneStale"));
  form->addRow(m_pruneStale);
  GeneratorToExtras();

  for (QSpinBox* spin : {m_pagerWindow, m_menuWindow})
    connect(spin, &QSpinBox::valueChanged, this, [this] { noteEdit(); });
  for (QLineEdit* edit : {m_pageWord, m_indexLabel, m_linkRel, m_siteUrl})
    connect(edit, &QLineEdit::textChanged, this, [this] { noteEdit(); });
  for (QCheckBox* check : {m_safeLinks, m_pruneStale})
    connect(check, &QCheckBox::toggled, this, [this] { noteEdit(); });
  connect(m_outputEncoding, &QComboBox::currentIndexChanged, this, [this] { noteEdit(); });
  return TabSheet6;
}

void TSiteProject::FormCreate() {
  FDocument = std::make_unique<TProjectDocument>();
  FGenerator = &FDocument->Generator();
  // Stale pages are never removed unasked: the window lists them and asks
  // once the site is written (pruneStalePages).
  FGenerator->SetPruneConfirm([](const std::vector<std::string>&) { return false; });
  FormToGenerator();
}

void TSiteProject::SetProjectName(const QString& name) {
  FProjectName = name;
  m_named = true;
  updateCaption();
}

void TSiteProject::updateCaption() {
  const QString caption = captionOf(m_named ? FProjectName : QStringLiteral("Проект"));
  // The placeholder only while marked: an unchanged project's caption is its
  // name exactly.
  setWindowTitle(m_modified ? caption + QStringLiteral("[*]") : caption);
  setWindowModified(m_modified);
}

void TSiteProject::SetModified(bool modified) {
  if (m_modified == modified) return;
  m_modified = modified;
  updateCaption();
  emit ModifiedChanged(modified);
}

void TSiteProject::noteEdit() {
  if (m_trackEdits && !m_destroying) SetModified(true);
}

QString TSiteProject::SiteIndexFile() const {
  if (FGenerator->SavePath().empty()) return QString();
  const QString folder = QString::fromStdString(NativePath(FGenerator->SavePath()));
  return QDir(folder).absoluteFilePath(QStringLiteral("index.html"));
}

void TSiteProject::LoadFromFile(const QString& fileName) {
  FDocument->LoadFromFile(EngineFileName(fileName), [](const std::string& name) {
    const QString wanted = FromEngine(name);
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(),
                       [&](const QWidget* window) { return window->objectName() == wanted; });
  });
  {
    const QScopedValueRollback<bool> quiet(m_trackEdits, false);
    GeneratorToForm();
  }
  SetModified(false);
  emit SiteChanged();
  // The project itself loaded; what of its extras could not be used is said,
  // so that a project never builds differently without a word.
  const std::vector<std::string>& warnings = FDocument->ReadWarnings();
  if (!warnings.empty()) {
    QStringList lines;
    for (const std::string& warning : warnings) lines << FromEngine(warning);
    MessageBox::warning(this, QStringLiteral("Дополнительные настройки проекта «%1» прочитаны не "
                                             "полностью; пропущенные остались по умолчанию:\n\n%2")
                                  .arg(fileName, lines.join(u'\n')));
  }
}

void TSiteProject::SaveToFile(const QString& fileName) {
  const std::string name = EngineFileName(fileName);
  FormToGenerator();
  MemosToGenerator();
  ExtrasToGenerator();
  FDocument->SaveToFile(name);
  SetModified(false);
}

void TSiteProject::FormToGenerator() {
  // Marks the run, so that focus moving to its error box is no leaving of an
  // edit; cleared however the run ends.
  const QScopedValueRollback<bool> running(m_inFormToGenerator, true);
  // The setters are called directly, not through a pointer to member inside
  // the lambda: gcc 12's -fsanitize=vptr miscompiles that call.
  auto convert = [this](const QLineEdit* edit, int32_t& value) {
    const std::string text = ToEngine(edit->text());
    if (TryStrToInt(text, value)) return true;
    MessageBox::error(this, FromEngine(NotAnIntegerMessage(text)));
    return false;
  };
  int32_t value = 0;
  if (convert(Edit2, value)) FGenerator->SetMinCharsPerPage(value);
  if (convert(Edit3, value)) FGenerator->SetMaxCharsPerPage(value);
  FGenerator->SetSiteTitle(ToEngine(Edit1->text()));
  const std::string previousFolder = FGenerator->SavePath();
  if (acceptFolder(Edit4->text()))
    FGenerator->SetSavePath(ToEngine(Edit4->text()));
  else
    Edit4->setText(FromEngine(FGenerator->SavePath()));
  if (FGenerator->SavePath() != previousFolder) emit SiteChanged();
}

bool TSiteProject::acceptFolder(const QString& folder) {
  if (SpelledInEngine(folder)) return true;
  // With '?' in place of the characters the engine cannot spell, the path
  // would name another folder, or none.
  ShowCommandErrorText(
      QStringLiteral("Cannot use the folder \"%1\": its name has characters outside Windows-1251")
          .arg(folder));
  return false;
}

void TSiteProject::MemosToGenerator() {
  FDocument->SetMemos({MemoLinesOf(*Memo2), MemoLinesOf(*Memo4), MemoLinesOf(*Memo5),
                       MemoLinesOf(*Memo6), MemoLinesOf(*Memo1)});
}

void TSiteProject::GeneratorToForm() {
  Edit2->setText(QString::number(FGenerator->MinCharsPerPage()));
  Edit3->setText(QString::number(FGenerator->MaxCharsPerPage()));
  Edit1->setText(FromEngine(FGenerator->SiteTitle()));
  // Last: its change handler reads back the three values just shown.
  Edit4->setText(FromEngine(FGenerator->SavePath()));
  const TProjectMemos memos = FDocument->Memos();
  SetMemoLines(*Memo2, memos.site_text);
  SetMemoLines(*Memo4, memos.site_template);
  SetMemoLines(*Memo5, memos.adsense_code);
  SetMemoLines(*Memo6, memos.css_code);
  SetMemoLines(*Memo1, memos.site_urls_to_link);
  GeneratorToExtras();
}

void TSiteProject::pruneStalePages() {
  if (!FGenerator->Extras().PruneStale) return;
  TFileSystem& fs = RealFileSystem();
  const std::string& folder = FGenerator->SavePath();
  // A folder the build could not write into lists nothing.
  const std::vector<std::string> stale = ListStalePages(fs, folder, FGenerator->Pages().Count());
  if (stale.empty()) return;
  // The box stays readable however long an earlier build was.
  constexpr size_t kListed = 20;
  QStringList names;
  for (size_t i = 0; i < stale.size() && i < kListed; ++i) names << FromEngine(stale[i]);
  if (stale.size() > kListed)
    names << QStringLiteral("… и ещё %1").arg(static_cast<qulonglong>(stale.size() - kListed));
  const QString question =
      QStringLiteral(
          "В папке сайта остались страницы прежней выгрузки, которых в новом сайте "
          "нет (%1):\n\n%2\n\nУдалить их?")
          .arg(static_cast<qulonglong>(stale.size()))
          .arg(names.join(u'\n'));
  if (MessageBox::warning(this, question, MessageBox::OkCancel) != MessageBox::Ok) return;
  const std::vector<std::string> removed = RemoveStalePages(fs, folder, stale);
  if (removed.size() == stale.size()) return;
  QStringList kept;
  for (const std::string& name : stale)
    if (std::find(removed.begin(), removed.end(), name) == removed.end()) kept << FromEngine(name);
  MessageBox::error(this, QStringLiteral("Не удалось удалить:\n\n") + kept.join(u'\n'));
}

void TSiteProject::ApplyModernPreset() {
  // What the window shows first, so that the preset changes only its own part.
  MemosToGenerator();
  ExtrasToGenerator();
  orvana::ApplyModernPreset(*FGenerator);
  const QScopedValueRollback<bool> quiet(m_trackEdits, false);
  GeneratorToForm();
}

void TSiteProject::ExtrasToGenerator() { FGenerator->SetExtras(extrasOfControls()); }

TOrvanaExtras TSiteProject::extrasOfControls() const {
  TOrvanaExtras extras;
  extras.PagerWindow = m_pagerWindow->value();
  extras.MenuWindow = m_menuWindow->value();
  extras.PageWord = ToEngine(m_pageWord->text());
  extras.IndexLabel = ToEngine(m_indexLabel->text());
  extras.SafeLinks = m_safeLinks->isChecked();
  extras.LinkRel = ToEngine(m_linkRel->text());
  extras.OutputEncoding = ToEngine(m_outputEncoding->currentText());
  extras.SiteUrl = ToEngine(m_siteUrl->text());
  extras.PruneStale = m_pruneStale->isChecked();
  return extras;
}

void TSiteProject::GeneratorToExtras() {
  // Called while the tab is built as well, before the generator exists: the
  // controls then show the defaults.
  showExtras(FGenerator ? FGenerator->Extras() : TOrvanaExtras{});
}

void TSiteProject::showExtras(const TOrvanaExtras& extras) {
  m_pagerWindow->setValue(extras.PagerWindow);
  m_menuWindow->setValue(extras.MenuWindow);
  m_pageWord->setText(FromEngine(extras.PageWord));
  m_indexLabel->setText(FromEngine(extras.IndexLabel));
  m_safeLinks->setChecked(extras.SafeLinks);
  m_linkRel->setText(FromEngine(extras.LinkRel));
  const QString encoding = FromEngine(extras.OutputEncoding);
  if (m_outputEncoding->findText(encoding, Qt::MatchExactly) < 0)
    m_outputEncoding->addItem(encoding);
  m_outputEncoding->setCurrentIndex(m_outputEncoding->findText(encoding, Qt::MatchExactly));
  m_siteUrl->setText(FromEngine(extras.SiteUrl));
  m_pruneStale->setChecked(extras.PruneStale);
}

void TSiteProject::Edit1Exit() {
  if (m_destroying || m_inFormToGenerator) return;
  RunCommand([this] { FormToGenerator(); });
}

void TSiteProject::Memo2Change() {
  if (m_destroying) return;
  Panel10->setText(QStringLiteral("Знаков: ") + QString::number(m_memo2Counter->count()));
}

void TSiteProject::Button1Click() {
  if (m_generating) return;
  RunCommand([this] {
    MemosToGenerator();
    ExtrasToGenerator();
    FGenerator->Generate();
    SetModified(true);
    showReport();
    MessageBox::information(this, QStringLiteral("Генерация завершена"));
    // Linked as typed, but a reader who clicks such an address runs it.
    for (const std::string& address : ScriptRunningAddresses(FGenerator->SiteUrlsToLink()))
      MessageBox::warning(this, QStringLiteral("Адрес ссылки «%1» выполняет сценарий при "
                                               "переходе; ссылки на него вставлены как есть")
                                    .arg(FromEngine(address)));
    writeSite();
    pruneStalePages();
  });
  emit SiteChanged();
}

void TSiteProject::writeSite() {
  const int total = FGenerator->Pages().Count() + 1;  // the pages and style.css
  const bool showProgress = FGenerator->Pages().Count() >= kProgressPages;
  TProgressFileSystem progress(RealFileSystem(), [&](int written) {
    if (!showProgress) return;
    ProgressBar1->setValue(written);
    // Repaints and timers go on; input waits until the site is written, so
    // nothing can close or change the project meanwhile.
    QApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  });
  m_generating = true;
  Button1->setEnabled(false);
  if (showProgress) {
    ProgressBar1->show();
    ProgressBar1->setRange(0, total);
    ProgressBar1->setValue(0);
  }
  FGenerator->SetFileSystem(&progress);
  // Undone however the writing ends.
  struct Restore {
    TSiteProject* window;
    ~Restore() {
      window->FGenerator->SetFileSystem(nullptr);
      window->ProgressBar1->hide();
      window->Button1->setEnabled(true);
      window->m_generating = false;
    }
  } restore{this};
  FGenerator->SiteImport();
}

TSiteProject::TGenerateResult TSiteProject::GenerateAndWrite() {
  TGenerateResult result;
  if (m_generating) {
    result.error = QStringLiteral("Проект уже генерируется");
    return result;
  }
  // The engine reports a missing folder through its error box; here it
  // becomes this project's answer.
  TErrorBoxHandler previous =
      SetErrorBoxHandler([&result](const std::string& text) { result.error = FromEngine(text); });
  try {
    MemosToGenerator();
    FGenerator->Generate();
    SetModified(true);
    showReport();
    result.warnings = static_cast<int>(m_report->warnings.size());
    writeSite();
  } catch (const std::exception& error) {
    result.error = CommandErrorText(error);
  } catch (...) {
    result.error = QStringLiteral("Unknown error.");
  }
  SetErrorBoxHandler(std::move(previous));
  result.pages = FGenerator->Pages().Count();
  result.ok = result.error.isEmpty();
  emit SiteChanged();
  return result;
}

void TSiteProject::showReport() {
  m_report =
      MakeBuildReport(*FGenerator, OutputOfGeneratedPages(*FGenerator, FGenerator->SavePath()));
  ReportView->setPlainText(ReportText(*m_report, *FGenerator));
  ReportView->show();
}

QString TSiteProject::ReportText(const TBuildReport& report, const TSiteGenerator& generator) {
  QStringList lines;
  lines << QStringLiteral("Страниц: %1, объём сайта: %2 байт").arg(report.pages).arg(report.bytes);
  if (report.pages > 0)
    lines << QStringLiteral("Размер страницы: от %1 до %2 байт, в среднем %3")
                 .arg(report.page_bytes_min)
                 .arg(report.page_bytes_max)
                 .arg(qRound64(report.page_bytes_mean));
  lines << QStringLiteral("Ссылок вставлено: %1 из квоты %2 на страницу (адресов: %3)")
               .arg(report.placed)
               .arg(report.quota)
               .arg(report.addresses);
  if (!report.unused.empty()) {
    QStringList unused;
    for (const std::string& url : report.unused) unused << FromEngine(url);
    lines << QStringLiteral("Адреса без ссылок: ") + unused.join(QStringLiteral(", "));
  }

  // The warnings in the window's own words; the numbers come from the
  // report, the addresses that run script in their list order.
  const std::vector<std::string> scripts = ScriptRunningAddresses(generator.SiteUrlsToLink());
  size_t script = 0;
  const int32_t min = generator.MinCharsPerPage();
  const int32_t max = generator.MaxCharsPerPage();
  QStringList warnings;
  for (const TBuildWarning& warning : report.warnings) {
    const std::string_view code = warning.code;
    if (code == kWarnLinkQuotaZero) {
      warnings << QStringLiteral(
                      "ссылки не вставлены: %1 адресов на %2 страниц дают квоту 0 "
                      "ссылок на страницу (%1 div %3 = 0); нужно не меньше %3 "
                      "адресов или меньше страниц")
                      .arg(report.addresses)
                      .arg(report.pages)
                      .arg(report.pages - 1);
    } else if (code == kWarnMinAboveMax) {
      warnings << QStringLiteral(
                      "минимум страницы (%1) не меньше максимума (%2): страницы "
                      "режутся по %2 знаков, а не по концу абзаца или предложения")
                      .arg(min)
                      .arg(max);
    } else if (code == kWarnForcedCuts) {
      QStringList pages;
      for (size_t i = 0; i < report.forced_cuts.size() && i < 10; ++i)
        pages << QString::number(report.forced_cuts[i]);
      if (report.forced_cuts.size() > 10) pages << QStringLiteral("…");
      warnings << QStringLiteral(
                      "страниц, разрезанных посреди слова или предложения на "
                      "максимуме в %1 знаков: %2 из %3 (%4)")
                      .arg(max)
                      .arg(report.forced_cuts.size())
                      .arg(report.pages)
                      .arg(pages.join(QStringLiteral(", ")));
    } else if (code == kWarnNoCharset) {
      warnings << QStringLiteral(
                      "страниц без объявленной кодировки (нет <meta> с charset): %1 "
                      "из %2; браузеру придётся угадывать %3")
                      .arg(report.pages_without_charset)
                      .arg(report.pages)
                      .arg(FromEngine(report.encoding));
    } else if (code == kWarnUnsafeUrl && script < scripts.size()) {
      warnings << QStringLiteral(
                      "адрес «%1» выполняет сценарий при переходе; ссылки на него "
                      "вставлены как есть")
                      .arg(FromEngine(scripts[script++]));
    } else if (code == kWarnLargeOutput && report.bytes > 0) {
      warnings << QStringLiteral(
                      "меню и панели страниц занимают %1 из %2 байт сайта (%3%): "
                      "каждая страница перечисляет все страницы")
                      .arg(report.menu_and_bar_bytes)
                      .arg(report.bytes)
                      .arg(report.menu_and_bar_bytes * 100 / report.bytes);
    } else {
      warnings << FromEngine(warning.message);
    }
  }
  if (warnings.isEmpty()) {
    lines << QStringLiteral("Предупреждений нет");
  } else {
    lines << QStringLiteral("Предупреждения:");
    for (const QString& text : warnings) lines << QStringLiteral("• ") + text;
  }
  return lines.join(u'\n');
}

void TSiteProject::CopyFrom(const TSiteProject& source) {
  // Every published setting and text first, the ones without a control of
  // their own included ...
  const auto& properties = SiteGeneratorClass().properties;
  for (const auto& property : properties) {
    switch (property.kind) {
      case TPropKind::String:
        property.SetString(*FGenerator, property.GetString(*source.FGenerator));
        break;
      case TPropKind::Integer:
        property.SetInteger(*FGenerator, property.GetInteger(*source.FGenerator));
        break;
      case TPropKind::StringList:
        property.SetList(*FGenerator, property.GetList(*source.FGenerator));
        break;
      case TPropKind::Collection:
        break;  // the pages belong to the source's last generation
    }
  }
  {
    const QScopedValueRollback<bool> quiet(m_trackEdits, false);
    GeneratorToForm();
    // ... then what the source's fields and memos show, which may be newer
    // than its generator.
    Edit1->setText(source.Edit1->text());
    Edit2->setText(source.Edit2->text());
    Edit3->setText(source.Edit3->text());
    Edit4->setText(source.Edit4->text());
    SetMemoLines(*Memo1, MemoLinesOf(*source.Memo1));
    SetMemoLines(*Memo2, MemoLinesOf(*source.Memo2));
    SetMemoLines(*Memo4, MemoLinesOf(*source.Memo4));
    SetMemoLines(*Memo5, MemoLinesOf(*source.Memo5));
    SetMemoLines(*Memo6, MemoLinesOf(*source.Memo6));
    showExtras(source.extrasOfControls());
  }
  FormToGenerator();
  MemosToGenerator();
  ExtrasToGenerator();
  SetModified(true);
  emit SiteChanged();
}

void TSiteProject::Button2Click() {
  RunCommand([this] {
    if (!PFolderDialog1->Execute(window())) return;
    const QString folder = PFolderDialog1->Folder();
    if (acceptFolder(folder)) Edit4->setText(folder);
  });
}

void TSiteProject::closeEvent(QCloseEvent* event) {
  event->ignore();
  showMinimized();
}

bool TSiteProject::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::FocusOut) {
    // Leaving means the focus went on to another control. Focus that leaves
    // with the whole window (another application, a message box), for a
    // popup menu, or to nowhere (the window is going away) stays, as far as
    // the user is concerned, in the edit.
    const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
    if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
        QApplication::focusWidget() != nullptr)
      Edit1Exit();
  }
  return QMdiSubWindow::eventFilter(watched, event);
}

}  // namespace orvana
