// orvana-cli publish: builds a project's site and sends what changed to the
// project's host over SFTP or FTP with TLS.
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <ostream>

#include "cli/CliError.h"
#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "engine/CodePage.h"
#include "engine/FileSystem.h"
#include "project/ProjectDocument.h"
#include "publish/KnownHosts.h"
#include "publish/SecretText.h"
#include "publish/SitePublisher.h"

namespace orvana::cli {
constexpr TCommandHelp kPublishHelp = {
    "Usage: orvana-cli publish PROJECT [--to URL] [--no-build] [--dry-run] [--json]\n"
    "                          [--max-deletes N] [--password-file F | --password-stdin]\n"
    "                          [--identity KEY] [--host-key SHA256:...]\n"
    "                          [--pin sha256//...] [--allow-plain-ftp] [--verify]\n"
    "\n"
    "Builds the site of PROJECT into its folder, as `build` does, then sends what\n"
    "changed to the project's host (its publish target, `set --publish-to`):\n"
    "  sftp://USER@HOST[:PORT]/PATH   SSH file transfer\n"
    "  ftp://USER@HOST[:PORT]/PATH    FTP with TLS (AUTH TLS) before the user name\n"
    "  ftps://USER@HOST[:PORT]/PATH   FTP over TLS from the start\n"
    "The server keeps .orvana-manifest.json beside the site (each file's SHA-256\n"
    "and size; the folder keeps a copy): files whose content changed are sent,\n"
    "style and other files first, then the pages, index.html last, each under a\n"
    "temporary name renamed over the old one; then the files the manifest lists\n"
    "and the site no longer has are deleted (no other file, never a link or a\n"
    "folder); then the manifest. A stopped publish leaves every live file old or\n"
    "new, and the next one finishes the work. Passwords never come from the\n"
    "command line or the environment.\n"
    "\n",
    26,
    "\n"
    "An SSH server's key must be known: the first time, the publish fails naming\n"
    "the key's fingerprint; check it with the host and give it with --host-key,\n"
    "which stores it in $XDG_DATA_HOME/orvana/known_hosts. A key that changed is\n"
    "refused the same way. An FTP server's certificate is verified; a self-signed\n"
    "one is taken only with its public key pinned (--pin).\n"
    "--json prints one object: target, sent and deleted (file names), kept,\n"
    "bytes, dry_run. Exit status: 0 published (or planned), 1 failed (the live\n"
    "site is then whole, each file old or new), 2 a command line that cannot be\n"
    "run.\n"};

namespace {

using publish::EPublishError;
using publish::EPublishUsage;
using publish::TSecretText;

// Reads the password's one line from `fd` into `secret`.
void ReadSecretLine(int fd, TSecretText& secret, const std::string& source) {
  char c = 0;
  for (;;) {
    const ssize_t n = ::read(fd, &c, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0)
      throw ECliError("cannot read the password from " + source + ": " + std::strerror(errno));
    if (n == 0 || c == '\n') break;
    if (!secret.Add(c)) throw EUsageError("the password from " + source + " is too long", false);
  }
  c = 0;
  if (!secret.view().empty() && secret.view().back() == '\r') {
    TSecretText trimmed;
    for (size_t i = 0; i + 1 < secret.view().size(); ++i) trimmed.Add(secret.view()[i]);
    secret.Clear();
    for (const char k : trimmed.view()) secret.Add(k);
  }
}

// The password the options give, into `secret` (left empty without one).
void ReadPassword(const TCommandArgs& args, TSecretText& secret, std::ostream& err) {
  const auto file = args.Value("password-file");
  const bool from_stdin = args.Flag("password-stdin");
  if (file && from_stdin)
    throw EUsageError("--password-file and --password-stdin: give one password source");
  if (!file && !from_stdin) return;
  // No core dump of this process holds it.
  ::prctl(PR_SET_DUMPABLE, 0);
  if (file) {
    const int fd = ::open(file->c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
      throw EUsageError("--password-file: cannot open " + *file + ": " + std::strerror(errno),
                        false);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || (st.st_mode & 077) != 0) {
      ::close(fd);
      throw EUsageError("--password-file: " + *file +
                            " is not a plain file readable by its owner only (chmod 600 it)",
                        false);
    }
    try {
      ReadSecretLine(fd, secret, *file);
    } catch (...) {
      ::close(fd);
      throw;
    }
    ::close(fd);
    return;
  }
  // On a terminal the password is typed without echo.
  termios saved{};
  const bool terminal = ::isatty(0) && ::tcgetattr(0, &saved) == 0;
  if (terminal) {
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    ::tcsetattr(0, TCSAFLUSH, &quiet);
    err << "Password: " << std::flush;
  }
  ReadSecretLine(0, secret, "standard input");
  if (terminal) {
    ::tcsetattr(0, TCSAFLUSH, &saved);
    err << '\n';
  }
}

// The site is built as `build PROJECT` builds it; the one place the publish
// asks for a build.
int BuildBeforePublish(const std::string& project, std::ostream& err) {
  TCommandArgs build;
  build.positional = {project};
  return RunBuild(build, err, err);
}

void AppendJsonString(std::string& out, const std::string& text) {
  out += '"';
  for (const char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    if (static_cast<unsigned char>(c) < 32) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += c;
    }
  }
  out += '"';
}

std::string ResultJson(const std::string& target, const publish::TPublishResult& r, bool dry) {
  std::string out = "{\"target\":";
  AppendJsonString(out, target);
  for (const auto& [key, names] : {std::pair{"sent", &r.sent}, std::pair{"deleted", &r.deleted}}) {
    out += ",\"" + std::string(key) + "\":[";
    for (size_t i = 0; i < names->size(); ++i) {
      if (i) out += ',';
      AppendJsonString(out, (*names)[i]);
    }
    out += ']';
  }
  out += ",\"kept\":" + std::to_string(r.kept) + ",\"bytes\":" + std::to_string(r.bytes) +
         ",\"dry_run\":" + (dry ? "true" : "false") + "}\n";
  return out;
}

// Checks the trust options against the target's kind.
void CheckTrustOptions(const TCommandArgs& args, const publish::TPublishTarget& target) {
  const bool sftp = target.IsSftp();
  for (const char* option : {"identity", "host-key"})
    if (args.Value(option) && !sftp)
      throw EUsageError(std::string("--") + option + " is for sftp:// targets only");
  for (const char* option : {"pin"})
    if (args.Value(option) && sftp)
      throw EUsageError("--pin is for ftp:// and ftps:// targets only");
  if (args.Flag("allow-plain-ftp") && target.transport != publish::TTransport::kFtpExplicitTls)
    throw EUsageError("--allow-plain-ftp is for ftp:// targets only");
  if (const auto v = args.Value("host-key"))
    if (v->rfind("SHA256:", 0) != 0 || v->size() != 50)
      throw EUsageError("--host-key: expected SHA256: and the key's 43-character fingerprint");
  if (const auto v = args.Value("pin"))
    if (v->rfind("sha256//", 0) != 0 || v->size() < 52)
      throw EUsageError("--pin: expected sha256// and the public key's base64 SHA-256");
}

void PrintPlan(const publish::TPublishResult& r, std::ostream& out) {
  for (const publish::TPlannedFile& f : r.plan.send)
    out << (f.replaces ? "replace " : "send ") << f.name << " (" << Counted(f.size, "byte", "bytes")
        << ")\n";
  for (const publish::TPlannedFile& f : r.plan.remove)
    out << "delete " << f.name << " (" << Counted(f.size, "byte", "bytes") << ")\n";
}

}  // namespace

