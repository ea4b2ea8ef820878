// The build's recording file system: what reaches the target and through
// which call, and the sizes and charset answers it keeps for the report.
#include <map>
#include <random>

#include <gtest/gtest.h>

#include "BuildRecorder.h"

namespace orvana::cli {
namespace {

// Keeps every file by name and counts the calls that delivered it.
class TFakeFileSystem final : public TFileSystem {
 public:
  bool IsDirectory(const std::string&) override { return true; }
  bool ReplaceFile(const std::string& path, std::string_view bytes, TReplaceMode,
                   TWriteFailure* failure) override {
    ++whole_calls;
    if (fail) return Fail(failure);
    files[path] = std::string(bytes);
    return true;
  }
  bool ReplaceFilePieces(const std::string& path, const std::vector<std::string_view>& pieces,
                         TReplaceMode, TWriteFailure* failure) override {
    ++piece_calls;
    if (fail) return Fail(failure);
    std::string& file = files[path];
    file.clear();
    for (std::string_view piece : pieces) file += piece;
    return true;
  }
  std::unique_ptr<TFileReplacement> BeginReplace(const std::string& path, TReplaceMode,
                                                 TWriteFailure* failure) override {
    ++begin_calls;
    if (fail) {
      Fail(failure);
      return nullptr;
    }
    struct TStream final : TFileReplacement {
      TFakeFileSystem& fs;
      std::string path, bytes;
      TStream(TFakeFileSystem& f, std::string p) : fs(f), path(std::move(p)) {}
      bool Write(std::string_view b, TWriteFailure*) override {
        bytes += b;
        return true;
      }
      bool Commit(TWriteFailure*) override {
        fs.files[path] = bytes;
        return true;
      }
    };
    return std::make_unique<TStream>(*this, path);
  }

  static bool Fail(TWriteFailure* failure) {
    if (failure) *failure = {TWriteFailure::kWrite, 28};
    return false;
  }

  std::map<std::string, std::string> files;
  int whole_calls = 0, piece_calls = 0, begin_calls = 0;
  bool fail = false;
};

const std::vector<std::string_view> kPage = {"<html><head><meta charset=", "\"windows-1251\"",
                                             "></head><body>", "text"};

TEST(BuildRecorderTest, PiecesAndStreamsReachTheTargetUnjoined) {
  TFakeFileSystem fs;
  int hooks = 0;
  TBuildRecorder recorder(&fs, [&](size_t files) { hooks = static_cast<int>(files); });
  TWriteFailure failure{TWriteFailure::kCreate, 0};
  ASSERT_TRUE(recorder.ReplaceFilePieces("a.html", kPage, TReplaceMode::kSitePage, &failure));
  std::unique_ptr<TFileReplacement> stream =
      recorder.BeginReplace("b.html", TReplaceMode::kSitePage, &failure);
  ASSERT_TRUE(stream);
  for (std::string_view piece : {"<html><body>", "x", "yz"})
    ASSERT_TRUE(stream->Write(piece, &failure));
  EXPECT_EQ(hooks, 1);  // nothing recorded before the commit
  ASSERT_TRUE(stream->Commit(&failure));
  ASSERT_TRUE(recorder.ReplaceFile("style.css", "p{}", TReplaceMode::kSitePage, &failure));

  EXPECT_EQ(fs.piece_calls, 1);
  EXPECT_EQ(fs.begin_calls, 1);
  EXPECT_EQ(fs.whole_calls, 1);
  EXPECT_EQ(fs.files["a.html"], "<html><head><meta charset=\"windows-1251\"></head><body>text");
  EXPECT_EQ(fs.files["b.html"], "<html><body>xyz");
  EXPECT_EQ(hooks, 3);
  const TBuildOutput out = recorder.Output(2, "site");
  ASSERT_EQ(out.pages.size(), 2u);
  EXPECT_EQ(out.pages[0].bytes, fs.files["a.html"].size());
  EXPECT_TRUE(out.pages[0].declares_charset);
  EXPECT_EQ(out.pages[1].bytes, 15u);
  EXPECT_FALSE(out.pages[1].declares_charset);
  EXPECT_EQ(out.css_bytes, 3u);
}

TEST(BuildRecorderTest, FailuresAreNotRecordedAndDryRunsWriteNothing) {
  TFakeFileSystem fs;
  fs.fail = true;
  TBuildRecorder failing(&fs, nullptr);
  TWriteFailure failure{TWriteFailure::kCreate, 0};
  EXPECT_FALSE(failing.ReplaceFilePieces("a.html", kPage, TReplaceMode::kSitePage, &failure));
  EXPECT_EQ(failure.error_code, 28);
  EXPECT_EQ(failing.BeginReplace("b.html", TReplaceMode::kSitePage, &failure), nullptr);
  EXPECT_THROW(failing.Output(0, "site"), std::exception);

  TBuildRecorder dry(nullptr, nullptr);
  ASSERT_TRUE(dry.ReplaceFilePieces("a.html", kPage, TReplaceMode::kSitePage, &failure));
  std::unique_ptr<TFileReplacement> stream =
      dry.BeginReplace("s.css", TReplaceMode::kSitePage, &failure);
  ASSERT_TRUE(stream && stream->Write("abcd", &failure) && stream->Commit(&failure));
  const TBuildOutput out = dry.Output(1, "site");
  EXPECT_TRUE(out.pages[0].declares_charset);
  EXPECT_EQ(out.css_bytes, 4u);
}

// The sniffer, fed a file cut anywhere, answers as DeclaresCharset does on
// the whole file; the texts are built from the bytes that steer it.
TEST(BuildRecorderTest, SnifferAgreesWithWholeFileOverRandomCuts) {
  static const char* const kBits[] = {
      "<",    ">", "<meta", "<META ", "charset", "CharSet=x",  "<body", "<BoDy>",
      "<bod", "y", "a",     " ",      "<b",      "http-equiv", "<p>",   "</head>"};
  std::mt19937 rng(7);
  int declared = 0;
  for (int round = 0; round < 20000; ++round) {
    std::string html;
    const int bits = static_cast<int>(rng() % 24);
    for (int i = 0; i < bits; ++i) html += kBits[rng() % std::size(kBits)];
    TCharsetSniffer sniffer;
    for (size_t at = 0; at < html.size();) {
      const size_t n = std::min<size_t>(html.size() - at, rng() % 7);
      sniffer.Feed(std::string_view(html).substr(at, n));
      at += n;
    }
    ASSERT_EQ(sniffer.Result(), DeclaresCharset(html)) << html;
    declared += DeclaresCharset(html);
  }
  // Both answers occur often enough for the comparison to mean something.
  EXPECT_GT(declared, 2000);
  EXPECT_LT(declared, 18000);
}

}  // namespace
}  // namespace orvana::cli
