#include "shell/RecoveryStore.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLockFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <stdexcept>

namespace orvana {
namespace {

QString& folderOverride() {
  static QString folder;
  return folder;
}

const QString kProjectSuffix = QStringLiteral(".orvana");
const QString kDescriptionSuffix = QStringLiteral(".json");

QString LockFileOf(const QString& folder, qint64 pid) {
  return QDir(folder).filePath(QStringLiteral("run-%1.lock").arg(pid));
}

QJsonObject DescriptionOf(const TRecoveryEntry& entry) {
  QJsonObject json;
  json[QStringLiteral("kind")] =
      entry.kind == TRecoveryEntry::Closed ? QStringLiteral("closed") : QStringLiteral("session");
  json[QStringLiteral("name")] = entry.name;
  json[QStringLiteral("pid")] = entry.pid;
  json[QStringLiteral("kept")] = entry.kept.toString(Qt::ISODateWithMs);
  if (!entry.original.path.isEmpty()) {
    json[QStringLiteral("file")] = entry.original.path;
    json[QStringLiteral("fileSize")] = entry.original.size;
    json[QStringLiteral("fileModified")] = entry.original.modified.toMSecsSinceEpoch();
    json[QStringLiteral("fileDigest")] = QString::fromLatin1(entry.original.digest.toHex());
  }
  return json;
}

bool EntryOf(const QString& folder, const QString& id, const QJsonObject& json,
             TRecoveryEntry* entry) {
  const QString kind = json.value(QStringLiteral("kind")).toString();
  if (kind != QStringLiteral("closed") && kind != QStringLiteral("session")) return false;
  entry->id = id;
  entry->kind = kind == QStringLiteral("closed") ? TRecoveryEntry::Closed : TRecoveryEntry::Session;
  entry->name = json.value(QStringLiteral("name")).toString();
  entry->pid = json.value(QStringLiteral("pid")).toInteger();
  entry->kept =
      QDateTime::fromString(json.value(QStringLiteral("kept")).toString(), Qt::ISODateWithMs);
  entry->original.path = json.value(QStringLiteral("file")).toString();
  if (!entry->original.path.isEmpty()) {
    entry->original.size = json.value(QStringLiteral("fileSize")).toInteger(-1);
    entry->original.modified =
        QDateTime::fromMSecsSinceEpoch(json.value(QStringLiteral("fileModified")).toInteger());
    entry->original.digest =
        QByteArray::fromHex(json.value(QStringLiteral("fileDigest")).toString().toLatin1());
  }
  entry->projectFile = QDir(folder).filePath(id + kProjectSuffix);
  return entry->kept.isValid() && QFileInfo(entry->projectFile).isFile();
}

[[noreturn]] void ThrowWriteError(const QString& file, const QString& reason) {
  throw std::runtime_error(
      QStringLiteral("Cannot create file \"%1\". %2").arg(file, reason).toStdString());
}

}  // namespace

QString TRecoveryStore::DefaultFolder() {
  if (!folderOverride().isEmpty()) return folderOverride();
  // $XDG_DATA_HOME, or ~/.local/share.
  QString data = qEnvironmentVariable("XDG_DATA_HOME");
  if (data.isEmpty() || QDir::isRelativePath(data))
    data = QDir::home().filePath(QStringLiteral(".local/share"));
  return QDir(data).filePath(QStringLiteral("orvana/recovery"));
}

void TRecoveryStore::SetDefaultFolder(const QString& folder) { folderOverride() = folder; }

TRecoveryStore::TRecoveryStore(const QString& folder, qint64 pid)
    : m_folder(folder), m_pid(pid >= 0 ? pid : QCoreApplication::applicationPid()) {
  if (!QDir().mkpath(m_folder)) return;
  m_lock = std::make_unique<QLockFile>(LockFileOf(m_folder, m_pid));
  // Only a run that has ended gives its lock up, however long it runs.
  m_lock->setStaleLockTime(0);
  if (!m_lock->tryLock(0)) m_lock.reset();
}

TRecoveryStore::~TRecoveryStore() = default;

QString TRecoveryStore::NewId() {
  return QStringLiteral("%1-%2-%3")
      .arg(QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddhhmmsszzz")))
      .arg(m_pid)
      .arg(++m_serial);
}

QString TRecoveryStore::DescriptionFile(const QString& id) const {
  return QDir(m_folder).filePath(id + kDescriptionSuffix);
}

void TRecoveryStore::Keep(const TRecoveryEntry& entry,
                          const std::function<void(const QString&)>& writeProject) {
  if (!QDir().mkpath(m_folder))
    ThrowWriteError(m_folder, QStringLiteral("Cannot create the folder"));
  const QString project = QDir(m_folder).filePath(entry.id + kProjectSuffix);
  const QString temporary = project + QStringLiteral(".part");
  try {
    writeProject(temporary);
  } catch (...) {
    QFile::remove(temporary);
    throw;
  }
  // rename() replaces the earlier copy in one step; QFile::rename would not.
  if (std::rename(QFile::encodeName(temporary).constData(),
                  QFile::encodeName(project).constData()) != 0) {
    const QString reason = QString::fromLocal8Bit(std::strerror(errno));
    QFile::remove(temporary);
    ThrowWriteError(project, reason);
  }
  TRecoveryEntry described = entry;
  if (!described.kept.isValid()) described.kept = QDateTime::currentDateTimeUtc();
  QSaveFile description(DescriptionFile(entry.id));
  if (!description.open(QIODevice::WriteOnly) ||
      description.write(QJsonDocument(DescriptionOf(described)).toJson()) < 0 ||
      !description.commit())
    ThrowWriteError(description.fileName(), description.errorString());
}

void TRecoveryStore::Remove(const QString& id) {
  if (id.isEmpty()) return;
  // The description first: without it the copy is no entry any more.
  QFile::remove(DescriptionFile(id));
  QFile::remove(QDir(m_folder).filePath(id + kProjectSuffix));
}

void TRecoveryStore::MarkClosed(const QString& id) {
  QFile file(DescriptionFile(id));
  if (!file.open(QIODevice::ReadOnly)) return;
  QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
  file.close();
  json[QStringLiteral("kind")] = QStringLiteral("closed");
  json[QStringLiteral("kept")] = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
  QSaveFile description(file.fileName());
  if (description.open(QIODevice::WriteOnly)) {
    description.write(QJsonDocument(json).toJson());
    description.commit();
  }
}

QList<TRecoveryEntry> TRecoveryStore::Entries(TRecoveryEntry::Kind kind) const {
  QList<TRecoveryEntry> entries;
  const QDir dir(m_folder);
  const QStringList names =
      dir.entryList({QStringLiteral("*") + kDescriptionSuffix}, QDir::Files, QDir::Name);
  for (const QString& name : names) {
    QFile file(dir.filePath(name));
    if (!file.open(QIODevice::ReadOnly)) continue;
    TRecoveryEntry entry;
    const QString id = name.chopped(kDescriptionSuffix.size());
    if (EntryOf(m_folder, id, QJsonDocument::fromJson(file.readAll()).object(), &entry) &&
        entry.kind == kind)
      entries << entry;
  }
  std::stable_sort(
      entries.begin(), entries.end(),
      [](const TRecoveryEntry& a, const TRecoveryEntry& b) { return a.kept > b.kept; });
  return entries;
}

bool TRecoveryStore::runHasEnded(qint64 pid) const {
  if (pid == m_pid) return false;
  // The lock of a run that has ended is taken (and given back) at once.
  QLockFile lock(LockFileOf(m_folder, pid));
  lock.setStaleLockTime(0);
  if (!lock.tryLock(0)) return false;
  lock.unlock();
  return true;
}

QList<TRecoveryEntry> TRecoveryStore::Orphans() const {
  QList<TRecoveryEntry> orphans;
  for (const TRecoveryEntry& entry : Entries(TRecoveryEntry::Session))
    if (runHasEnded(entry.pid)) orphans << entry;
  return orphans;
}

void TRecoveryStore::Prune() {
  const QDateTime oldest = QDateTime::currentDateTimeUtc().addDays(-kKeepDays);
  const QList<TRecoveryEntry> closed = Entries(TRecoveryEntry::Closed);
  for (qsizetype i = 0; i < closed.size(); ++i)
    if (i >= kMaxClosed || closed[i].kept < oldest) Remove(closed[i].id);
  for (const TRecoveryEntry& entry : Orphans())
    if (entry.kept < oldest) Remove(entry.id);
  // Copies whose description never came, leftovers of writes, and the locks
  // of runs that ended (taking one that is free removes it).
  const QDir dir(m_folder);
  for (const QFileInfo& file : dir.entryInfoList(QDir::Files)) {
    const QString name = file.fileName();
    if (name.startsWith(QStringLiteral("run-"))) {
      runHasEnded(name.section(u'-', 1).section(u'.', 0, 0).toLongLong());
      continue;
    }
    if (file.lastModified() >= oldest) continue;
    const QString id = name.section(u'.', 0, 0);
    if (name.endsWith(kDescriptionSuffix) || !QFileInfo::exists(DescriptionFile(id)))
      QFile::remove(file.absoluteFilePath());
  }
}

}  // namespace orvana
