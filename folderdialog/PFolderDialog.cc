#include "folderdialog/PFolderDialog.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>

#include <algorithm>
#include <deque>

namespace orvana {

// The browser window: Qt's directory dialog, with its events and its accept step routed through
// the component that runs it.
class TBrowserWindow : public QFileDialog {
 public:
  TBrowserWindow(TPFolderDialog* owner, QWidget* parent) : QFileDialog(parent), owner_(owner) {}

  void Detach() { owner_ = nullptr; }

  bool BaseEvent(QEvent* event) { return QFileDialog::event(event); }
  void BaseAccept() { QFileDialog::accept(); }
  void Finish(int result) { done(result); }

  QLineEdit* NameEdit() const { return findChild<QLineEdit*>(QStringLiteral("fileNameEdit")); }
  QPushButton* OkButton() const { return dialogButton(QDialogButtonBox::Open); }
  QPushButton* CancelButton() const { return dialogButton(QDialogButtonBox::Cancel); }

 protected:
  bool event(QEvent* event) override {
    return owner_ != nullptr ? owner_->dialogEvent(this, event) : QFileDialog::event(event);
  }
  void accept() override {
    if (owner_ != nullptr) {
      owner_->browserAccept(this);
    } else {
      QFileDialog::accept();
    }
  }

 private:
  QPushButton* dialogButton(QDialogButtonBox::StandardButton which) const {
    auto* box = findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
    return box != nullptr ? box->button(which) : nullptr;
  }

