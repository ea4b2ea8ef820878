// A password held only as long as it is needed: one buffer, never grown
// (so never copied by a reallocation), zeroed when the object goes.
#pragma once

#include <strings.h>

#include <string>
#include <string_view>

namespace orvana::publish {

class TSecretText {
 public:
  static constexpr size_t kCapacity = 4096;
  TSecretText() { text_.reserve(kCapacity); }
  ~TSecretText() { Clear(); }
  TSecretText(const TSecretText&) = delete;
  TSecretText& operator=(const TSecretText&) = delete;

  // Appends one character; false when the buffer is full (it is then
  // neither grown nor changed).
  bool Add(char c) {
    if (text_.size() + 1 >= kCapacity) return false;
    text_.push_back(c);
    return true;
  }
  void Clear() {
    explicit_bzero(text_.data(), text_.capacity());
    text_.clear();
  }
  std::string_view view() const { return text_; }
  bool empty() const { return text_.empty(); }

 private:
  std::string text_;
};

}  // namespace orvana::publish
