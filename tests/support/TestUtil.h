// Helpers every test program shares: Windows-1251 literals, a scratch folder,
// whole files, and the check of a thrown error's type and exact message.
#pragma once

#include <cxxabi.h>
#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <source_location>
#include <sstream>
#include <string>
#include <string_view>
#include <typeinfo>
#include <vector>

#include <gtest/gtest.h>

#include "engine/CodePage.h"

namespace orvana::test {

// A Windows-1251 string from UTF-8 source text.
inline std::string W(std::string_view utf8) { return Utf8ToCp1251(utf8); }

// --- Files ----------------------------------------------------------------------

// A fresh folder under the system's temporary folder, removed with its content
// when the object goes, even after a test took its write permission away.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "orvana-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
    path_ = pattern;
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(path_, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// The file's bytes; empty when it cannot be read.
inline std::string ReadWholeFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

// Replaces the file's content with exactly these bytes.
inline void WriteWholeFile(const std::filesystem::path& path, std::string_view bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// True for any entry, a dangling symbolic link included.
inline bool FileExists(const std::filesystem::path& path) {
  std::error_code ignored;
  return std::filesystem::symlink_status(path, ignored).type() !=
         std::filesystem::file_type::not_found;
}

// The names in a folder, sorted and joined with commas.
inline std::string FolderListing(const std::filesystem::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  std::string listing;
  for (const std::string& name : names) listing += (listing.empty() ? "" : ",") + name;
  return listing;
}

// --- Thrown errors --------------------------------------------------------------

namespace internal {

inline std::string TypeName(const std::type_info& type) {
  int status = 0;
  const std::unique_ptr<char, void (*)(void*)> name(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), std::free);
  return status == 0 && name ? name.get() : type.name();
}

}  // namespace internal

// Runs `action` and expects it to throw an E (or an error derived from E)
// whose message is exactly `message`. Nothing thrown, an error of another
// type, and another message each fail the test at the caller's line. Returns
// the caught error, so that a test can look further into it (its error code,
// say), or nothing when the check failed.
template <class E>
std::optional<E> ExpectThrowsMessage(const std::function<void()>& action, std::string_view message,
                                     std::source_location where = std::source_location::current()) {
  std::string actual;
  try {
    action();
    actual = "throws nothing";
  } catch (const E& error) {
    if (std::string_view(error.what()) == message) return error;
    actual = "its message is\n  " + ::testing::PrintToString(std::string(error.what()));
  } catch (const std::exception& error) {
    actual = "throws another type, " + internal::TypeName(typeid(error)) + ", with message\n  " +
             ::testing::PrintToString(std::string(error.what()));
  } catch (...) {
    actual = "throws another type, not a std::exception";
  }
  ADD_FAILURE_AT(where.file_name(), static_cast<int>(where.line()))
      << "Expected: throws " << internal::TypeName(typeid(E)) << " with message\n  "
      << ::testing::PrintToString(std::string(message)) << "\n  Actual: " << actual;
  return std::nullopt;
}

// The message of the E that `action` throws, or "<no error>"; any other error
// passes through. Only for messages that have to travel as text (a child
// process's report) or be taken apart; a test that checks a message uses
// ExpectThrowsMessage.
template <class E>
std::string ThrownMessage(const std::function<void()>& action) {
  try {
    action();
  } catch (const E& error) {
    return error.what();
  }
  return "<no error>";
}

}  // namespace orvana::test