const std::vector<TOptionEntry>& PublishOptions() {
  static const std::vector<TOptionEntry> options = {
      {"to", true, "URL", "publish there this time instead of the project's target"},
      {"no-build", false, nullptr, "publish the folder as it is, without building first"},
      {"dry-run", false, nullptr,
       "connect and print the plan (send, replace, delete, with\nsizes); send nothing"},
      {"json", false, nullptr, "print one JSON object instead"},
      {"max-deletes", true, "N",
       "refuse a publish that would delete more than N files\n(100 by default)"},
      {"password-file", true, "F",
       "read the password from the first line of F, which only\nits owner may read"},
      {"password-stdin", false, nullptr, "read the password from standard input's first line"},
      {"identity", true, "KEY", "log in with the private key file KEY (sftp://)"},
      {"host-key", true, "SHA256:...",
       "trust the SSH server's key with this fingerprint and\nstore it (sftp://)"},
      {"pin", true, "sha256//...",
       "accept the TLS certificate whose public key has this\nSHA-256 (ftp://, ftps://)"},
      {"allow-plain-ftp", false, nullptr,
       "for this run, go on without TLS when an ftp:// server\noffers none: the password "
       "then travels readable"},
      {"verify", false, nullptr,
       "read the server's files back and repair a manifest that\nno longer matches them"},
  };
  return options;
}

