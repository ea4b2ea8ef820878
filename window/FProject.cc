#include "window/FProject.h"

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
#include <QProgressDialog>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSet>
#include <QSpinBox>
#include <QSplitter>
#include <QTabWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "engine/Error.h"
#include "engine/FileSystem.h"
#include "engine/Notify.h"
#include "engine/SiteBuild.h"
#include "engine/SiteOutput.h"
#include "engine/StalePages.h"
#include "engine/UrlSafety.h"
#include "folderdialog/PFolderDialog.h"
#include "gui/BackgroundWork.h"
#include "gui/Cp1251Validator.h"
#include "gui/Design.h"
#include "gui/Dialogs.h"
#include "gui/ErrorHandler.h"
#include "gui/TextBridge.h"
#include "project/DefaultContent.h"
#include "project/IntegerText.h"
#include "project/MemoText.h"
#include "project/ModernPreset.h"
#include "window/CharCounter.h"
#include "window/MemoLines.h"
#include "window/ProjectPreview.h"
#include "window/PublishAction.h"
#include "window/PublishExtrasRows.h"
#include "window/ReportText.h"
#include "window/WindowLayout.h"

namespace orvana {
namespace {

using namespace window_layout;

// A project name as a caption: "[*]" is the toolkit's mark placeholder, so
// a name's own "[*]" is doubled to stand for itself.
QString captionOf(const QString& name) {
  QString caption = name;
  return caption.replace(QStringLiteral("[*]"), QStringLiteral("[*][*]"));
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
  new TProjectPreview(this);
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
  // These texts are stored in Windows-1251: they take only what it spells.
  for (QLineEdit* edit : {Edit1, m_pageWord, m_indexLabel, m_linkRel, m_siteUrl})
    edit->setValidator(new Cp1251Validator(edit));

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
  Edit4->setPlaceholderText(QStringLiteral("не выбрана — нажмите «выбрать»"));
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
  m_linksTrimmed =
      makeStrip(QStringLiteral("LinksTrimmed"), {}, kCounterStripHeight, tab, Qt::AlignLeft);
  m_linksTrimmed->hide();
  tab->layout()->addWidget(m_linksTrimmed);
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
  new TPublishAction(this, group);
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
  // The site the report speaks of, one click away.
  m_openSite = new QPushButton(QStringLiteral("Открыть сайт в браузере"), group);
  m_openSite->setObjectName(QStringLiteral("OpenSiteButton"));
  m_openSite->hide();
  connect(m_openSite, &QPushButton::clicked, this, [this] {
    const QString index = SiteIndexFile();
    if (!index.isEmpty() && !DesktopOpener::open(QUrl::fromLocalFile(index)))
      ShowCommandErrorText(QStringLiteral("Не удалось открыть %1 в браузере").arg(index));
  });
  auto* below = new QVBoxLayout(group);
  below->setContentsMargins(12, 96, 12, 8);
  below->addWidget(ReportView);
  below->addWidget(m_openSite, 0, Qt::AlignLeft);
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
  for (TOutputEncoding encoding : kOutputEncodings)
    m_outputEncoding->addItem(QString::fromUtf8(OutputEncodingName(encoding)));
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
  m_publishRows = new TPublishExtrasRows(form, group);
  connect(m_publishRows, &TPublishExtrasRows::edited, this, [this] { noteEdit(); });
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
  if (!m_trackEdits || m_destroying) return;
  SetModified(true);
  emit Edited();
}

QString TSiteProject::SiteIndexFile() const {
  // While a file is read into the generator on another thread, its folder
  // is not to be looked at.
  if (m_reading || FGenerator->SavePath().empty()) return QString();
  const QString folder = QString::fromStdString(FGenerator->SavePath());
  return QDir(folder).absoluteFilePath(QStringLiteral("index.html"));
}

void TSiteProject::LoadFromFile(const QString& fileName) {
  // The names the header must not take, read here: the file itself is read
  // on a thread of its own, while the windows keep painting.
  QSet<QString> names;
  for (const QWidget* window : QApplication::topLevelWidgets()) names.insert(window->objectName());
  const std::string name = fileName.toStdString();
  const QScopedValueRollback<bool> reading(m_reading, true);
  RunKeepingWindowsPainted([&] {
    FDocument->LoadFromFile(
        name, [&names](const std::string& name) { return names.contains(FromEngine(name)); });
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
  const std::string name = fileName.toStdString();
  ControlsToDocument();
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
    FGenerator->SetSavePath(Edit4->text().toStdString());
  else
    Edit4->setText(QString::fromStdString(FGenerator->SavePath()));
  if (FGenerator->SavePath() != previousFolder) emit SiteChanged();
}

bool TSiteProject::acceptFolder(const QString& folder) {
  if (SpelledInEngine(folder)) return true;
  // The project file stores its folder in Windows-1251: with '?' in place of
  // the characters the code page cannot spell, it would name another folder.
  ShowCommandErrorText(
      QStringLiteral("Папку «%1» нельзя выбрать: в её имени есть знаки, которых нет в кодировке "
                     "Windows-1251")
          .arg(folder));
  return false;
}

void TSiteProject::ControlsToDocument() {
  FormToGenerator();
  MemosToGenerator();
  ExtrasToGenerator();
}

void TSiteProject::MemosToGenerator() {
  // The texts as they stand, then their lines made while the windows paint.
  const QString raw[] = {MemoRawText(*Memo2), MemoRawText(*Memo4), MemoRawText(*Memo5),
                         MemoRawText(*Memo6), MemoRawText(*Memo1)};
  const auto take = [&] {
    FDocument->SetMemos({LinesOfMemoText(raw[0]), LinesOfMemoText(raw[1]), LinesOfMemoText(raw[2]),
                         LinesOfMemoText(raw[3]), LinesOfMemoText(raw[4])});
  };
  // Texts that take no noticeable time are taken in at once, so that an
  // ordinary save or generation never turns the event loop midway.
  constexpr qsizetype kQuickCharacters = 1 << 20;
  qsizetype characters = 0;
  for (const QString& text : raw) characters += text.size();
  if (characters < kQuickCharacters)
    take();
  else
    RunKeepingWindowsPainted(take);
  // Blanks around an address are trimmed, and the list shows the addresses kept.
  TStringList links = FGenerator->SiteUrlsToLink();
  if (const size_t trimmed = TrimAddressBlanks(links); trimmed > 0) {
    SetMemoText(*Memo1, MemoTextOf(links));
    m_linksTrimmed->setText(
        QStringLiteral("Убраны пробелы вокруг адресов: %1").arg(static_cast<qulonglong>(trimmed)));
    m_linksTrimmed->show();
  }
  if (links != FGenerator->SiteUrlsToLink()) FGenerator->SetSiteUrlsToLink(std::move(links));
}

void TSiteProject::GeneratorToForm() {
  Edit2->setText(QString::number(FGenerator->MinCharsPerPage()));
  Edit3->setText(QString::number(FGenerator->MaxCharsPerPage()));
  Edit1->setText(FromEngine(FGenerator->SiteTitle()));
  // Last: its change handler reads back the three values just shown.
  Edit4->setText(QString::fromStdString(FGenerator->SavePath()));
  // The memos' texts made while the windows paint, then shown.
  QString texts[5];
  RunKeepingWindowsPainted([&] {
    const TProjectMemos memos = FDocument->Memos();
    texts[0] = MemoTextOf(memos.site_text);
    texts[1] = MemoTextOf(memos.site_template);
    texts[2] = MemoTextOf(memos.adsense_code);
    texts[3] = MemoTextOf(memos.css_code);
    texts[4] = MemoTextOf(memos.site_urls_to_link);
  });
  QPlainTextEdit* const memos[] = {Memo2, Memo4, Memo5, Memo6, Memo1};
  for (int i = 0; i < 5; ++i) SetMemoText(*memos[i], texts[i]);
  GeneratorToExtras();
}

void TSiteProject::ApplyModernPreset() {
  // What the window shows first, so that the preset changes only its own part.
  ControlsToDocument();
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
  extras.OutputEncoding = kOutputEncodings[std::max(0, m_outputEncoding->currentIndex())];
  extras.SiteUrl = ToEngine(m_siteUrl->text());
  extras.PruneStale = m_pruneStale->isChecked();
  m_publishRows->read(extras);
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
  m_outputEncoding->setCurrentIndex(static_cast<int>(extras.OutputEncoding));
  m_siteUrl->setText(FromEngine(extras.SiteUrl));
  m_pruneStale->setChecked(extras.PruneStale);
  m_publishRows->show(extras);
}

void TSiteProject::Edit1Exit() {
  if (m_destroying || m_inFormToGenerator) return;
  RunCommand([this] { FormToGenerator(); });
}

void TSiteProject::Memo2Change() {
  if (m_destroying) return;
  Panel10->setText(QStringLiteral("Знаков: ") + QString::number(m_memo2Counter->count()));
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
