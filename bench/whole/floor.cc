// bench-whole-floor: the least a program can do to make a generated site.
//
//   bench-whole-floor --pack SITE --blob FILE
//   bench-whole-floor --blob FILE --project PROJECT --to DIR [--wait]
//
// --pack (untimed preparation) reads the site that the folder SITE holds
// (index.html, page1.html, ... up to the first missing number, then
// style.css, the order in which the generator writes them) and stores names
// and bytes in one blob file: a first line with the file count, one line
// "SIZE NAME" per file, then every file's bytes back to back. It prints
// "files bytes".
//
// The second form is the floor itself. It first loads the blob into memory
// of its own (huge pages where the system gives them, every page touched),
// which is not a generator's work: with --wait it then writes one byte to
// file descriptor 4 and waits for one byte on descriptor 3, so that the
// runner starts its clock only then. What follows is the work every
// generator must do, timed up to the process's exit: it reads the whole
// project file into memory (as the generator reads it, with read() into a
// buffer advised to use huge pages) and writes every file of the site into
// DIR with the same name and bytes, in the same order, with open, write and
// close and nothing else. It prints nothing on success.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

bool ReadFile(const std::string& path, std::string& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteAll(int fd, const char* p, size_t left) {
  while (left > 0) {
    const ssize_t n = ::write(fd, p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    p += n;
    left -= static_cast<size_t>(n);
  }
  return true;
}

int Pack(const std::string& site, const std::string& blob) {
  std::vector<std::pair<std::string, std::string>> files;
  for (int k = 0;; ++k) {
    const std::string name = k == 0 ? "index.html" : "page" + std::to_string(k) + ".html";
    std::string bytes;
    if (!ReadFile(site + "/" + name, bytes)) {
      if (k == 0) {
        std::fprintf(stderr, "bench-whole-floor: no %s/index.html\n", site.c_str());
        return 1;
      }
      break;
    }
    files.emplace_back(name, std::move(bytes));
  }
  std::string css;
  if (!ReadFile(site + "/style.css", css)) {
    std::fprintf(stderr, "bench-whole-floor: no %s/style.css\n", site.c_str());
    return 1;
  }
  files.emplace_back("style.css", std::move(css));

  std::ofstream out(blob, std::ios::binary | std::ios::trunc);
  out << files.size() << '\n';
  uint64_t total = 0;
  for (const auto& [name, bytes] : files) {
    out << bytes.size() << ' ' << name << '\n';
    total += bytes.size();
  }
  for (const auto& file : files)
    out.write(file.second.data(), static_cast<std::streamsize>(file.second.size()));
  out.close();
  if (!out) {
    std::perror(blob.c_str());
    return 1;
  }
  std::printf("%zu %llu\n", files.size(), static_cast<unsigned long long>(total));
  return 0;
}

// A whole file in memory of its own: anonymous memory advised to use huge
// pages, filled by read(). Returns null (with errno kept) on failure.
char* ReadWhole(const std::string& path, size_t& size) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (fd < 0 || ::fstat(fd, &st) != 0) return nullptr;
  constexpr size_t kHuge = size_t{2} << 20;
  const size_t room = (static_cast<size_t>(st.st_size) + 1 + kHuge - 1) / kHuge * kHuge;
  void* m = ::mmap(nullptr, room, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (m == MAP_FAILED) return nullptr;
  (void)::madvise(m, room, MADV_HUGEPAGE);
  char* data = static_cast<char*>(m);
  size = 0;
  for (;;) {
    const ssize_t n = ::read(fd, data + size, room - size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return nullptr;
    if (n == 0) break;
    size += static_cast<size_t>(n);
    if (size == room) {
      errno = EFBIG;  // grew while it was read
      return nullptr;
    }
  }
  ::close(fd);
  return data;
}

// Reads one decimal number at `p`, moving `p` past it.
bool Number(const char*& p, const char* end, uint64_t& value) {
  const char* start = p;
  value = 0;
  while (p < end && *p >= '0' && *p <= '9') value = value * 10 + static_cast<uint64_t>(*p++ - '0');
  return p > start;
}

struct TFile {
  std::string path;
  const char* bytes;
  uint64_t size;
};

// The files of the blob, their bytes inside it; false for a blob that is
// not one.
bool ParseBlob(const char* p, const char* end, const std::string& dir, std::vector<TFile>& files) {
  uint64_t count = 0;
  if (!Number(p, end, count) || p == end || *p++ != '\n') return false;
  files.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t bytes = 0;
    if (!Number(p, end, bytes) || p == end || *p++ != ' ') return false;
    const char* name = p;
    while (p < end && *p != '\n') ++p;
    if (p == end) return false;
    files.push_back({dir + "/" + std::string(name, p), nullptr, bytes});
    ++p;
  }
  for (TFile& file : files) {
    if (static_cast<uint64_t>(end - p) < file.size) return false;
    file.bytes = p;
    p += file.size;
  }
  return true;
}

// Tells the runner that the floor is ready (one byte on descriptor 4) and
// waits for its word to start (one byte on descriptor 3).
bool Handshake() {
  char c = 'r';
  if (::write(4, &c, 1) != 1) return false;
  ssize_t n;
  while ((n = ::read(3, &c, 1)) < 0 && errno == EINTR) {
  }
  ::close(3);
  ::close(4);
  return n == 1;
}

int Floor(const std::string& blob, const std::string& project, const std::string& dir, bool wait) {
  size_t blob_size = 0;
  const char* site = ReadWhole(blob, blob_size);
  if (!site) {
    std::perror(blob.c_str());
    return 1;
  }
  std::vector<TFile> files;
  if (!ParseBlob(site, site + blob_size, dir, files)) {
    std::fprintf(stderr, "bench-whole-floor: %s is not a site blob\n", blob.c_str());
    return 1;
  }
  if (wait && !Handshake()) {
    std::fprintf(stderr, "bench-whole-floor: no word to start on descriptors 3 and 4\n");
    return 1;
  }

  // The timed work: the project into memory, then the site's files.
  size_t project_size = 0;
  if (!ReadWhole(project, project_size)) {
    std::perror(project.c_str());
    return 1;
  }
  for (const TFile& file : files) {
    const int fd = ::open(file.path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || !WriteAll(fd, file.bytes, file.size) || ::close(fd) != 0) {
      std::perror(file.path.c_str());
      return 1;
    }
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pack, blob, project, to;
  bool wait = false, bad = false;
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--wait") {
      wait = true;
      continue;
    }
    if (i + 1 >= argc) {
      bad = true;
      break;
    }
    if (a == "--pack")
      pack = argv[++i];
    else if (a == "--blob")
      blob = argv[++i];
    else if (a == "--project")
      project = argv[++i];
    else if (a == "--to")
      to = argv[++i];
    else
      bad = true, i = argc;
  }
  const bool packing = !pack.empty();
  if (bad || blob.empty() ||
      (packing ? !to.empty() || !project.empty() || wait : to.empty() || project.empty())) {
    std::fprintf(stderr,
                 "usage: bench-whole-floor --pack SITE --blob FILE\n"
                 "       bench-whole-floor --blob FILE --project PROJECT --to DIR [--wait]\n");
    return 2;
  }
  return packing ? Pack(pack, blob) : Floor(blob, project, to, wait);
}
