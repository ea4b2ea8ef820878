// A tiny strict JSON syntax check for the tests: enough to prove that `show
// --json` prints exactly one well-formed value.
#pragma once

#include <cctype>
#include <string_view>

namespace orvana::cli::testing {

class JsonCheck {
 public:
  // True when the whole text is one JSON value (blanks around it allowed).
  static bool IsOneValue(std::string_view text) {
    JsonCheck check(text);
    return check.Value(0) && (check.Blanks(), check.pos_ == text.size());
  }

 private:
  explicit JsonCheck(std::string_view text) : s_(text) {}

  void Blanks() {
    while (pos_ < s_.size() && std::string_view(" \t\r\n").find(s_[pos_]) != std::string_view::npos)
      ++pos_;
  }
  bool Eat(char c) {
    Blanks();
    if (pos_ < s_.size() && s_[pos_] == c) return ++pos_, true;
    return false;
  }
  bool Word(std::string_view w) {
    if (s_.substr(pos_, w.size()) != w) return false;
    return pos_ += w.size(), true;
  }
  bool Digits() {
    const size_t start = pos_;
    while (pos_ < s_.size() && s_[pos_] >= '0' && s_[pos_] <= '9') ++pos_;
    return pos_ > start;
  }

  bool Value(int depth) {
    Blanks();
    if (depth > 64 || pos_ >= s_.size()) return false;
    if (Eat('{')) return List('}', depth, true);
    if (Eat('[')) return List(']', depth, false);
    if (s_[pos_] == '"') return String();
    if (Word("true") || Word("false") || Word("null")) return true;
    Eat('-');
    if (s_.substr(pos_, 2) == "00" || !Digits()) return false;
    return true;
  }

  // The members of an object or the items of an array, after the opening.
  bool List(char close, int depth, bool object) {
    if (Eat(close)) return true;
    do {
      Blanks();
      if (object && !(pos_ < s_.size() && s_[pos_] == '"' && String() && Eat(':'))) return false;
      if (!Value(depth + 1)) return false;
    } while (Eat(','));
    return Eat(close);
  }

  bool String() {
    ++pos_;  // the opening quote
    while (pos_ < s_.size()) {
      const unsigned char c = static_cast<unsigned char>(s_[pos_++]);
      if (c == '"') return true;
      if (c < 0x20) return false;  // raw controls are not JSON
      if (c != '\\') continue;
      if (pos_ >= s_.size()) return false;
      const char e = s_[pos_++];
      if (e == 'u') {
        for (int i = 0; i < 4; ++i, ++pos_)
          if (pos_ >= s_.size() || !std::isxdigit(static_cast<unsigned char>(s_[pos_])))
            return false;
      } else if (std::string_view("\"\\/bfnrt").find(e) == std::string_view::npos) {
        return false;
      }
    }
    return false;
  }

  std::string_view s_;
  size_t pos_ = 0;
};

}  // namespace orvana::cli::testing
