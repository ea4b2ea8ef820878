// bench-whole-floor: the least a program can do to write a generated site.
//
//   bench-whole-floor --pack SITE --blob FILE
//   bench-whole-floor --blob FILE --to DIR
//
// --pack (untimed preparation) reads the site that the folder SITE holds
// (index.html, page1.html, ... up to the first missing number, then
// style.css, the order in which the generator writes them) and stores names
// and bytes in one blob file: a first line with the file count, one line
// "SIZE NAME" per file, then every file's bytes back to back. It prints
// "files bytes".
//
// --blob ... --to DIR is the floor itself, started as a process exactly as
// the generator is: it maps the blob and writes every file into DIR with the
// same name and bytes, in the same order, with open, write and close and
// nothing else. Its whole run, from exec to exit, is what the generator's
// whole run is compared with. It prints nothing on success.
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

// Reads one decimal number at `p`, moving `p` past it.
bool Number(const char*& p, const char* end, uint64_t& value) {
  const char* start = p;
  value = 0;
  while (p < end && *p >= '0' && *p <= '9') value = value * 10 + static_cast<uint64_t>(*p++ - '0');
  return p > start;
}

int WriteSite(const std::string& blob, const std::string& dir) {
  const int in = ::open(blob.c_str(), O_RDONLY | O_CLOEXEC);
  struct stat st {};
  if (in < 0 || ::fstat(in, &st) != 0 || st.st_size <= 0) {
    std::perror(blob.c_str());
    return 1;
  }
  const size_t size = static_cast<size_t>(st.st_size);
  void* map = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE | MAP_POPULATE, in, 0);
  if (map == MAP_FAILED) {
    std::perror(blob.c_str());
    return 1;
  }
  ::close(in);
  const char* p = static_cast<const char*>(map);
  const char* const end = p + size;

  auto corrupt = [&] {
    std::fprintf(stderr, "bench-whole-floor: %s is not a site blob\n", blob.c_str());
    return 1;
  };
  uint64_t count = 0;
  if (!Number(p, end, count) || p == end || *p++ != '\n') return corrupt();
  std::vector<std::pair<std::string, uint64_t>> files;
  files.reserve(count);
  for (uint64_t i = 0; i < count; ++i) {
    uint64_t bytes = 0;
    if (!Number(p, end, bytes) || p == end || *p++ != ' ') return corrupt();
    const char* name = p;
    while (p < end && *p != '\n') ++p;
    if (p == end) return corrupt();
    files.emplace_back(dir + "/" + std::string(name, p), bytes);
    ++p;
  }

  for (const auto& [path, bytes] : files) {
    if (static_cast<uint64_t>(end - p) < bytes) return corrupt();
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0 || !WriteAll(fd, p, bytes) || ::close(fd) != 0) {
      std::perror(path.c_str());
      return 1;
    }
    p += bytes;
  }
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::string pack, blob, to;
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string_view a = argv[i];
    if (a == "--pack")
      pack = argv[i + 1];
    else if (a == "--blob")
      blob = argv[i + 1];
    else if (a == "--to")
      to = argv[i + 1];
    else
      blob.clear(), i = argc;
  }
  if (argc % 2 == 0 || blob.empty() || pack.empty() == to.empty()) {
    std::fprintf(stderr,
                 "usage: bench-whole-floor --pack SITE --blob FILE\n"
                 "       bench-whole-floor --blob FILE --to DIR\n");
    return 2;
  }
  return pack.empty() ? WriteSite(blob, to) : Pack(pack, blob);
}
