// Real servers on 127.0.0.1 for the publish tests: a throwaway system user
// with a random password (the servers check real accounts), OpenSSH's sshd
// with internal-sftp and vsftpd, each on a free high port with its own
// configuration in a scratch folder, started and stopped by the test. They
// need root (to add the user and let the servers switch to it); without it
// the tests fail, saying so.
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
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TestUtil.h"

namespace orvana::publish::testing {

// The output of a shell command; throws when it fails.
inline std::string Shell(const std::string& command) {
  FILE* pipe = ::popen(command.c_str(), "r");
  if (!pipe) throw std::runtime_error("cannot run " + command);
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) out.append(buffer, n);
  if (::pclose(pipe) != 0) throw std::runtime_error("failed: " + command + "\n" + out);
  return out;
}

inline uint16_t FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  ::close(fd);
  return ntohs(address.sin_port);
}

inline bool PortAnswers(uint16_t port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  ::close(fd);
  return ok;
}

// A system account for one test run, removed with its object.
class TThrowawayUser {
 public:
  explicit TThrowawayUser(const std::string& home) {
    if (::geteuid() != 0)
      throw std::runtime_error(
          "the publish tests start sshd and vsftpd with a user of their own: run them as root");
    std::random_device device;
    name_ = "orvpub" + std::to_string(device() % 1000000);
    for (int i = 0; i < 20; ++i) password_ += "abcdefghjkmnpqrstuvwxyz23456789"[device() % 31];
    Shell("useradd -M -N -d " + home + " -s /bin/sh " + name_ + " 2>&1");
    // The password goes to chpasswd on its standard input, not as an argument.
    FILE* pipe = ::popen("chpasswd", "w");
    std::fprintf(pipe, "%s:%s\n", name_.c_str(), password_.c_str());
    if (::pclose(pipe) != 0) throw std::runtime_error("chpasswd failed");
  }
  ~TThrowawayUser() {
    if (!name_.empty()) (void)!std::system(("userdel " + name_ + " >/dev/null 2>&1").c_str());
  }
  const std::string& name() const { return name_; }
  const std::string& password() const { return password_; }

 private:
  std::string name_, password_;
};

// A server process started from a command line, stopped (or killed) by the
// test and at the object's end.
class TServerProcess {
 public:
  ~TServerProcess() { Stop(); }
  // `in_child` runs in the server's process before it starts the server.
  void Start(const std::vector<std::string>& argv, uint16_t port, const std::string& log,
             const std::function<void()>& in_child = {}) {
    pid_ = ::fork();
    if (pid_ == 0) {
      ::setpgid(0, 0);
      if (in_child) in_child();
      const int fd = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
      ::dup2(fd, 1);
      ::dup2(fd, 2);
      std::vector<char*> args;
      for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
      args.push_back(nullptr);
      ::execv(args[0], args.data());
      ::_exit(127);
    }
    for (int i = 0; i < 200 && !PortAnswers(port); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    if (!PortAnswers(port))
      throw std::runtime_error(argv[0] + " did not start:\n" + test::ReadWholeFile(log));
  }
  // Ends the server and every session it forked (they start sessions of
  // their own, so the process group does not reach them), at once.
  void Stop(int signal = SIGKILL) {
    if (pid_ <= 0) return;
    std::vector<pid_t> tree = {pid_};
    for (size_t i = 0; i < tree.size(); ++i)
      for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string stat = test::ReadWholeFile(entry.path() / "stat");
        const size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        int parent = 0;
        char state = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &parent) == 2 &&
            parent == tree[i])
          tree.push_back(std::stoi(entry.path().filename().string()));
      }
    for (const pid_t pid : tree) ::kill(pid, signal);
    ::waitpid(pid_, nullptr, 0);
    pid_ = 0;
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = 0;
};

