// Tests of TPFolderDialog: defaults, the scripted answers, and real runs of the browser on the
// offscreen platform, driven from a timer while Execute waits in its modal loop.
#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

#include "folderdialog/PFolderDialog.h"

using orvana::TMessage;
using orvana::TPFolderDialog;

namespace {

using Browser = QFileDialog;

QPushButton* dialogButton(Browser* browser, QDialogButtonBox::StandardButton which) {
  auto* box = browser->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  return box != nullptr ? box->button(which) : nullptr;
}

// What the OK and Cancel buttons do.
void acceptBrowser(Browser* browser) { static_cast<QDialog*>(browser)->accept(); }
void rejectBrowser(Browser* browser) { static_cast<QDialog*>(browser)->reject(); }

// Runs action on the browser as soon as it is the active modal window.
void whenOpen(std::function<void(Browser*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(5);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    auto* browser = qobject_cast<Browser*>(QApplication::activeModalWidget());
    if (browser == nullptr || !browser->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(browser);
  });
  timer->start();
}

}  // namespace

class TestPFolderDialog : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

  void init() {
    TPFolderDialog::ClearScript();
    temp_ = std::make_unique<QTemporaryDir>();
    QVERIFY(temp_->isValid());
    root_ = QDir(temp_->path()).canonicalPath();
    for (const char* name : {"Site", "Other", "Site/Inner"}) {
      QVERIFY(QDir(root_).mkpath(QLatin1String(name)));
    }
    QFile file(root_ + QStringLiteral("/notes.txt"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    // A browser that a failed check left open would block the next Execute for good.
    watchdog_.setSingleShot(true);
    watchdog_.setInterval(8000);
    connect(&watchdog_, &QTimer::timeout, [] {
      if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
        dialog->reject();
      }
    });
    watchdog_.start();
  }

  void cleanup() {
    watchdog_.stop();
    watchdog_.disconnect();
    TPFolderDialog::ClearScript();
    temp_.reset();
  }

  void defaultsAtCreation() {
    TPFolderDialog dialog;
    QCOMPARE(dialog.RootFolder(), TPFolderDialog::sfDesktop);
    QVERIFY(dialog.CustomRootFolder().isEmpty());
    QVERIFY((dialog.BrowseOptions() ==
             TPFolderDialog::TBrowseOptions{TPFolderDialog::boOnlyFileSystemAncestors,
                                            TPFolderDialog::boOnlyDirectories,
                                            TPFolderDialog::boNewStyle}));
    QVERIFY((dialog.AdvancedOptions() ==
             TPFolderDialog::TAdvancedOptions{
                 TPFolderDialog::aoStandardStatusText, TPFolderDialog::aoStandardOkButtonText,
                 TPFolderDialog::aoStandardCancelButtonText, TPFolderDialog::aoStandardCaption}));
    QVERIFY(dialog.OkButtonEnabled());
    for (const QString& text :
         {dialog.Title(), dialog.SelectedFolder(), dialog.StatusText(), dialog.OkButtonText(),
          dialog.CancelButtonText(), dialog.ExpandedFolder(), dialog.Caption(), dialog.Folder(),
          dialog.DisplayName()}) {
      QVERIFY(text.isEmpty());
    }
    QVERIFY(!dialog.OnIUnknown && !dialog.OnInitialized && !dialog.OnSelectionChanged &&
            !dialog.OnValidateFailed && !dialog.OnResize && !dialog.OnDestroy && !dialog.OnMessage);
    QVERIFY(!dialog.IsOpen());
    QCOMPARE(dialog.Handle(), nullptr);
  }

  void scriptedAnswers() {
    TPFolderDialog dialog;
    TPFolderDialog::ScriptNextResult(QStringLiteral("C:\\Site"));
    TPFolderDialog::ScriptNextResult(std::nullopt);
    TPFolderDialog::ScriptNextResult(QStringLiteral("/"));
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Folder(), QStringLiteral("C:\\Site"));  // exactly as scripted
    QVERIFY(!dialog.Execute());
    QCOMPARE(dialog.Folder(), QStringLiteral("C:\\Site"));
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.DisplayName(), QStringLiteral("/"));

    TPFolderDialog::ScriptNextResult(QStringLiteral("/srv/www/site"));
    TPFolderDialog::ClearScript();
    TPFolderDialog::ScriptNextResult(QStringLiteral("/srv/out"));
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Folder(), QStringLiteral("/srv/out"));
    QCOMPARE(dialog.DisplayName(), QStringLiteral("out"));
  }

  void operationsDoNothingWhileClosed() {
    TPFolderDialog dialog;
    int calls = 0;
    dialog.OnMessage = [&calls](TMessage&) { ++calls; };
    dialog.EnableOkButton(false);
    dialog.SelectFolder(root_);
    dialog.ExpandFolder(root_);
    dialog.ShowStatusText(QStringLiteral("x"));
    dialog.ShowOkButtonText(QStringLiteral("x"));
    dialog.ShowCancelButtonText(QStringLiteral("x"));
    dialog.ShowCaption(QStringLiteral("x"));
    dialog.MoveDialog(1, 2, 300, 200);
    dialog.CenterDialog();
    QVERIFY(dialog.GetDialogRect().isNull());
    QCOMPARE(dialog.Handle(), nullptr);
    QCOMPARE(calls, 0);
  }

  void freedWhileOpenEndsAsCancel() {
    auto* dialog = new TPFolderDialog;
    QPointer<QWidget> browser_left;
    whenOpen([&](Browser* browser) {
      browser_left = browser;
      delete dialog;
    });
    QVERIFY(!dialog->Execute());
    QVERIFY(browser_left.isNull());
  }

  void choosingAFolderReturnsItsAbsolutePath() {
    TPFolderDialog dialog;  // as the project window configures it
    QWidget owner;
    owner.show();
    whenOpen([&](Browser* browser) {
      QVERIFY(dialog.IsOpen());
      QCOMPARE(dialog.Handle(), browser);
      QCOMPARE(browser->parentWidget(), &owner);
      // At the desktop, nothing preselected, OK enabled, no title line and no name line.
      const QString desktop = TPFolderDialog::SpecialFolderPath(TPFolderDialog::sfDesktopDirectory);
      QCOMPARE(browser->directory().absolutePath(), desktop);
      QCOMPARE(browser->selectedFiles(), QStringList(desktop));
      QVERIFY(dialogButton(browser, QDialogButtonBox::Open)->isEnabled());
      QVERIFY(!browser->findChild<QWidget*>(QStringLiteral("TitleLabel"))->isVisible());
      QVERIFY(!browser->findChild<QWidget*>(QStringLiteral("fileNameEdit"))->isVisible());
      QVERIFY(browser->findChild<QWidget*>(QStringLiteral("newFolderButton"))->isVisible());
      dialog.SelectFolder(root_ + QStringLiteral("/Other/../Site"));
      acceptBrowser(browser);
    });
    QVERIFY(dialog.Execute(&owner));
    QCOMPARE(dialog.Folder(), root_ + QStringLiteral("/Site"));
    QCOMPARE(dialog.DisplayName(), QStringLiteral("Site"));
    QVERIFY(!dialog.IsOpen());
    QCOMPARE(dialog.Handle(), nullptr);

    // Typing a name in the edit box: it is taken relative to the folder shown.
    dialog.SetBrowseOptions({TPFolderDialog::boOnlyDirectories, TPFolderDialog::boShowEditBox});
    dialog.SetCustomRootFolder(root_);
    whenOpen([](Browser* browser) {
      auto* edit = browser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      QVERIFY(edit->isVisible());
      edit->setText(QStringLiteral("Other"));
      acceptBrowser(browser);
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Folder(), root_ + QStringLiteral("/Other"));
  }

  void cancelKeepsTheLastResult() {
    TPFolderDialog dialog;
    TPFolderDialog::ScriptNextResult(QStringLiteral("/previous/choice"));
    QVERIFY(dialog.Execute());
    whenOpen([&](Browser* browser) {
      dialog.SelectFolder(root_ + QStringLiteral("/Site"));
      rejectBrowser(browser);
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(dialog.Folder(), QStringLiteral("/previous/choice"));
    QCOMPARE(dialog.DisplayName(), QStringLiteral("choice"));
  }

  void reopensAtSelectedFolderNotAtLastResult() {
    TPFolderDialog dialog;
    const QString site = root_ + QStringLiteral("/Site");
    dialog.SetSelectedFolder(site);
    QStringList preselected;
    whenOpen([&](Browser* browser) {
      preselected << browser->selectedFiles().value(0);
      dialog.SelectFolder(root_ + QStringLiteral("/Other"));
      acceptBrowser(browser);
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Folder(), root_ + QStringLiteral("/Other"));
    QCOMPARE(dialog.SelectedFolder(), site);
    whenOpen([&](Browser* browser) {
      preselected << browser->selectedFiles().value(0);
      acceptBrowser(browser);
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(preselected, QStringList({site, site}));
    QCOMPARE(dialog.Folder(), site);
  }

  void customRootFolderReplacesRootAndHoldsTheUserInside() {
    TPFolderDialog dialog;
    dialog.SetRootFolder(TPFolderDialog::sfMyComputer);
    dialog.SetCustomRootFolder(root_);  // no trailing "/"
    whenOpen([&](Browser* browser) {
      QCOMPARE(browser->directory().absolutePath(), root_);
      // Outside the root nothing can be selected; going up lands on the root again.
      dialog.SelectFolder(QDir::tempPath());
      QCOMPARE(browser->directory().absolutePath(), root_);
      browser->findChild<QAbstractButton*>(QStringLiteral("toParentButton"))->click();
      QTRY_COMPARE(browser->directory().absolutePath(), root_);
      acceptBrowser(browser);
    });
    QVERIFY(dialog.Execute());
    QCOMPARE(dialog.Folder(), root_);

    // A custom root that is no folder leaves the browser at the desktop.
    dialog.SetCustomRootFolder(root_ + QStringLiteral("/missing"));
    whenOpen([](Browser* browser) {
      QCOMPARE(browser->directory().absolutePath(),
               TPFolderDialog::SpecialFolderPath(TPFolderDialog::sfDesktopDirectory));
      rejectBrowser(browser);
    });
    QVERIFY(!dialog.Execute());
  }

  void specialFoldersMapToExistingFolders() {
    for (int i = TPFolderDialog::sfRecycleBin; i <= TPFolderDialog::sfTemplates; ++i) {
      const QString path =
          TPFolderDialog::SpecialFolderPath(static_cast<TPFolderDialog::TSpecialFolder>(i));
      QVERIFY2(QFileInfo(path).isDir() && QFileInfo(path).isAbsolute(), qPrintable(path));
      QVERIFY2(path == QLatin1String("/") || !path.endsWith(QLatin1Char('/')), qPrintable(path));
    }
    QCOMPARE(TPFolderDialog::SpecialFolderPath(TPFolderDialog::sfDesktop), QStringLiteral("/"));
  }

  void textsAreAppliedOnlyWithoutTheirStandardOption() {
    TPFolderDialog dialog;
    dialog.SetTitle(QStringLiteral("Куда выгрузить сайт"));
    dialog.SetOkButtonText(QStringLiteral("Выбрать"));
    dialog.SetCancelButtonText(QStringLiteral("Отмена"));
    dialog.SetCaption(QStringLiteral("Папка сайта"));
    dialog.SetStatusText(QStringLiteral("Готово"));
    dialog.SetOkButtonEnabled(false);
    dialog.SetBrowseOptions({TPFolderDialog::boShowStatusArea, TPFolderDialog::boNewStyle,
                             TPFolderDialog::boNoNewFolderButton});
    QStringList seen;
    auto record = [&seen](Browser* browser) {
      seen << dialogButton(browser, QDialogButtonBox::Open)->text()
           << dialogButton(browser, QDialogButtonBox::Cancel)->text() << browser->windowTitle()
           << browser->findChild<QLabel*>(QStringLiteral("StatusLabel"))->text()
           << browser->findChild<QLabel*>(QStringLiteral("TitleLabel"))->text();
      QVERIFY(!dialogButton(browser, QDialogButtonBox::Open)->isEnabled());
      QVERIFY(!browser->findChild<QWidget*>(QStringLiteral("newFolderButton"))->isVisible());
      rejectBrowser(browser);
    };
    whenOpen(record);
    QVERIFY(!dialog.Execute());  // the standard texts stay
    QVERIFY(!seen.contains(QStringLiteral("Выбрать")) && !seen.contains(QStringLiteral("Отмена")) &&
            !seen.contains(QStringLiteral("Папка сайта")) &&
            !seen.contains(QStringLiteral("Готово")));
    QCOMPARE(seen.last(), QStringLiteral("Куда выгрузить сайт"));

    seen.clear();
    dialog.SetAdvancedOptions({});
    whenOpen(record);
    QVERIFY(!dialog.Execute());
    QCOMPARE(seen,
             QStringList({"Выбрать", "Отмена", "Папка сайта", "Готово", "Куда выгрузить сайт"}));
  }

  void eventsFollowTheBrowsersLife() {
    TPFolderDialog dialog;
    dialog.SetCustomRootFolder(root_);
    QStringList log;
    QList<QString> selections;
    dialog.OnIUnknown = [&](QObject* sender, QObject* unknown) {
      QCOMPARE(sender, &dialog);
      log << (unknown != nullptr ? QStringLiteral("unknown") : QStringLiteral("unknown-gone"));
    };
    dialog.OnInitialized = [&](QObject* sender) {
      QCOMPARE(sender, &dialog);
      QVERIFY(dialog.IsOpen());
      log << QStringLiteral("initialized");
    };
    dialog.OnSelectionChanged = [&](QObject*, const QString& path) { selections << path; };
    dialog.OnResize = [&](QObject*) {
      if (log.last() != QStringLiteral("resize")) log << QStringLiteral("resize");
    };
    dialog.OnDestroy = [&](QObject*) {
      QVERIFY(dialog.IsOpen());
      log << QStringLiteral("destroy");
    };
    int shows_seen_first = 0;
    dialog.OnMessage = [&](TMessage& message) {
      if (message.Msg == QEvent::Show) {
        QCOMPARE(message.WParam, 1);
        ++shows_seen_first;
      }
      if (message.Msg == QEvent::Resize && log.last() == QStringLiteral("sized")) {
        QCOMPARE(message.LParam, (420 << 16) | 610);
      }
      if (message.Msg == TPFolderDialog::DestroyEventType()) log << QStringLiteral("message");
    };
    whenOpen([&](Browser* browser) {
      QCOMPARE(shows_seen_first, 1);
      log << QStringLiteral("sized");
      browser->resize(610, 420);
      auto* view = browser->findChild<QListView*>(QStringLiteral("listView"));
      auto* model = qobject_cast<QFileSystemModel*>(view->model());
      const QModelIndex site = model->index(root_ + QStringLiteral("/Site"));
      QTRY_VERIFY(site.isValid());
      view->setCurrentIndex(site);
      view->setCurrentIndex(QModelIndex());  // no item: no file-system path
      rejectBrowser(browser);
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(log, QStringList({"unknown", "initialized", "resize", "sized", "resize",
                               "unknown-gone", "message", "destroy"}));
    QCOMPARE(selections, QList<QString>({root_ + QStringLiteral("/Site"), QString()}));
  }

  void validateFailedDecidesWhetherTheBrowserCloses() {
    TPFolderDialog dialog;
    TPFolderDialog::ScriptNextResult(QStringLiteral("/kept"));
    QVERIFY(dialog.Execute());
    dialog.SetCustomRootFolder(root_);
    dialog.SetBrowseOptions({TPFolderDialog::boOnlyDirectories, TPFolderDialog::boShowEditBox});
    QStringList names;
    bool keep_open = true;
    dialog.OnValidateFailed = [&](QObject*, const QString& name, bool& can_close) {
      QVERIFY(can_close);
      names << name;
      can_close = !keep_open;
    };
    whenOpen([&](Browser* browser) {
      browser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("no-such");
      acceptBrowser(browser);
      QVERIFY(browser->isVisible());
      keep_open = false;
      acceptBrowser(browser);
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(names, QStringList({"no-such", "no-such"}));
    QCOMPARE(dialog.Folder(), QStringLiteral("/kept"));

    // Unassigned: the browser closes as cancelled.
    dialog.OnValidateFailed = nullptr;
    whenOpen([](Browser* browser) {
      browser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("no-such");
      acceptBrowser(browser);
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(dialog.Folder(), QStringLiteral("/kept"));
  }

  void filesAndLinks() {
    const QString file = root_ + QStringLiteral("/notes.txt");
    const QString link = root_ + QStringLiteral("/SiteLink");
    QVERIFY(QFile::link(root_ + QStringLiteral("/Site"), link));
    TPFolderDialog dialog;
    dialog.SetCustomRootFolder(root_);
    auto choose = [&](const QString& path, bool stays_open) {
      whenOpen([&dialog, path, stays_open](Browser* browser) {
        dialog.SelectFolder(path);
        acceptBrowser(browser);
        QCOMPARE(browser->isVisible(), stays_open);
        if (browser->isVisible()) rejectBrowser(browser);
      });
      return dialog.Execute();
    };
    // A file can be chosen only when files are shown and folders are not required.
    dialog.SetBrowseOptions({TPFolderDialog::boIncludeFiles, TPFolderDialog::boOnlyDirectories});
    QVERIFY(!choose(file, true));
    dialog.SetBrowseOptions({TPFolderDialog::boIncludeFiles});
    QVERIFY(choose(file, false));
    QCOMPARE(dialog.Folder(), file);
    // A link to a folder gives its target unless targets are left untranslated.
    dialog.SetBrowseOptions({TPFolderDialog::boOnlyDirectories});
    QVERIFY(choose(link, false));
    QCOMPARE(dialog.Folder(), root_ + QStringLiteral("/Site"));
    dialog.SetBrowseOptions(
        {TPFolderDialog::boOnlyDirectories, TPFolderDialog::boNoTranslateTargets});
    QVERIFY(choose(link, false));
    QCOMPARE(dialog.Folder(), link);
  }

  void centringHappensAtFirstShowOnly() {
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    QCOMPARE(screen, QRect(0, 0, 800, 800));  // the offscreen platform's screen
    TPFolderDialog dialog;
    dialog.SetAdvancedOptions({TPFolderDialog::aoCenterWindow});
    // Larger than the screen and odd-sized: (800 - 1001) / 2 truncates to -100, not -101, and
    // (800 - 801) / 2 to 0, not -1.
    dialog.OnInitialized = [&](QObject*) { dialog.MoveDialog(3, 4, 1001, 801); };
    QList<QRect> rects;
    whenOpen([&](Browser* browser) {
      rects << dialog.GetDialogRect();
      dialog.MoveDialog(10, 20, 500, 400);
      QShowEvent again;
      QApplication::sendEvent(browser, &again);
      rects << dialog.GetDialogRect();
      dialog.MoveDialog(0, 0, 301, 201);
      dialog.CenterDialog();
      rects << dialog.GetDialogRect();
      rejectBrowser(browser);
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(rects, QList<QRect>({QRect(-100, 0, 1001, 801), QRect(10, 20, 500, 400),
                                  QRect(249, 299, 301, 201)}));

    // Without the option the browser stays where it was put.
    dialog.SetAdvancedOptions({});
    rects.clear();
    whenOpen([&](Browser* browser) {
      rects << dialog.GetDialogRect();
      rejectBrowser(browser);
    });
    QVERIFY(!dialog.Execute());
    QCOMPARE(rects, QList<QRect>({QRect(3, 4, 1001, 801)}));
  }

 private:
  std::unique_ptr<QTemporaryDir> temp_;
  QString root_;
  QTimer watchdog_;
};

QTEST_MAIN(TestPFolderDialog)
#include "PFolderDialogTest.moc"
