#include "preview/PreviewFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>

namespace orvana::preview {

QString resolveSitePath(const QString &siteFolder, const QByteArray &encodedPath) {
  if (siteFolder.isEmpty() || !encodedPath.startsWith('/')) return {};
  // Decoded once: "%2e%2e", "%2F" and "%5C" become the dots, slashes and
  // backslashes they spell, and are judged as such below.
  const QByteArray decoded = QByteArray::fromPercentEncoding(encodedPath);
  for (const char c : decoded)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f || c == '\\') return {};
  const QString path = QString::fromUtf8(decoded);
  // Bytes that are not UTF-8 name no file the site's build writes.
  if (path.contains(QChar::ReplacementCharacter)) return {};
  QStringList segments;
  for (const QString &segment : path.split(u'/', Qt::SkipEmptyParts)) {
    if (segment.startsWith(u'.')) return {};
    segments.append(segment);
  }
  const QString root = QFileInfo(siteFolder).canonicalFilePath();
  if (root.isEmpty()) return {};
  QString candidate = root + u'/' + segments.join(u'/');
  if (QFileInfo(candidate).isDir()) candidate += QStringLiteral("/index.html");
  const QFileInfo file(candidate);
  const QString real = file.canonicalFilePath();
  if (real.isEmpty() || !real.startsWith(root + u'/')) return {};
  if (!QFileInfo(real).isFile()) return {};
  return real;
}

QByteArray contentTypeFor(const QString &fileName, const QByteArray &charset) {
  static const QHash<QString, QByteArray> textTypes = {
      {QStringLiteral("html"), "text/html"}, {QStringLiteral("htm"), "text/html"},
      {QStringLiteral("css"), "text/css"},   {QStringLiteral("js"), "text/javascript"},
      {QStringLiteral("txt"), "text/plain"},
  };
  static const QHash<QString, QByteArray> otherTypes = {
      {QStringLiteral("xml"), "application/xml"}, {QStringLiteral("json"), "application/json"},
      {QStringLiteral("png"), "image/png"},       {QStringLiteral("jpg"), "image/jpeg"},
      {QStringLiteral("jpeg"), "image/jpeg"},     {QStringLiteral("gif"), "image/gif"},
      {QStringLiteral("webp"), "image/webp"},     {QStringLiteral("avif"), "image/avif"},
      {QStringLiteral("bmp"), "image/bmp"},       {QStringLiteral("svg"), "image/svg+xml"},
      {QStringLiteral("ico"), "image/x-icon"},    {QStringLiteral("woff"), "font/woff"},
      {QStringLiteral("woff2"), "font/woff2"},    {QStringLiteral("pdf"), "application/pdf"},
  };
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (const auto text = textTypes.constFind(suffix); text != textTypes.cend())
    return *text + "; charset=" + charset;
  return otherTypes.value(suffix, "application/octet-stream");
}

namespace {

// Listens to the reload channel of the server the page came from: "reload"
// reloads the page, "error" shows the build's message over the page (the
// site under it is the last one built). The browser opens a lost channel
// again by itself, so a page outlives a restarted server.
constexpr char kScriptHead[] =
    "<script>/* orvana preview */(function(){var box=null;"
    "function show(m){if(!box){box=document.createElement('div');"
    "box.id='orvana-preview-error';box.setAttribute('style','position:fixed;"
    "z-index:2147483647;left:0;right:0;top:0;margin:0;padding:1em;background:#fee;"
    "color:#700;border-bottom:3px solid #b00;font:15px/1.4 sans-serif;white-space:pre-wrap');"
    "document.documentElement.appendChild(box);}"
    "box.textContent='\\u0421\\u0431\\u043e\\u0440\\u043a\\u0430 \\u043d\\u0435 "
    "\\u0443\\u0434\\u0430\\u043b\\u0430\\u0441\\u044c:\\n'+m;}"
    "var events=new EventSource('";
constexpr char kScriptTail[] =
    "');events.onmessage=function(e){var d=JSON.parse(e.data);"
    "if(d.type==='reload')location.reload();else if(d.type==='error')show(d.message);};"
    "})();</script>\n";

}  // namespace

QByteArray withReloadScript(const QByteArray &html) {
  static const QByteArray script = QByteArray(kScriptHead) + kReloadPath + kScriptTail;
  const QByteArray lower = html.toLower();
  const qsizetype at = lower.lastIndexOf("</body");
  QByteArray page = html;
  if (at < 0) return page.append(script);
  return page.insert(at, script);
}

}  // namespace orvana::preview
