// Real servers on 127.0.0.1 for the publish tests, sshd (internal-sftp) and
// vsftpd, each on a free port with its own configuration, for a throwaway
// user with a random password; they need root, and fail without it.
#pragma once

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sched.h>
#include <signal.h>
#include <sys/mount.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/TestUtil.h"

namespace orvana::publish::testing {

// The output of a shell command; throws when it fails.
inline std::string Shell(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  char buffer[4096];
  for (size_t n; pipe && (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    out.append(buffer, n);
  if (!pipe || ::pclose(pipe) != 0) throw std::runtime_error("failed: " + command + "\n" + out);
  return out;
}

// Connects to a port of 127.0.0.1 (0: binds one); returns the port, or 0
// when nothing answers.
inline void KillTree(pid_t pid) {
  std::istringstream children(Shell("pgrep -P " + std::to_string(pid) + " || true"));
  for (pid_t child; children >> child;) KillTree(child);
  ::kill(pid, SIGKILL);
}

inline uint16_t LoopbackPort(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(port);
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof a;
  const bool ok = port ? ::connect(fd, reinterpret_cast<sockaddr*>(&a), length) == 0
                       : ::bind(fd, reinterpret_cast<sockaddr*>(&a), length) == 0 &&
                             ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &length) == 0;
  ::close(fd);
  return ok ? ntohs(a.sin_port) : 0;
}

// A scratch folder with a home for a throwaway account, and one server
// process, all removed at the end.
class TServerBase {
 public:
  TServerBase() {
    if (::geteuid() != 0)
      throw std::runtime_error(
          "the publish tests run sshd and vsftpd for a user of their own: "
          "run them as root");
    std::random_device device;
    user_ = "orvpub" + std::to_string(device() % 1000000);
    for (int i = 0; i < 20; ++i) password_ += "abcdefghjkmnpqrstuvwxyz23456789"[device() % 31];
    // The servers' sessions, running as the user, walk into the folder.
    std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
    std::filesystem::create_directories(dir_ / "home/www");
    Shell("useradd -M -N -d " + dir_ / "home" + " -s /bin/sh " + user_ + " 2>&1");
    // The password goes to chpasswd on its standard input, never as an argument.
    FILE* pipe = ::popen("chpasswd", "w");
    std::fprintf(pipe, "%s:%s\n", user_.c_str(), password_.c_str());
    if (::pclose(pipe) != 0) throw std::runtime_error("chpasswd failed");
    Shell("chown -R " + user_ + " " + dir_ / "home");
    port_ = LoopbackPort(0);
  }
  ~TServerBase() {
    Kill();
    (void)!std::system(("userdel " + user_ + " >/dev/null 2>&1").c_str());
  }
  const std::string& user() const { return user_; }
  const std::string& password() const { return password_; }
  // The site's folder as the test reads it (through the server's mount
  // namespace when it has one of its own).
  std::string Folder() const {
    return (own_mounts_ ? "/proc/" + std::to_string(pid_) + "/root" : "") + dir_ / "home/www";
  }
  // Ends the server and every session it forked (they start sessions of
  // their own, so its process group does not reach them), children first.
  void Kill() {
    if (pid_ > 0) KillTree(pid_), ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

 protected:
  // Starts argv and waits for its port; `in_child` runs first in its process.
  void Run(const std::vector<std::string>& argv, const std::function<void()>& in_child = {}) {
    const std::string log = dir_ / "server.log";
    pid_ = ::fork();
    if (pid_ == 0) {
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      if (in_child) in_child();
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    for (int i = 0; i < 200 && !LoopbackPort(port_); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!LoopbackPort(port_))
      throw std::runtime_error(argv[0] + " did not start:\n" + test::ReadWholeFile(log));
  }
  std::string Address() const {
    return user_ + "@127.0.0.1:" + std::to_string(port_) + dir_ / "home/www";
  }

  test::TempDir dir_;
  std::string user_, password_;
  uint16_t port_ = 0;
  pid_t pid_ = 0;
  bool own_mounts_ = false;
};

// sshd with password and key logins and internal-sftp, on its own host key.
class TSshServer : public TServerBase {
 public:
  TSshServer() {
    std::filesystem::create_directories("/run/sshd");
    NewHostKey();
    test::WriteWholeFile(
        dir_ / "sshd_config",
        "Port " + std::to_string(port_) + "\nListenAddress 127.0.0.1\nHostKey " +
            dir_ / "host_key" +
            "\nUsePAM no\nPasswordAuthentication yes\n"
            "KbdInteractiveAuthentication no\nStrictModes no\nAuthorizedKeysFile " +
            dir_ / "authorized_keys" + "\nSubsystem sftp internal-sftp\nAllowUsers " + user_ +
            "\nPidFile none\n");
    Start();
  }
  // A new host key, taken at the next start.
  void NewHostKey() {
    std::filesystem::remove(dir_ / "host_key");
    std::filesystem::remove(dir_ / "host_key.pub");
    Shell("ssh-keygen -q -t ed25519 -N '' -f " + dir_ / "host_key");
    const std::string listed = Shell("ssh-keygen -lf " + dir_ / "host_key.pub");
    fingerprint_ = listed.substr(listed.find("SHA256:"), 50);
  }
  void Start() { Run({"/usr/sbin/sshd", "-D", "-e", "-f", dir_ / "sshd_config"}); }
  // Starts again in a mount namespace of its own where the site's folder is
  // an empty tmpfs of `bytes` owned by the user: a disk that fills.
  void StartOnSmallDisk(size_t bytes) {
    Kill();
    const std::string folder = dir_ / "home/www";
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755,uid=" +
                                std::to_string(::getpwnam(user_.c_str())->pw_uid);
    own_mounts_ = true;
    Run({"/usr/sbin/sshd", "-D", "-e", "-f", dir_ / "sshd_config"}, [folder, options] {
      if (::unshare(CLONE_NEWNS) != 0 || !test::MakeMountsPrivate(folder) ||
          ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
        ::_exit(126);
    });
  }
  // A new key pair the server accepts for the user; the private key's file.
  std::string AuthorizedKey() {
    Shell("ssh-keygen -q -t ed25519 -N '' -f " + dir_ / "user_key");
    test::WriteWholeFile(dir_ / "authorized_keys", test::ReadWholeFile(dir_ / "user_key.pub"));
    return dir_ / "user_key";
  }
  std::string Url() const { return "sftp://" + Address(); }
  const std::string& fingerprint() const { return fingerprint_; }

 private:
  std::string fingerprint_;
};

// vsftpd with TLS required before the login (explicit, AUTH TLS, or
// implicit from the first byte) and a self-signed certificate for
// 127.0.0.1, or without TLS at all. Every command it gets is logged.
enum class TFtpKind { kExplicitTls, kImplicitTls, kPlain };

class TFtpServer : public TServerBase {
 public:
  explicit TFtpServer(TFtpKind kind) : kind_(kind) {
    std::filesystem::create_directories(dir_ / "empty");
    const uint16_t passive = LoopbackPort(0);
    std::string config =
        "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" + std::to_string(port_) +
        "\nbackground=NO\nanonymous_enable=NO\nlocal_enable=YES\nwrite_enable=YES\n"
        "local_umask=022\npasv_address=127.0.0.1\npasv_min_port=" +
        std::to_string(passive) + "\npasv_max_port=" + std::to_string(passive + 20) +
        "\nseccomp_sandbox=NO\nsecure_chroot_dir=" + dir_ / "empty" +
        "\npam_service_name=vsftpd\nlog_ftp_protocol=YES\nxferlog_enable=YES\nxferlog_std_format="
        "NO\n"
        "vsftpd_log_file=" +
        dir_ / "commands.log" + "\n";
    if (kind != TFtpKind::kPlain) {
      Shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout " + dir_ / "key.pem" + " -out " +
            dir_ / "cert.pem" +
            " -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 2>/dev/null");
      pin_ = "sha256//" + Shell("openssl x509 -in " + dir_ / "cert.pem" +
                                " -pubkey -noout | openssl pkey -pubin -outform der | "
                                "openssl dgst -sha256 -binary | base64 | tr -d '\\n'");
      config += "ssl_enable=YES\nrsa_cert_file=" + dir_ / "cert.pem" +
                "\nrsa_private_key_file=" + dir_ / "key.pem" +
                "\nforce_local_logins_ssl=YES\nforce_local_data_ssl=YES\nrequire_ssl_reuse=NO\n" +
                (kind == TFtpKind::kImplicitTls ? "implicit_ssl=YES\n" : "");
    }
    test::WriteWholeFile(dir_ / "vsftpd.conf", config);
    Start();
  }
  void Start() { Run({"/usr/sbin/vsftpd", dir_ / "vsftpd.conf"}); }
  std::string Url() const {
    return (kind_ == TFtpKind::kImplicitTls ? "ftps://" : "ftp://") + Address();
  }
  // What the server was sent, as its log has it.
  std::string CommandLog() const { return test::ReadWholeFile(dir_ / "commands.log"); }
  const std::string& pin() const { return pin_; }

 private:
  TFtpKind kind_;
  std::string pin_;
};

}  // namespace orvana::publish::testing