// sshd with a password user and internal-sftp, on its own port and key.
class TSshServer {
 public:
  TSshServer() : user_(dir_ / "home") {
    // The user's sessions walk into the scratch folder.
    std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
    std::filesystem::create_directories(dir_ / "home/www");
    Shell("chown -R " + user_.name() + " " + dir_ / "home");
    std::filesystem::create_directories("/run/sshd");
    port_ = FreePort();
    NewHostKey();
    test::WriteWholeFile(dir_ / "sshd_config",
                         "Port " + std::to_string(port_) + "\nListenAddress 127.0.0.1\nHostKey " +
                             dir_ / "host_key" + "\nPidFile " + dir_ / "sshd.pid" +
                             "\nUsePAM no\nPasswordAuthentication yes\n"
                             "KbdInteractiveAuthentication no\nStrictModes no\n"
                             "AuthorizedKeysFile " +
                             dir_ / "authorized_keys" +
                             "\nSubsystem sftp internal-sftp\nAllowUsers " + user_.name() + "\n");
    Start();
  }
  // A new host key: the server restarts with it.
  void NewHostKey() {
    std::filesystem::remove(dir_ / "host_key");
    std::filesystem::remove(dir_ / "host_key.pub");
    Shell("ssh-keygen -q -t ed25519 -N '' -f " + dir_ / "host_key");
    const std::string listed = Shell("ssh-keygen -lf " + dir_ / "host_key.pub");
    fingerprint_ = listed.substr(listed.find("SHA256:"), 50);
  }
  void Start() {
    process_.Start({"/usr/sbin/sshd", "-D", "-e", "-f", dir_ / "sshd_config"}, port_,
                   dir_ / "sshd.log");
  }
  // Restarts the server in a mount namespace of its own where the site's
  // folder is an empty tmpfs of `bytes`, owned by the user: a disk that
  // fills. The test sees the folder through Folder(), which then names it
  // as the server's namespace has it.
  void StartOnSmallDisk(size_t bytes) {
    Kill();
    const std::string folder = dir_ / "home/www";
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755,uid=" +
                                std::to_string(::getpwnam(user_.name().c_str())->pw_uid);
    process_.Start({"/usr/sbin/sshd", "-D", "-e", "-f", dir_ / "sshd_config"}, port_,
                   dir_ / "sshd.log", [folder, options] {
                     if (::unshare(CLONE_NEWNS) != 0 ||
                         ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                         ::mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) != 0)
                       ::_exit(126);
                   });
    small_disk_ = true;
  }
  void Kill() { process_.Stop(); }
  void Restart() {
    Kill();
    Start();
  }
  std::string Folder() const {
    const std::string folder = dir_ / "home/www";
    return small_disk_ ? "/proc/" + std::to_string(process_.pid()) + "/root" + folder : folder;
  }
  std::string Url() const {
    return "sftp://" + user_.name() + "@127.0.0.1:" + std::to_string(port_) + dir_ / "home/www";
  }
  const TThrowawayUser& user() const { return user_; }
  const std::string& fingerprint() const { return fingerprint_; }
  // A new key pair whose public half the server accepts for the user;
  // returns the private key's file.
  std::string AuthorizedKey() {
    Shell("ssh-keygen -q -t ed25519 -N '' -f " + dir_ / "user_key");
    test::WriteWholeFile(dir_ / "authorized_keys", test::ReadWholeFile(dir_ / "user_key.pub"));
    return dir_ / "user_key";
  }

 private:
  test::TempDir dir_;
  TThrowawayUser user_;
  uint16_t port_ = 0;
  std::string fingerprint_;
  bool small_disk_ = false;
  TServerProcess process_;
};

// vsftpd for a throwaway user: with TLS required before the login
// (explicit, AUTH TLS, or implicit from the first byte) and a self-signed
// certificate for 127.0.0.1, or without TLS at all. Every command it is
// sent goes into its log.
enum class TFtpKind { kExplicitTls, kImplicitTls, kPlain };

class TFtpServer {
 public:
  explicit TFtpServer(TFtpKind kind) : user_(dir_ / "home"), kind_(kind) {
    std::filesystem::permissions(dir_.Path(), std::filesystem::perms(0755));
    std::filesystem::create_directories(dir_ / "home/www");
    std::filesystem::create_directories(dir_ / "empty");
    Shell("chown -R " + user_.name() + " " + dir_ / "home");
    port_ = FreePort();
    const uint16_t passive = FreePort();
    std::string config =
        "listen=YES\nlisten_address=127.0.0.1\nlisten_port=" + std::to_string(port_) +
        "\nbackground=NO\nanonymous_enable=NO\nlocal_enable=YES\n"
        "write_enable=YES\nlocal_umask=022\npasv_enable=YES\n"
        "pasv_address=127.0.0.1\npasv_min_port=" +
        std::to_string(passive) + "\npasv_max_port=" + std::to_string(passive + 50) +
        "\nseccomp_sandbox=NO\nsecure_chroot_dir=" + dir_ / "empty" +
        "\npam_service_name=vsftpd\nlog_ftp_protocol=YES\n"
        "xferlog_enable=YES\nxferlog_std_format=NO\nvsftpd_log_file=" +
        dir_ / "commands.log" + "\n";
    if (kind != TFtpKind::kPlain) {
      Shell("openssl req -x509 -newkey rsa:2048 -nodes -keyout " + dir_ / "key.pem" + " -out " +
            dir_ / "cert.pem" +
            " -days 2 -subj /CN=127.0.0.1 -addext subjectAltName=IP:127.0.0.1 2>/dev/null");
      pin_ = "sha256//" + Shell("openssl x509 -in " + dir_ / "cert.pem" +
                                " -pubkey -noout | openssl pkey -pubin -outform der | "
                                "openssl dgst -sha256 -binary | base64");
      while (!pin_.empty() && pin_.back() == '\n') pin_.pop_back();
      config += "ssl_enable=YES\nrsa_cert_file=" + dir_ / "cert.pem" +
                "\nrsa_private_key_file=" + dir_ / "key.pem" +
                "\nforce_local_logins_ssl=YES\nforce_local_data_ssl=YES\n"
                "require_ssl_reuse=NO\n";
      if (kind == TFtpKind::kImplicitTls) config += "implicit_ssl=YES\n";
    }
    test::WriteWholeFile(dir_ / "vsftpd.conf", config);
    Start();
  }
  void Start() {
    process_.Start({"/usr/sbin/vsftpd", dir_ / "vsftpd.conf"}, port_, dir_ / "vsftpd.out");
  }
  void Kill() { process_.Stop(); }
  std::string Url() const {
    return std::string(kind_ == TFtpKind::kImplicitTls ? "ftps" : "ftp") + "://" + user_.name() +
           "@127.0.0.1:" + std::to_string(port_) + Folder();
  }
  std::string Folder() const { return dir_ / "home/www"; }
  // What the server was sent, as its log has it.
  std::string CommandLog() const { return test::ReadWholeFile(dir_ / "commands.log"); }
  const TThrowawayUser& user() const { return user_; }
  const std::string& pin() const { return pin_; }

 private:
  test::TempDir dir_;
  TThrowawayUser user_;
  TFtpKind kind_;
  uint16_t port_ = 0;
  std::string pin_;
  TServerProcess process_;
};

}  // namespace orvana::publish::testing