int RunPublish(const TCommandArgs& args, std::ostream& out, std::ostream& err) {
  const TProjectArg project = ProjectArgument(args);
  publish::TPublishOptions options;
  if (const auto v = args.Value("max-deletes")) {
    const auto n = ParseUnsigned64(*v);
    if (!n) throw EUsageError("invalid --max-deletes '" + *v + "': expected a number");
    options.max_deletes = *n;
  }
  TProjectDocument document;
  ReadProject(project, document, err);
  const TOrvanaExtras& extras = document.Generator().Extras();
  const std::string url = args.Value("to").value_or(Cp1251ToUtf8(extras.PublishTo));
  if (url.empty())
    throw EUsageError("no target: give --to URL or store one with `set --publish-to URL`");
  publish::TRemoteOptions remote;
  try {
    remote.target = publish::ParsePublishTarget(url);
  } catch (const EPublishUsage& e) {
    throw EUsageError(std::string("the publish target: ") + e.what(), false);
  }
  CheckTrustOptions(args, remote.target);
  TSecretText password;
  ReadPassword(args, password, err);
  if (extras.LinkSeed.empty())
    err << "orvana-cli: warning: the project stores no link seed, so every build places the "
           "links anew and changes the pages; `orvana-cli set PROJECT --link-seed random` "
           "keeps them\n";
  if (!args.Flag("no-build") && BuildBeforePublish(project.native, err) != 0) return 1;
  options.folder = document.Generator().SavePath();
  options.dry_run = args.Flag("dry-run");
  options.verify = args.Flag("verify");
  options.note = [&](const std::string& text) { err << "orvana-cli: note: " << text << '\n'; };
  remote.password = password.view();
  remote.identity = args.Value("identity").value_or("");
  remote.host_key = args.Value("host-key").value_or("");
  remote.pin = args.Value("pin").value_or("");
  remote.allow_plain_ftp = args.Flag("allow-plain-ftp");
  remote.known_hosts = publish::DefaultKnownHostsPath();
  remote.note = options.note;
  const std::string target = remote.target.Url();
  try {
    publish::TCurlRemote server(remote);
    const publish::TPublishResult result = publish::PublishSite(server, options);
    password.Clear();
    if (args.Flag("json")) {
      out << ResultJson(target, result, options.dry_run);
    } else {
      if (options.dry_run) PrintPlan(result, out);
      out << (options.dry_run ? "would publish to " : "published to ") << target << ": "
          << result.sent.size() << " sent, " << result.deleted.size() << " deleted, " << result.kept
          << " kept, " << Counted(result.bytes, "byte", "bytes")
          << (options.dry_run ? " (dry run)" : "") << '\n';
    }
    return 0;
  } catch (const publish::EHostKeyRefused& e) {
    err << "orvana-cli: " << target << ": " << e.what() << "\n"
        << "orvana-cli: if the host confirms that key, publish again with --host-key "
        << e.fingerprint() << '\n';
    return 1;
  } catch (const publish::ECertificateRefused& e) {
    err << "orvana-cli: " << target << ": " << e.what() << '\n';
    if (!e.pin().empty())
      err << "orvana-cli: if the host confirms that key, publish again with --pin " << e.pin()
          << '\n';
    return 1;
  } catch (const EPublishError& e) {
    err << "orvana-cli: " << target << ": " << e.what() << '\n';
    return 1;
  }
}

}  // namespace orvana::cli
