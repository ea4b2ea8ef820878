// TPFolderDialog: a non-visual component that lets the user pick a folder.
//
// It shows the platform's folder browser (here Qt's own directory dialog, a non-native
// QFileDialog in Directory mode) modally and returns the folder that the user chose. Properties
// set the root of the folder tree, the browse options, the initial selection and the dialog's
// texts; the browser's life is reported through events, and while the browser is open a few
// operations act on it (enable OK, select or expand a folder, set texts, move, centre).
//
// Root folders. RootFolder names one of the classic special folders; on this platform each maps
// to a standard location. When a location does not exist on this machine, the home folder is
// used instead, and "/" when there is no home folder either.
//
//   sfRecycleBin           <generic data>/Trash/files (the freedesktop trash)
//   sfControlPanel         home (no counterpart)
//   sfDesktop              the whole file system "/", opening at the desktop folder (the desktop
//                          is the top of the browsable world, as in a classic shell browser)
//   sfDesktopDirectory     the desktop folder (QStandardPaths::DesktopLocation)
//   sfMyComputer           "/"
//   sfFontsDirectory       the first existing fonts folder (QStandardPaths::FontsLocation)
//   sfNetHood              home (no counterpart)
//   sfNetworkNeighborhood  home (no counterpart)
//   sfMyDocuments          the documents folder (QStandardPaths::DocumentsLocation)
//   sfPrinters             home (no counterpart)
//   sfPrograms             the applications menu folder (QStandardPaths::ApplicationsLocation)
//   sfRecent               home (no counterpart: recent files are a list, not a folder)
//   sfSendTo               home (no counterpart)
//   sfStartMenu            the applications menu folder (QStandardPaths::ApplicationsLocation)
//   sfStartup              <config>/autostart (the freedesktop autostart folder)
//   sfTemplates            home/Templates
//
// The user cannot leave the root: navigating above it brings the browser back to the root.
// CustomRootFolder, when not empty, replaces RootFolder; a "/" is appended when it has none, and
// a path that is not an existing folder falls back to the sfDesktop mapping.
//
// Browse options on this platform:
//   boOnlyDirectories     only folders can be returned (files, when shown, cannot be chosen)
//   boIncludeFiles        files are shown besides folders; without boOnlyDirectories they can be
//                         chosen too
//   boNewStyle            resizable browser (size grip) with a "new folder" button
//   boNoNewFolderButton   hides the "new folder" button
//   boShowEditBox         shows the name line under the view, where a name can be typed; a name
//                         that does not exist raises OnValidateFailed
//   boShowStatusArea      shows the status line above the view (StatusText / ShowStatusText)
//   boNoTranslateTargets  symbolic links are returned as themselves, not resolved
//   boOnlyComputers, boOnlyPrinters, boDontGobeLowDomain, boShowUsageHint: no counterpart, ignored
//   boOnlyFileSystemAncestors: always true here, the browser shows only the file system
#pragma once

#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>

class QEventLoop;
class QWidget;

namespace orvana {

class TBrowserWindow;

// A small set of enumeration values (at most 32), like a Pascal set.
template <typename E>
class TOptionSet {
 public:
  constexpr TOptionSet() = default;
  constexpr TOptionSet(std::initializer_list<E> values) {
    for (E v : values) bits_ |= Bit(v);
  }
  constexpr bool Contains(E v) const { return (bits_ & Bit(v)) != 0; }
  constexpr void Include(E v) { bits_ |= Bit(v); }
  constexpr void Exclude(E v) { bits_ &= ~Bit(v); }
  constexpr bool IsEmpty() const { return bits_ == 0; }
  constexpr std::uint32_t Bits() const { return bits_; }
  friend constexpr bool operator==(TOptionSet a, TOptionSet b) { return a.bits_ == b.bits_; }

 private:
  static constexpr std::uint32_t Bit(E v) { return std::uint32_t{1} << static_cast<unsigned>(v); }
  std::uint32_t bits_ = 0;
};

// One event of the open browser window as OnMessage sees it. Msg is the event's type; Event is
// the event itself (handlers may accept, ignore or alter it). For a show or hide event WParam is 1
// or 0; for a resize event LParam holds the new width in its low 16 bits and the height in the
// next 16 bits; otherwise both are 0. Result is what the browser's own handling returned (1 when
// it recognised the event), stored after the event has been passed on.
struct TMessage {
  int Msg = 0;
  std::intptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
  QEvent* Event = nullptr;
};

using TNotifyEvent = std::function<void(QObject* sender)>;
// NewFolder is the file-system path of the newly selected item, empty for an item that has none.
using TSelectionChangedEvent = std::function<void(QObject* sender, const QString& newFolder)>;
// canClose comes in True; a handler that sets it to False keeps the browser open.
using TValidateFailedEvent =
    std::function<void(QObject* sender, const QString& invalidName, bool& canClose)>;
// The browser hands over its object (the QFileDialog) when it is set up, and nullptr when it goes.
using TIUnknownEvent = std::function<void(QObject* sender, QObject* unknown)>;
using TWndMethod = std::function<void(TMessage& message)>;

class TPFolderDialog : public QObject {
  Q_OBJECT

