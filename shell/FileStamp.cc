#include "shell/FileStamp.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

#include "gui/BackgroundWork.h"

namespace orvana {
namespace {

// Files up to this size are read on the window's thread at once.
constexpr qint64 kQuickBytes = qint64{8} << 20;

QByteArray DigestOf(QFile& file) {
  QCryptographicHash hash(QCryptographicHash::Sha1);
  if (!hash.addData(&file)) return {};
  return hash.result();
}

}  // namespace

TFileStamp StampOf(const QString& path) {
  TFileStamp stamp;
  const QFileInfo info(path);
  stamp.path = info.absoluteFilePath();
  if (!info.isFile()) return stamp;
  QFile file(stamp.path);
  if (!file.open(QIODevice::ReadOnly)) return stamp;
  // Size and time from the open file's own moment, before its bytes.
  stamp.size = info.size();
  stamp.modified = info.lastModified();
  if (file.size() <= kQuickBytes)
    stamp.digest = DigestOf(file);
  else
    RunKeepingWindowsPainted([&] { stamp.digest = DigestOf(file); });
  return stamp;
}

bool ChangedOnDisk(const TFileStamp& stamp, TFileStamp* now) {
  if (!stamp.IsValid()) return false;
  const QFileInfo info(stamp.path);
  if (!info.isFile()) return true;
  if (info.size() == stamp.size && info.lastModified() == stamp.modified) {
    if (now) *now = stamp;
    return false;
  }
  const TFileStamp current = StampOf(stamp.path);
  if (now) *now = current;
  return current.digest != stamp.digest;
}

}  // namespace orvana
