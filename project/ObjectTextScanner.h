// The object-notation reader's scanner: the text as tokens, strings decoded
// into the parse tree's arena as they are met.
//
// The scanner counts lines at each LF and refuses a line that does not fit
// the reader's line buffer as if it had checked it on entering it. Its errors
// are syntax errors: "<inner text> on line <n>".
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "project/ObjectText.h"

namespace orvana::object_text {

enum class TTokenKind : uint8_t { kEof, kSymbol, kString, kInteger, kFloat, kChar };

class TScanner {
 public:
  // Decoded strings are appended to `arena`, which must outlive the scanner.
  // `fast` takes the common runs of strings through a quicker loop with the
  // same results; without it every piece goes through the plain steps.
  TScanner(std::string_view text, std::string& arena, bool fast = true);

  TTokenKind kind() const { return kind_; }
  char ch() const { return ch_; }
  // The symbol's bytes (kSymbol).
  std::string_view symbol() const { return text_.substr(token_begin_, token_end_ - token_begin_); }
  // The decoded string in the arena (kString).
  size_t string_begin() const { return string_begin_; }
  size_t string_end() const { return string_end_; }
  int64_t integer() const { return integer_; }
  // The line the current token is on.
  int64_t line() const { return line_; }
  // The offset just past the current token in the text.
  size_t token_end() const { return token_end_; }
  bool too_large() const { return too_large_; }

  bool IsChar(char c) const { return kind_ == TTokenKind::kChar && ch_ == c; }
  bool IsKeyword(std::string_view word) const {
    return kind_ == TTokenKind::kSymbol && EqualsIgnoreCase(symbol(), word);
  }

  // Decodes the strings that follow into `arena`. With `separate`, every
  // string token (its joined pieces included) is followed there by one CR
  // that is not part of it: the strings of a list then stand in the arena
  // as the lines of a text do, each followed by CR.
  void SetArena(std::string& arena, bool separate);

  // Throws the syntax error with the current line's number; "Line too long"
  // instead when the current line cannot be read.
  [[noreturn]] void Fail(std::string_view inner) const;

  // Throws "Line too long" when the current line cannot be read: for a
  // caller that stops reading in the middle of the text.
  void CheckLine() const;

  // Moves on to the next token.
  void Next();

  // On a string token: takes every "+" that a string follows, and that
  // string, into the token, as if the parser had joined them; the decoded
  // bytes follow the token's in the arena and string_end() moves on. Stops
  // before the first "+" that no string follows and before anything else.
  void JoinStringPieces();

  // Raw data after the current "{" token: pairs of hexadecimal digits with
  // blanks allowed between pairs, up to "}". Leaves the scanner on the token
  // after "}".
  void SkipBinary();

 private:
  unsigned char At(size_t i) const { return static_cast<unsigned char>(text_[i]); }

  bool CurrentLineTooLong() const;
  void SkipBlanks();

  void ScanString();
  // The adjacent quoted runs and codes from the current position, decoded
  // into the arena; sets string_end_ and token_end_.
  void ScanStringPieces();
  void ScanStringPiecesFast();
  bool TakeJoin(const char*& p);
  uint32_t ScanCharCode();
  void AppendCharCode(uint32_t code, bool& pending_high);
  void ScanQuotedRun();

  void ScanHex();
  void ScanNumber();
  void ScanFloatTail(size_t start);

  std::string_view text_;
  std::string* arena_;
  bool separate_ = false;
  size_t pos_ = 0;
  int64_t line_ = 1;
  size_t line_start_ = 0;

  TTokenKind kind_ = TTokenKind::kEof;
  char ch_ = 0;
  size_t token_begin_ = 0;
  size_t token_end_ = 0;
  size_t string_begin_ = 0;
  size_t string_end_ = 0;
  int64_t integer_ = 0;
  bool too_large_ = false;
  bool fast_ = true;
  bool joining_ = false;  // JoinStringPieces is scanning a joined piece
};

}  // namespace orvana::object_text
