#include "shell/Settings.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace orvana {
namespace {

const QString kRecentKey = QStringLiteral("RecentProjects");

QString& settingsOverride() {
  static QString file;
  return file;
}

void storeRecent(const QStringList& list) {
  auto settings = OpenSettings();
  if (list.isEmpty())
    settings->remove(kRecentKey);
  else
    settings->setValue(kRecentKey, list);
}

}  // namespace

QString SettingsFileName() {
  if (!settingsOverride().isEmpty()) return settingsOverride();
  return QDir(QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation))
      .filePath(QStringLiteral("orvana.conf"));
}

void SetSettingsFileName(const QString& file) { settingsOverride() = file; }

std::unique_ptr<QSettings> OpenSettings() {
  return std::make_unique<QSettings>(SettingsFileName(), QSettings::IniFormat);
}

QStringList RecentProjects() {
  QStringList list = OpenSettings()->value(kRecentKey).toStringList();
  list.removeAll(QString());
  list.removeDuplicates();
  while (list.size() > kMaxRecentProjects) list.removeLast();
  return list;
}

void AddRecentProject(const QString& path) {
  const QString file = QFileInfo(path).absoluteFilePath();
  QStringList list = RecentProjects();
  list.removeAll(file);
  list.prepend(file);
  while (list.size() > kMaxRecentProjects) list.removeLast();
  storeRecent(list);
}

void RemoveRecentProject(const QString& path) {
  QStringList list = RecentProjects();
  if (list.removeAll(QFileInfo(path).absoluteFilePath()) > 0) storeRecent(list);
}

void ClearRecentProjects() { storeRecent({}); }

}  // namespace orvana
