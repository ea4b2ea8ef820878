// Copies of projects kept so that nothing typed is lost for good.
//
// The store is a folder, "$XDG_DATA_HOME/orvana/recovery" (by default
// ~/.local/share/orvana/recovery). Each entry is two files named by the
// entry's id: the project as a project file ("ID.orvana") and a description
// ("ID.json": what the project is called, the file it came from or was saved
// to, when it was kept, and which run keeps it). Both are written to a
// temporary file and renamed into place, the description last: an entry is
// listed only once whole, and a crash midway leaves the previous copy.
//
// Entries are of two kinds:
//   - session entries, kept every few seconds for each changed project while
//     a run of the program is editing it; the run removes them when the
//     project is saved or closed. Those of a run that ended without removing
//     them (a crash, a power cut) are orphans, offered at the next start;
//   - closed entries: projects closed without saving, with their edits. The
//     newest kMaxClosed are kept, for at most kKeepDays days.
//
// Each run holds a lock file in the folder ("run-PID.lock"); a run whose lock
// can be taken has ended.
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <memory>

#include "shell/FileStamp.h"

class QLockFile;

namespace orvana {

struct TRecoveryEntry {
  enum Kind { Session, Closed };

  QString id;
  Kind kind = Session;
  // The project's name as the window shows it.
  QString name;
  // The file the project was opened from or last saved to, and what it held
  // then; empty for a project never saved.
  TFileStamp original;
  // The run that keeps a session entry.
  qint64 pid = 0;
  QDateTime kept;

  // The entry's copy of the project.
  QString projectFile;
};

class TRecoveryStore {
 public:
  static constexpr int kMaxClosed = 20;
  static constexpr int kKeepDays = 14;

  // The store's folder; created when the first entry is kept.
  static QString DefaultFolder();
  // Test hook: stores made later use folder; empty restores the default.
  static void SetDefaultFolder(const QString& folder);

  // The store in folder, kept by the run pid (this process by default),
  // whose lock it takes.
  explicit TRecoveryStore(const QString& folder = DefaultFolder(), qint64 pid = -1);
  ~TRecoveryStore();

  QString Folder() const { return m_folder; }

  // A new id for an entry of this run.
  QString NewId();

  // Keeps an entry under entry.id, replacing an earlier one of that id:
  // writeProject writes the project into the file name it is given. Throws
  // what writeProject throws, and std::runtime_error when the copy cannot
  // be put in place; the earlier entry then stays.
  void Keep(const TRecoveryEntry& entry, const std::function<void(const QString&)>& writeProject);
  // Removes the entry; nothing when there is none.
  void Remove(const QString& id);
  // Turns an entry of this run into a closed one.
  void MarkClosed(const QString& id);

  // The entries of one kind, newest first. Session entries: of every run.
  QList<TRecoveryEntry> Entries(TRecoveryEntry::Kind kind) const;
  // The session entries of runs that have ended, newest first.
  QList<TRecoveryEntry> Orphans() const;
  // Drops closed entries beyond the newest kMaxClosed, every entry and
  // stray file older than kKeepDays, and the locks of runs that ended.
  void Prune();

  // The description file of an entry id.
  QString DescriptionFile(const QString& id) const;

 private:
  bool runHasEnded(qint64 pid) const;

  QString m_folder;
  qint64 m_pid;
  int m_serial = 0;
  std::unique_ptr<QLockFile> m_lock;
};

}  // namespace orvana