  TPFolderDialog* owner_;
};

namespace {

std::deque<std::optional<QString>>& scriptQueue() {
  static std::deque<std::optional<QString>> queue;
  return queue;
}

// An absolute path with "." and ".." resolved and no trailing "/" (except "/" itself).
QString cleanAbsolute(const QString& path) {
  return QDir::cleanPath(QFileInfo(path).absoluteFilePath());
}

// The folder's own name, or the whole path for a root such as "/".
QString displayNameOf(const QString& path) {
  const QString name = QFileInfo(QDir::cleanPath(path)).fileName();
  return name.isEmpty() ? path : name;
}

bool isFolder(const QString& path) { return !path.isEmpty() && QFileInfo(path).isDir(); }

QString homeOrTop() {
  const QString home = QDir::homePath();
  return isFolder(home) ? cleanAbsolute(home) : QStringLiteral("/");
}

QString existingOrHome(const QString& path) {
  return isFolder(path) ? cleanAbsolute(path) : homeOrTop();
}

QString firstExisting(QStandardPaths::StandardLocation location) {
  for (const QString& path : QStandardPaths::standardLocations(location)) {
    if (isFolder(path)) return cleanAbsolute(path);
  }
  return homeOrTop();
}

QString desktopFolder() {
  return existingOrHome(QStandardPaths::writableLocation(QStandardPaths::DesktopLocation));
}

// Makes room above the dialog's own widgets for the title and status lines. The non-native
// dialog lays itself out in one grid; every item moves down by the number of new rows.
void addLinesAbove(QFileDialog* dialog, const QList<QWidget*>& lines) {
  auto* grid = qobject_cast<QGridLayout*>(dialog->layout());
  if (grid == nullptr) return;
  struct Placed {
    QLayoutItem* item;
    int row, column, rowSpan, columnSpan;
  };
  QList<Placed> placed;
  for (int i = 0; i < grid->count(); ++i) {
    Placed p{grid->itemAt(i), 0, 0, 1, 1};
    grid->getItemPosition(i, &p.row, &p.column, &p.rowSpan, &p.columnSpan);
    placed.append(p);
  }
  const int columns = std::max(1, grid->columnCount());
  while (grid->count() > 0) grid->takeAt(0);
  const int shift = static_cast<int>(lines.size());
  for (const Placed& p : placed) {
    grid->addItem(p.item, p.row + shift, p.column, p.rowSpan, p.columnSpan);
  }
  for (int i = 0; i < shift; ++i) grid->addWidget(lines[i], i, 0, 1, columns);
}

}  // namespace

TPFolderDialog::TPFolderDialog(QObject* owner) : QObject(owner) {}

TPFolderDialog::~TPFolderDialog() {
  // Freed while its browser is open (by a handler, or with its owner): the browser must not call
  // back into a component that is gone, and Execute ends as cancelled without touching it.
  if (window_) {
    window_->Detach();
    delete window_.data();
  }
  if (loop_ != nullptr) loop_->quit();
}

QEvent::Type TPFolderDialog::DestroyEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

QString TPFolderDialog::SpecialFolderPath(TSpecialFolder folder) {
  switch (folder) {
    case sfRecycleBin:
      return existingOrHome(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                            QStringLiteral("/Trash/files"));
    case sfDesktop:
    case sfMyComputer:
      return QStringLiteral("/");
    case sfDesktopDirectory:
      return desktopFolder();
    case sfFontsDirectory:
      return firstExisting(QStandardPaths::FontsLocation);
    case sfMyDocuments:
      return existingOrHome(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
    case sfPrograms:
    case sfStartMenu:
      return existingOrHome(QStandardPaths::writableLocation(QStandardPaths::ApplicationsLocation));
    case sfStartup:
      return existingOrHome(
          QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
          QStringLiteral("/autostart"));
    case sfTemplates:
      return existingOrHome(QDir::homePath() + QStringLiteral("/Templates"));
    case sfControlPanel:
    case sfNetHood:
    case sfNetworkNeighborhood:
    case sfPrinters:
    case sfRecent:
    case sfSendTo:
      break;
  }
  return homeOrTop();
}

void TPFolderDialog::ScriptNextResult(std::optional<QString> folder) {
  scriptQueue().push_back(std::move(folder));
}

void TPFolderDialog::ClearScript() { scriptQueue().clear(); }

bool TPFolderDialog::Execute() { return Execute(QApplication::activeWindow()); }

bool TPFolderDialog::Execute(QWidget* owner) {
  if (const std::optional<bool> scripted = takeScriptedOutcome()) return *scripted;
  // One browser per component: a handler that asks for a second one while the first is open
  // gets a cancel.
  if (window_) return false;

  resolveRoot();
  const QPointer<TBrowserWindow> window = createBrowser(owner);
  window_ = window;
  chosen_.clear();
  first_show_ = false;

  // Handlers may free the component; from then on Execute touches nothing of it.
  const QPointer<TPFolderDialog> self(this);
  if (OnIUnknown) OnIUnknown(this, window);
  if (!self) return false;
  if (!runBrowser(window)) return false;

  const bool accepted = window && window->result() == QDialog::Accepted && !chosen_.isEmpty();
  if (!closeBrowser(window)) return false;
  if (accepted) {
    folder_ = chosen_;
    display_name_ = displayNameOf(chosen_);
  }
  return accepted;
}

std::optional<bool> TPFolderDialog::takeScriptedOutcome() {
  auto& script = scriptQueue();
  if (script.empty()) return std::nullopt;
  const std::optional<QString> answer = script.front();
  script.pop_front();
  if (!answer) return false;
  folder_ = *answer;
  display_name_ = displayNameOf(*answer);
  return true;
}

void TPFolderDialog::resolveRoot() {
  QString custom = custom_root_folder_;
  if (!custom.isEmpty() && !custom.endsWith(QLatin1Char('/'))) custom += QLatin1Char('/');
  if (isFolder(custom)) {
    root_ = cleanAbsolute(custom);
    start_ = root_;
    return;
  }
  // A custom root that is no folder leaves the tree at the desktop.
  const TSpecialFolder special = custom.isEmpty() ? root_folder_ : sfDesktop;
  root_ = SpecialFolderPath(special);
  start_ = special == sfDesktop ? desktopFolder() : root_;
}

TBrowserWindow* TPFolderDialog::createBrowser(QWidget* owner) {
  auto* window = new TBrowserWindow(this, owner);
  applyBrowseOptions(window);
  window->setDirectory(start_);
  if (root_ != QLatin1String("/")) window->setSidebarUrls({QUrl::fromLocalFile(root_)});
  addTitleAndStatusLines(window);
  hideUnwantedControls(window);
  connect(window, &QFileDialog::currentChanged, this, &TPFolderDialog::selectionChanged);
  connect(window, &QFileDialog::directoryEntered, this, &TPFolderDialog::keepInsideRoot);
  return window;
}

void TPFolderDialog::applyBrowseOptions(TBrowserWindow* window) const {
  QFileDialog::Options options = QFileDialog::DontUseNativeDialog;
  if (!browse_options_.Contains(boIncludeFiles)) options |= QFileDialog::ShowDirsOnly;
  if (browse_options_.Contains(boNoTranslateTargets)) options |= QFileDialog::DontResolveSymlinks;
  window->setOptions(options);
  window->setFileMode(QFileDialog::Directory);
  window->setAcceptMode(QFileDialog::AcceptOpen);
  window->setSizeGripEnabled(browse_options_.Contains(boNewStyle));
}

void TPFolderDialog::addTitleAndStatusLines(TBrowserWindow* window) const {
  auto* title = new QLabel(title_, window);
  title->setObjectName(QStringLiteral("TitleLabel"));
  title->setWordWrap(true);
  title->setVisible(!title_.isEmpty());
  auto* status = new QLabel(window);
  status->setObjectName(QStringLiteral("StatusLabel"));
  status->setVisible(browse_options_.Contains(boShowStatusArea));
  addLinesAbove(window, {title, status});
}

void TPFolderDialog::hideUnwantedControls(TBrowserWindow* window) const {
  if (!browse_options_.Contains(boShowEditBox)) {
    for (const char* name : {"fileNameLabel", "fileNameEdit"}) {
      if (auto* w = window->findChild<QWidget*>(QLatin1String(name))) w->hide();
    }
  }
  if (!browse_options_.Contains(boNewStyle) || browse_options_.Contains(boNoNewFolderButton)) {
    if (auto* button = window->findChild<QWidget*>(QStringLiteral("newFolderButton"))) {
      button->hide();
    }
  }
}

bool TPFolderDialog::runBrowser(const QPointer<TBrowserWindow>& window) {
  const QPointer<TPFolderDialog> self(this);
  QEventLoop loop;
  bool finished = false;
  connect(window, &QDialog::finished, &loop, [&finished, &loop] {
    finished = true;
    loop.quit();
  });
  window->setWindowModality(Qt::ApplicationModal);
  // Create the window with its natural size now, so that set-up code and handlers see its real
  // frame rectangle.
  if (!window->testAttribute(Qt::WA_Resized)) window->adjustSize();
  window->winId();

  if (window) initializeBrowser();
  if (!self) return false;
  if (!window || finished) return true;
  window->show();
  if (window && !finished && window->isVisible()) {
    loop_ = &loop;
    loop.exec(QEventLoop::DialogExec);
    if (!self) return false;
    loop_ = nullptr;
  }
  return true;
}

bool TPFolderDialog::closeBrowser(const QPointer<TBrowserWindow>& window) {
  if (window) {
    const QPointer<TPFolderDialog> self(this);
    if (OnIUnknown) OnIUnknown(this, nullptr);
    QEvent destroy(DestroyEventType());
    QCoreApplication::sendEvent(window, &destroy);
    if (!self) return false;
  }
  handle_ = nullptr;
  first_show_ = false;
  delete window.data();
  window_ = nullptr;
  return true;
}

void TPFolderDialog::initializeBrowser() {
  handle_ = window_;
  first_show_ = true;
  SelectFolder(selected_folder_);
  EnableOkButton(ok_button_enabled_);
  if (!advanced_options_.Contains(aoStandardStatusText)) ShowStatusText(status_text_);
  if (!advanced_options_.Contains(aoStandardOkButtonText)) ShowOkButtonText(ok_button_text_);
  if (!advanced_options_.Contains(aoStandardCancelButtonText)) {
    ShowCancelButtonText(cancel_button_text_);
  }
  if (!advanced_options_.Contains(aoStandardCaption)) ShowCaption(caption_);
  ExpandFolder(expanded_folder_);
  if (OnInitialized) OnInitialized(this);
}

bool TPFolderDialog::dialogEvent(TBrowserWindow* window, QEvent* event) {
  // Until the browser is set up its events are its own business.
  if (handle_ != window) return window->BaseEvent(event);

  TMessage message;
  message.Msg = static_cast<int>(event->type());
  message.Event = event;
  if (event->type() == QEvent::Show) message.WParam = 1;
  if (event->type() == QEvent::Resize) {
    const QSize size = static_cast<QResizeEvent*>(event)->size();
    message.LParam = (size.width() & 0xFFFF) | ((size.height() & 0xFFFF) << 16);
  }
  if (OnMessage) OnMessage(message);

  const QEvent::Type type = event->type();
  if (type == DestroyEventType()) {
    if (OnDestroy) OnDestroy(this);
  } else if (type == QEvent::Resize) {
    if (OnResize) OnResize(this);
  } else if (type == QEvent::Show) {
    if (first_show_ && advanced_options_.Contains(aoCenterWindow)) {
      first_show_ = false;
      CenterDialog();
    }
  } else if (type == QEvent::Hide && !event->spontaneous() && loop_ != nullptr) {
    // Hidden by other means than closing (done() also reports finished): end the run.
    loop_->quit();
  }

  const bool handled = window->BaseEvent(event);
  message.Result = handled ? 1 : 0;
  return handled;
}

void TPFolderDialog::browserAccept(TBrowserWindow* window) {
  const QLineEdit* edit = window->NameEdit();
  const QString typed = edit != nullptr ? edit->text() : QString();
  // ".." in the name line is a request to go up, which the dialog handles itself.
  if (typed == QLatin1String("..")) {
    window->BaseAccept();
    return;
  }
  const QStringList files = window->selectedFiles();
  const QString path = files.isEmpty() ? QString() : files.first();
  const QFileInfo info(path);
  const bool files_allowed =
      browse_options_.Contains(boIncludeFiles) && !browse_options_.Contains(boOnlyDirectories);
  if (!path.isEmpty() && (info.isDir() || (info.exists() && files_allowed))) {
    chosen_ = cleanAbsolute(path);
    if (info.isSymLink() && !browse_options_.Contains(boNoTranslateTargets)) {
      chosen_ = info.canonicalFilePath();
    }
    window->Finish(QDialog::Accepted);
    return;
  }
  // A file where only folders may be chosen: the browser stays open, as with a disabled OK.
  if (info.exists()) return;

  // The name names nothing. The browser closes as cancelled unless a handler keeps it open.
  bool can_close = true;
  if (OnValidateFailed) OnValidateFailed(this, typed.isEmpty() ? path : typed, can_close);
  if (can_close && window_ == window) window->Finish(QDialog::Rejected);
}

void TPFolderDialog::selectionChanged(const QString& path) {
  if (IsOpen() && OnSelectionChanged) OnSelectionChanged(this, path);
}

bool TPFolderDialog::isInsideRoot(const QString& path) const {
  if (root_ == QLatin1String("/")) return true;
  return path == root_ || path.startsWith(root_ + QLatin1Char('/'));
}

void TPFolderDialog::keepInsideRoot(const QString& directory) {
  if (!window_ || isInsideRoot(cleanAbsolute(directory))) return;
  // The tree starts at the root: going above it lands on the root again. Queued, so that the
  // dialog finishes its own navigation first.
  QPointer<TBrowserWindow> window = window_;
  const QString root = root_;
  QTimer::singleShot(0, window, [window, root] {
    if (window) window->setDirectory(root);
  });
}

QWidget* TPFolderDialog::Handle() const { return handle_; }

void TPFolderDialog::EnableOkButton(bool value) {
  if (!IsOpen()) return;
  if (QPushButton* ok = handle_->OkButton()) ok->setEnabled(value);
}

void TPFolderDialog::SelectFolder(const QString& path) {
  if (!IsOpen() || path.isEmpty()) return;
  const QString target = cleanAbsolute(path);
  if (!QFileInfo(target).exists() || !isInsideRoot(target)) return;
  QLineEdit* edit = handle_->NameEdit();
  const QString parent = QFileInfo(target).path();
  if (target == root_ || parent == target || !isInsideRoot(parent)) {
    // The root itself: show it, with nothing inside chosen.
    handle_->setDirectory(target);
    if (edit != nullptr) edit->clear();
    return;
  }
  // Show the parent with the folder highlighted; the name line makes it the choice.
  handle_->setDirectory(parent);
  handle_->selectFile(target);
  if (edit != nullptr) edit->setText(QFileInfo(target).fileName());
}

void TPFolderDialog::ExpandFolder(const QString& path) {
  if (!IsOpen() || path.isEmpty()) return;
  const QString target = cleanAbsolute(path);
  if (!isFolder(target) || !isInsideRoot(target)) return;
  handle_->setDirectory(target);
  if (QLineEdit* edit = handle_->NameEdit()) edit->clear();
}

void TPFolderDialog::ShowStatusText(const QString& text) {
  if (!IsOpen()) return;
  if (auto* status = handle_->findChild<QLabel*>(QStringLiteral("StatusLabel"))) {
    status->setText(text);
  }
}

void TPFolderDialog::ShowOkButtonText(const QString& text) {
  if (!IsOpen()) return;
  // Through the dialog, so that it keeps the text when the selection changes.
  handle_->setLabelText(QFileDialog::Accept, text);
  if (QPushButton* ok = handle_->OkButton()) ok->setText(text);
}

void TPFolderDialog::ShowCancelButtonText(const QString& text) {
  if (!IsOpen()) return;
  handle_->setLabelText(QFileDialog::Reject, text);
  if (QPushButton* cancel = handle_->CancelButton()) cancel->setText(text);
}

void TPFolderDialog::ShowCaption(const QString& text) {
  if (IsOpen()) handle_->setWindowTitle(text);
}

void TPFolderDialog::MoveDialog(int x, int y, int width, int height) {
  if (!IsOpen()) return;
  // The rectangle is the frame's; the widget's own size leaves the frame out.
  const QRect frame = handle_->frameGeometry();
  const QRect inner = handle_->geometry();
  handle_->resize(std::max(0, width - (frame.width() - inner.width())),
                  std::max(0, height - (frame.height() - inner.height())));
  handle_->move(x, y);
  handle_->update();
}

QRect TPFolderDialog::GetDialogRect() const {
  return IsOpen() ? handle_->frameGeometry() : QRect();
}

void TPFolderDialog::CenterDialog() {
  if (!IsOpen()) return;
  const QRect rect = GetDialogRect();
  const QScreen* screen = handle_->screen();
  if (screen == nullptr) screen = QGuiApplication::primaryScreen();
  const QRect area = screen != nullptr ? screen->geometry() : QRect();
  // Integer division truncates toward zero, also for a window larger than the screen.
  const int x = area.x() + (area.width() - rect.width()) / 2;
  const int y = area.y() + (area.height() - rect.height()) / 2;
  MoveDialog(x, y, rect.width(), rect.height());
}

}  // namespace orvana