 public:
  enum TSpecialFolder {
    sfRecycleBin,
    sfControlPanel,
    sfDesktop,
    sfDesktopDirectory,
    sfMyComputer,
    sfFontsDirectory,
    sfNetHood,
    sfNetworkNeighborhood,
    sfMyDocuments,
    sfPrinters,
    sfPrograms,
    sfRecent,
    sfSendTo,
    sfStartMenu,
    sfStartup,
    sfTemplates
  };
  enum TBrowseOption {
    boOnlyComputers,
    boOnlyPrinters,
    boDontGobeLowDomain,
    boOnlyFileSystemAncestors,
    boOnlyDirectories,
    boShowStatusArea,
    boNewStyle,
    boIncludeFiles,
    boShowEditBox,
    boNoNewFolderButton,
    boNoTranslateTargets,
    boShowUsageHint
  };
  enum TAdvancedOption {
    aoStandardStatusText,
    aoStandardOkButtonText,
    aoStandardCancelButtonText,
    aoStandardCaption,
    aoCenterWindow
  };
  using TBrowseOptions = TOptionSet<TBrowseOption>;
  using TAdvancedOptions = TOptionSet<TAdvancedOption>;

  // Creates the component with RootFolder sfDesktop, BrowseOptions [boOnlyFileSystemAncestors,
  // boOnlyDirectories, boNewStyle], AdvancedOptions [aoStandardStatusText, aoStandardOkButtonText,
  // aoStandardCancelButtonText, aoStandardCaption], OkButtonEnabled true, every text empty and no
  // event assigned. owner becomes the QObject parent.
  explicit TPFolderDialog(QObject* owner = nullptr);
  ~TPFolderDialog() override;

  // Shows the browser modally over the application's active window and waits until the user
  // closes it. Returns true when a folder was chosen: Folder() then holds its absolute path and
  // DisplayName() its name. Returns false on cancel, leaving both unchanged, and at once when this
  // component's browser is already open. A handler may free the component while its browser is
  // open: the browser closes and Execute returns false without touching the component.
  bool Execute();
  // The same, with the browser owned by (and centred over) owner; owner may be nullptr.
  bool Execute(QWidget* owner);

  // Results of the last successful Execute; empty until then.
  QString Folder() const { return folder_; }
  QString DisplayName() const { return display_name_; }

  // Published properties.
  TSpecialFolder RootFolder() const { return root_folder_; }
  void SetRootFolder(TSpecialFolder value) { root_folder_ = value; }
  QString CustomRootFolder() const { return custom_root_folder_; }
  void SetCustomRootFolder(const QString& value) { custom_root_folder_ = value; }
  TBrowseOptions BrowseOptions() const { return browse_options_; }
  void SetBrowseOptions(TBrowseOptions value) { browse_options_ = value; }
  TAdvancedOptions AdvancedOptions() const { return advanced_options_; }
  void SetAdvancedOptions(TAdvancedOptions value) { advanced_options_ = value; }
  // Text shown above the folder view; no line is shown when it is empty.
  QString Title() const { return title_; }
  void SetTitle(const QString& value) { title_ = value; }
  // Folder selected when the browser opens; Execute never changes it.
  QString SelectedFolder() const { return selected_folder_; }
  void SetSelectedFolder(const QString& value) { selected_folder_ = value; }
  bool OkButtonEnabled() const { return ok_button_enabled_; }
  void SetOkButtonEnabled(bool value) { ok_button_enabled_ = value; }
  // The four texts below are put in only when the matching ao* option is absent.
  QString StatusText() const { return status_text_; }
  void SetStatusText(const QString& value) { status_text_ = value; }
  QString OkButtonText() const { return ok_button_text_; }
  void SetOkButtonText(const QString& value) { ok_button_text_ = value; }
  QString CancelButtonText() const { return cancel_button_text_; }
  void SetCancelButtonText(const QString& value) { cancel_button_text_ = value; }
  // Folder opened (its contents shown) when the browser opens.
  QString ExpandedFolder() const { return expanded_folder_; }
  void SetExpandedFolder(const QString& value) { expanded_folder_ = value; }
  QString Caption() const { return caption_; }
  void SetCaption(const QString& value) { caption_ = value; }

  // Events; an empty function is an unassigned event. All run on the GUI thread while the
  // browser is open.
  TIUnknownEvent OnIUnknown;
  TNotifyEvent OnInitialized;  // the browser is set up and about to be shown
  TSelectionChangedEvent OnSelectionChanged;
  TValidateFailedEvent OnValidateFailed;
  TNotifyEvent OnResize;
  TNotifyEvent OnDestroy;  // the browser is closing; IsOpen() is still true
  TWndMethod OnMessage;    // sees every event of the browser window first

