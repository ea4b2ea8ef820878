// orvana-cli serve: builds a project's site, serves its folder to the
// browser on 127.0.0.1 and, whenever the project file changes, builds it
// again and reloads the open pages.
//
// The server is Qt's; a tool built without it (the Qt-free tree, the Debian
// package for servers) keeps the command and its help and says so when run.
#include <ostream>
#include <string>

#include "cli/CliError.h"
#include "cli/Commands.h"

#if ORVANA_CLI_SERVE
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QProcess>
#include <QSocketNotifier>
#include <QTimer>
#include <clocale>
#include <memory>
#include <sstream>

#include "cli/Cli.h"
#include "cli/CommandSupport.h"
#include "engine/FileSystem.h"
#include "engine/SiteGenerator.h"
#include "preview/PreviewServer.h"
#include "project/ProjectDocument.h"
#endif

namespace orvana::cli {
constexpr TCommandHelp kServeHelp = {
    "Usage: orvana-cli serve PROJECT [--port N] [--open]\n"
    "\n"
    "Builds the site of PROJECT as `build` does (into the project's output\n"
    "folder) and serves that folder on 127.0.0.1, to this machine only. The\n"
    "first line of the output is the site's address, http://127.0.0.1:PORT/.\n"
    "Whenever PROJECT changes on disk (saved by the desktop application, by\n"
    "`orvana-cli set` or by an editor) the site is built again and every page\n"
    "open in a browser reloads by itself; a build that fails prints its error,\n"
    "shows it over the open pages and leaves the last site served. HTML pages\n"
    "are answered with a small reload script added; the files are not\n"
    "changed. Only GET and HEAD are answered, only with files inside the\n"
    "folder. When the first build fails there is nothing to serve: the error\n"
    "is printed and the exit status is 1. Ctrl+C (SIGINT) or SIGTERM stops it\n"
    "with exit status 0.\n"
    "\n",
    17,
    "\n"
    "serve is built when Qt's HTTP server is at hand (Qt 6 HttpServer and\n"
    "WebSockets); a tool built without Qt says so and exits with 1.\n"};

const std::vector<TOptionEntry>& ServeOptions() {
  static const std::vector<TOptionEntry> options = {
      {"port", true, "N", "listen on port N (1 to 65535); 0 or none: a free port"},
      {"open", false, nullptr, "open the site in the desktop's browser (xdg-open)"},
  };
  return options;
}

#if !ORVANA_CLI_SERVE

int RunServe(const TCommandArgs&, std::ostream&, std::ostream&) {
  throw ECliError(
      "serve: this orvana-cli was built without the preview server (Qt 6 HttpServer and "
      "WebSockets)");
}

#else

namespace {

// The one build serve runs, the same as `build PROJECT`: the site is
// written into the project's folder; the summary goes to `out`, a failure
// to `err`. Returns build's exit status.
int BuildSiteOnce(const std::string& project, std::ostream& out, std::ostream& err) {
  TCommandArgs args;
  args.positional = {project};
  return RunBuild(args, out, err);
}

// What identifies one version of the project file: a save through a new
// file and a rename changes the inode, a save in place the time or size.
struct TFileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modified_ns = 0;
  bool operator==(const TFileStamp&) const = default;
};

TFileStamp StampOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return {};
  return {true, st.st_dev, st.st_ino, st.st_size,
          int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec};
}

// The write end of the pipe the stop signals are handed over on.
int stop_pipe_write = -1;

extern "C" void OnStopSignal(int) {
  const char byte = 1;
  (void)!::write(stop_pipe_write, &byte, 1);
}

// One serving session: the server, the project watched, the builds.
class TServeSession {
 public:
  TServeSession(const TProjectArg& project, std::ostream& out, std::ostream& err)
      : project_(project), out_(out), err_(err) {}

  // Builds once; on success starts listening and prints the address first.
  int Start(quint16 port, bool open);
  // Builds again and tells the open pages.
  void Rebuild();
  // Builds again when the file is another version than the last built.
  void CheckForChange();

 private:
  // Where the project's site goes and in which charset, as it now stands.
  bool ReadSite();

  TProjectArg project_;
  std::ostream& out_;
  std::ostream& err_;
  TFileStamp built_;
  preview::PreviewServer server_;
};

bool TServeSession::ReadSite() {
  try {
    TProjectDocument document;
    std::ostringstream warnings;  // build has printed them already
    ReadProject(project_, document, warnings);
    const TSiteGenerator& generator = document.Generator();
    const QString folder = QString::fromStdString(generator.SavePath());
    server_.setSite(QDir::current().absoluteFilePath(folder),
                    QByteArray::fromStdString(
                        std::string(OutputEncodingName(generator.Extras().OutputEncoding))));
    return true;
  } catch (const std::exception&) {
    return false;
  }
}

