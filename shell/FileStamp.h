// What a project file held when the window last read or wrote it, so that a
// change by another program can be told from the window's own writes.
//
// A stamp keeps the file's size, time of change and a digest of its bytes.
// The file counts as changed when its bytes differ: a file merely touched
// (a new time, the same bytes) is not changed, and one rewritten within the
// same time stamp with other bytes of the same size is, as long as its time
// or size moved (the digest is taken again only then).
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace orvana {

struct TFileStamp {
  QString path;  // absolute
  qint64 size = -1;
  QDateTime modified;
  QByteArray digest;

  bool IsValid() const { return !digest.isEmpty(); }
};

// The file at path as it is now; an invalid stamp when it cannot be read.
// Large files are read on another thread while the windows keep painting.
TFileStamp StampOf(const QString& path);

// True when the file the stamp was taken of now holds other bytes, or has
// gone. An invalid stamp never counts as changed. `now`, when given, receives
// the file's stamp as it is now (taken only when its size or time moved).
bool ChangedOnDisk(const TFileStamp& stamp, TFileStamp* now = nullptr);

}  // namespace orvana
