// What the preview server serves and how: the one file a request path may
// name inside the site folder, the Content-Type of a file, and the script
// that reloads a page, which goes into the HTML answers only (never into the
// files on disk).
#pragma once

#include <QByteArray>
#include <QString>

namespace orvana::preview {

// The file a request's path names inside `siteFolder`, as its canonical
// path; an empty string when it names nothing that may be served. `encodedPath`
// is the path as the request spells it (percent-encoded, without query and
// fragment). It is decoded once, and then refused when it holds a NUL or
// another control byte, a backslash, or a segment that begins with a dot
// ("..", ".", hidden files and the build's temporaries); a folder stands for
// its index.html. The file found must be a regular file whose real path,
// links followed, lies inside the folder's real path, so a link inside the
// folder that points out of it is refused too.
QString resolveSitePath(const QString &siteFolder, const QByteArray &encodedPath);

// The Content-Type of a served file by its suffix: HTML, CSS, JavaScript
// and plain text carry `charset` (the site's output encoding), XML carries
// none (its declaration names it), images and fonts their own types, and
// anything else is application/octet-stream.
QByteArray contentTypeFor(const QString &fileName, const QByteArray &charset);

// The path of the reload channel (an event stream). It begins with a dotted
// segment, which resolveSitePath never serves, so no file can hide it.
inline constexpr char kReloadPath[] = "/.orvana-preview/reload";

// The page with the reload script inserted before its last </body> (any
// case), or appended when it has none. The script is ASCII, so it reads the
// same in Windows-1251 and UTF-8 pages.
QByteArray withReloadScript(const QByteArray &html);

}  // namespace orvana::preview