int TServeSession::Start(quint16 port, bool open) {
  built_ = StampOf(project_.native);
  // The summary waits behind the address, which is the first line.
  std::ostringstream summary;
  if (BuildSiteOnce(project_.native, summary, err_) != 0 || !ReadSite()) return 1;
  if (!server_.listen(port)) {
    err_ << "orvana-cli: cannot listen on 127.0.0.1:" << port << '\n';
    return 1;
  }
  const std::string address = server_.address().toStdString();
  out_ << address << '\n' << std::flush;
  out_ << summary.str() << std::flush;
  if (open && !QProcess::startDetached(QStringLiteral("xdg-open"), {server_.address()}))
    err_ << "orvana-cli: cannot start xdg-open; open " << address << " in a browser\n";
  return 0;
}

void TServeSession::Rebuild() {
  std::ostringstream errors;
  const int code = BuildSiteOnce(project_.native, out_, errors);
  err_ << errors.str() << std::flush;
  out_ << std::flush;
  if (code == 0 && ReadSite()) {
    server_.reloadPages();
    return;
  }
  // The pages show the message without the tool's name before each line.
  QString message = QString::fromStdString(errors.str()).trimmed();
  message.replace(QStringLiteral("orvana-cli: "), QString());
  server_.showError(message);
}

void TServeSession::CheckForChange() {
  const TFileStamp now = StampOf(project_.native);
  // A file being replaced is briefly missing; the next change brings it.
  if (!now.exists || now == built_) return;
  built_ = now;
  Rebuild();
}

// Watches the project file: its own changes, and its folder's, since an
// editor that saves by writing a new file and renaming it over the old one
// ends the watch of the old file.
void WatchProject(QFileSystemWatcher& watcher, QTimer& settle, const QString& path,
                  TServeSession& session) {
  watcher.addPath(path);
  watcher.addPath(QFileInfo(path).absolutePath());
  // A save is often several writes; the build starts once they settle.
  settle.setSingleShot(true);
  settle.setInterval(150);
  QObject::connect(&watcher, &QFileSystemWatcher::fileChanged, &settle,
                   qOverload<>(&QTimer::start));
  QObject::connect(&watcher, &QFileSystemWatcher::directoryChanged, &settle,
                   qOverload<>(&QTimer::start));
  QObject::connect(&settle, &QTimer::timeout, &watcher, [&watcher, &session, path] {
    if (!watcher.files().contains(path) && QFileInfo::exists(path)) watcher.addPath(path);
    session.CheckForChange();
  });
}

quint16 PortOption(const TCommandArgs& args) {
  const auto v = args.Value("port");
  if (!v) return 0;
  const std::optional<uint64_t> port = ParseUnsigned64(*v);
  if (!port || *port > 65535)
    throw EUsageError("invalid port '" + *v + "': expected a number from 0 to 65535");
  return static_cast<quint16>(*port);
}

}  // namespace

int RunServe(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
  const TProjectArg project = ProjectArgument(args);
  const quint16 port = PortOption(args);
  RefuseIrregularProjectFile(project);
  // Builds follow one another in this process; each frees its project.
  SetProcessEndsAfterRun(false);

  std::unique_ptr<QCoreApplication> application;
  if (!QCoreApplication::instance()) {
    static int argc = 1;
    static char name[] = "orvana-cli";
    static char* argv[] = {name, nullptr};
    application = std::make_unique<QCoreApplication>(argc, argv);
    // Qt takes the environment's locale; numbers are written the C way.
    std::setlocale(LC_NUMERIC, "C");
  }
  int stop_pipe[2];
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, stop_pipe) != 0)
    throw ECliError("serve: cannot make the signal pipe");
  stop_pipe_write = stop_pipe[1];
  struct sigaction stop {};
  stop.sa_handler = OnStopSignal;
  sigemptyset(&stop.sa_mask);
  struct sigaction old_int = {}, old_term = {}, old_pipe = {};
  ::sigaction(SIGINT, &stop, &old_int);
  ::sigaction(SIGTERM, &stop, &old_term);
  // A reader that went away (`serve ... | head -1`) does not end the server;
  // the output is then lost, and the exit status says so.
  struct sigaction ignore = {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &old_pipe);

  int code;
  {
    TServeSession session(project, out, err);
    QFileSystemWatcher watcher;
    QTimer settle;
    QSocketNotifier stopped(stop_pipe[0], QSocketNotifier::Read);
    QObject::connect(&stopped, &QSocketNotifier::activated, [] { QCoreApplication::quit(); });
    code = session.Start(port, args.Flag("open"));
    if (code == 0) {
      WatchProject(watcher, settle,
                   QFileInfo(QString::fromStdString(project.native)).absoluteFilePath(), session);
      QCoreApplication::exec();
    }
  }
  ::sigaction(SIGINT, &old_int, nullptr);
  ::sigaction(SIGTERM, &old_term, nullptr);
  ::sigaction(SIGPIPE, &old_pipe, nullptr);
  ::close(stop_pipe[0]);
  ::close(stop_pipe[1]);
  stop_pipe_write = -1;
  return code;
}

#endif

}  // namespace orvana::cli