  // The event type that announces the browser's destruction to OnMessage.
  static QEvent::Type DestroyEventType();

  // Operations on the open browser. Each does nothing when no browser is open.
  bool IsOpen() const { return handle_ != nullptr; }
  // The browser's window while it is open, nullptr otherwise.
  QWidget* Handle() const;
  void EnableOkButton(bool value);
  // Selects the folder at path (nothing for an empty path or one outside the root).
  void SelectFolder(const QString& path);
  // Opens the folder at path so that its contents are shown; it becomes the current folder.
  void ExpandFolder(const QString& path);
  void ShowStatusText(const QString& text);
  void ShowOkButtonText(const QString& text);
  void ShowCancelButtonText(const QString& text);
  void ShowCaption(const QString& text);
  // Moves the browser's frame to (x, y) and sizes the frame to width x height.
  void MoveDialog(int x, int y, int width, int height);
  // The browser's frame rectangle on the screen; an empty rectangle when none is open.
  QRect GetDialogRect() const;
  // Centres the browser on its screen: x = (screen width - w) / 2, y = (screen height - h) / 2.
  void CenterDialog();

  // The folder that special folder maps to on this machine (see the table above): always an
  // absolute path of an existing folder, without a trailing "/" except for "/" itself.
  static QString SpecialFolderPath(TSpecialFolder folder);

  // Test hook: each queued entry answers one later Execute without showing anything. A path
  // means the user chose it (Execute returns true, Folder() is the path exactly as given and
  // DisplayName() its last component); std::nullopt means the user cancelled.
  static void ScriptNextResult(std::optional<QString> folder);
  static void ClearScript();

 private:
  friend class TBrowserWindow;

  // The pieces of one Execute, in order.
  //
  // The outcome a test has queued for this Execute, taken from the queue; nullopt when none is
  // queued and the browser is to be shown.
  std::optional<bool> takeScriptedOutcome();
  // Sets root_, the tree's root for this run, and start_, where the browser opens when nothing is
  // selected.
  void resolveRoot();
  // Builds the browser window over owner, laid out after the browse options and the title; it is
  // not shown yet.
  TBrowserWindow* createBrowser(QWidget* owner);
  void applyBrowseOptions(TBrowserWindow* window) const;
  void addTitleAndStatusLines(TBrowserWindow* window) const;
  // The name line without boShowEditBox, the "new folder" button without boNewStyle or with
  // boNoNewFolderButton.
  void hideUnwantedControls(TBrowserWindow* window) const;
  // Sets the browser up, shows it and waits until it is closed or hidden. Returns false when a
  // handler freed the component meanwhile; nothing of it may be touched then.
  bool runBrowser(const QPointer<TBrowserWindow>& window);
  // Reports the browser's end (OnIUnknown with nullptr, the destroy event), then frees it and
  // clears the run's state. Returns false, freeing nothing, when a handler freed the component.
  bool closeBrowser(const QPointer<TBrowserWindow>& window);

  // Puts the properties into the new browser and reports it ready; from here on it is open.
  void initializeBrowser();
  // Routes one event of the browser window; returns what the window's own handling returned.
  bool dialogEvent(TBrowserWindow* window, QEvent* event);
  // The user accepted: closes the browser with the chosen folder, keeps it open, or closes it
  // as cancelled when the typed name names nothing (after OnValidateFailed).
  void browserAccept(TBrowserWindow* window);
  void selectionChanged(const QString& path);
  void keepInsideRoot(const QString& directory);
  bool isInsideRoot(const QString& path) const;

  TSpecialFolder root_folder_ = sfDesktop;
  QString custom_root_folder_;
  TBrowseOptions browse_options_{boOnlyFileSystemAncestors, boOnlyDirectories, boNewStyle};
  TAdvancedOptions advanced_options_{aoStandardStatusText, aoStandardOkButtonText,
                                     aoStandardCancelButtonText, aoStandardCaption};
  QString title_;
  QString selected_folder_;
  bool ok_button_enabled_ = true;
  QString status_text_;
  QString ok_button_text_;
  QString cancel_button_text_;
  QString expanded_folder_;
  QString caption_;

  QString folder_;
  QString display_name_;

  // State of one Execute.
  QPointer<TBrowserWindow> window_;   // the browser, from creation to the end of Execute
  TBrowserWindow* handle_ = nullptr;  // set while the browser is open (after its set-up)
  QEventLoop* loop_ = nullptr;
  QString root_;             // the tree's root for this run
  QString start_;            // where the browser opens when nothing is selected
  QString chosen_;           // the accepted path
  bool first_show_ = false;  // set up for the browser's first showing, cleared by the centring
};

}  // namespace orvana
