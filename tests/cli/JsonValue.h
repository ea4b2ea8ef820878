// A small strict JSON reader for the tests: enough to take the build report
// apart and compare its numbers with the files. A text that is not exactly
// one JSON value fails the test that parses it.
#pragma once

#include <cstdlib>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

namespace orvana::cli::testing {

struct JsonValue {
  enum Kind { kNull, kBool, kNumber, kString, kArray, kObject } kind = kNull;
  bool boolean = false;
  double number = 0;
  std::string text;  // UTF-8
  std::vector<JsonValue> items;
  std::map<std::string, JsonValue> members;
  std::vector<std::string> keys;  // in the order of the text

  // The member of that name; a missing one fails the test and gives null.
  const JsonValue& operator[](const std::string& key) const {
    static const JsonValue null;
    const auto found = members.find(key);
    if (kind != kObject || found == members.end()) {
      ADD_FAILURE() << "no member \"" << key << "\"";
      return null;
    }
    return found->second;
  }
  const JsonValue& operator[](size_t i) const {
    static const JsonValue null;
    if (kind != kArray || i >= items.size()) {
      ADD_FAILURE() << "no item " << i;
      return null;
    }
    return items[i];
  }
  size_t size() const { return kind == kArray ? items.size() : members.size(); }
  long long Int() const { return static_cast<long long>(number); }

  // True when the whole text is one JSON value (blanks around it allowed).
  static bool IsOneValue(std::string_view text) {
    Reader reader{text};
    JsonValue value;
    return reader.Value(value, 0) && (reader.Blanks(), reader.pos == text.size());
  }

  // Parses the whole text; on a syntax error, fails the test and returns null.
  static JsonValue Parse(std::string_view text) {
    Reader reader{text};
    JsonValue value;
    if (!reader.Value(value, 0) || (reader.Blanks(), reader.pos != text.size())) {
      ADD_FAILURE() << "not one JSON value, at byte " << reader.pos << ":\n" << text;
      return JsonValue();
    }
    return value;
  }

 private:
  struct Reader {
    std::string_view s;
    size_t pos = 0;

    void Blanks() {
      while (pos < s.size() &&
             (s[pos] == ' ' || s[pos] == '\n' || s[pos] == '\r' || s[pos] == '\t'))
        ++pos;
    }
    bool Eat(char c) {
      Blanks();
      if (pos < s.size() && s[pos] == c) return ++pos, true;
      return false;
    }
    bool Word(std::string_view w) {
      if (s.substr(pos, w.size()) != w) return false;
      return pos += w.size(), true;
    }
    bool Value(JsonValue& v, int depth) {
      Blanks();
      if (depth > 64 || pos >= s.size()) return false;
      if (Eat('{')) {
        v.kind = kObject;
        if (Eat('}')) return true;
        do {
          Blanks();
          std::string key;
          if (!String(key) || !Eat(':')) return false;
          JsonValue member;
          if (!Value(member, depth + 1) || v.members.count(key)) return false;
          v.keys.push_back(key);
          v.members.emplace(key, std::move(member));
        } while (Eat(','));
        return Eat('}');
      }
      if (Eat('[')) {
        v.kind = kArray;
        if (Eat(']')) return true;
        do {
          v.items.emplace_back();
          if (!Value(v.items.back(), depth + 1)) return false;
        } while (Eat(','));
        return Eat(']');
      }
      if (s[pos] == '"') return v.kind = kString, String(v.text);
      if (Word("true")) return v.kind = kBool, v.boolean = true, true;
      if (Word("false")) return v.kind = kBool, true;
      if (Word("null")) return true;
      const size_t start = pos;
      if (pos < s.size() && s[pos] == '-') ++pos;
      if (pos < s.size() && s[pos] == '0' && pos + 1 < s.size() && isdigit(s[pos + 1]))
        return false;
      const size_t digits = pos;
      while (pos < s.size() && isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
      if (pos == digits) return false;
      if (pos < s.size() && s[pos] == '.') {
        ++pos;
        const size_t fraction = pos;
        while (pos < s.size() && isdigit(static_cast<unsigned char>(s[pos]))) ++pos;
        if (pos == fraction) return false;
      }
      v.kind = kNumber;
      v.number = std::strtod(std::string(s.substr(start, pos - start)).c_str(), nullptr);
      return true;
    }
    bool String(std::string& out) {
      if (pos >= s.size() || s[pos] != '"') return false;
      ++pos;
      while (pos < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[pos++]);
        if (c == '"') return true;
        if (c < 0x20) return false;
        if (c != '\\') {
          out += static_cast<char>(c);
          continue;
        }
        if (pos >= s.size()) return false;
        const char e = s[pos++];
        switch (e) {
          case '"':
          case '\\':
          case '/':
            out += e;
            break;
          case 'n':
            out += '\n';
            break;
          case 'r':
            out += '\r';
            break;
          case 't':
            out += '\t';
            break;
          case 'b':
            out += '\b';
            break;
          case 'f':
            out += '\f';
            break;
          case 'u': {
            if (pos + 4 > s.size()) return false;
            const long code = std::strtol(std::string(s.substr(pos, 4)).c_str(), nullptr, 16);
            pos += 4;
            if (code >= 0x80) return false;  // the report escapes controls only
            out += static_cast<char>(code);
            break;
          }
          default:
            return false;
        }
      }
      return false;
    }
  };
};

}  // namespace orvana::cli::testing
