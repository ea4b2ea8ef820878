// What the desktop program remembers between runs: the projects opened or
// saved last and the main window's geometry, in one INI file in the user's
// configuration folder (QStandardPaths::AppConfigLocation, "orvana.conf").
#pragma once

#include <QString>
#include <QStringList>

#include <memory>

class QSettings;

namespace orvana {

// How many recent projects are kept.
inline constexpr int kMaxRecentProjects = 8;

// The settings file every access below uses.
QString SettingsFileName();
// Test hook: later accesses use file instead of the user's own settings; an
// empty name restores the default.
void SetSettingsFileName(const QString& file);
// The settings, read from SettingsFileName(); written back when destroyed.
std::unique_ptr<QSettings> OpenSettings();

// The project files opened or saved last, newest first, each once, at most
// kMaxRecentProjects.
QStringList RecentProjects();
// Puts path (made absolute) first, dropping an older entry of the same file
// and the oldest entry beyond the limit.
void AddRecentProject(const QString& path);
void RemoveRecentProject(const QString& path);
void ClearRecentProjects();

}  // namespace orvana
