// How long the desktop application goes without repainting while it works:
// the real main window, offscreen, generates and writes a site of PAGES pages
// (Сгенерировать и выгрузить), then opens a project file of about MB
// megabytes. A probe widget asks for a repaint every 10 ms; the longest gap
// between two of its paints, and the time of the whole action, are printed.
//
//   window_bench [--pages 3000] [--open-mb 200] [--runs 15]
//
// With WINDOW_BENCH_EACH set in the environment, every run's figures too.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPainter>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/CodePage.h"
#include "gui/Dialogs.h"
#include "project/ProjectDocument.h"
#include "shell/Application.h"
#include "shell/MainFrame.h"
#include "window/FProject.h"

namespace {

// Repaints itself every 10 ms and keeps the longest pause between paints.
class TProbe : public QWidget {
 public:
  TProbe() {
    resize(50, 50);
    connect(&tick_, &QTimer::timeout, this, [this] { update(); });
    tick_.start(10);
    clock_.start();
  }
  void Reset() {
    longest_ = 0;
    last_ = clock_.elapsed();
  }
  qint64 Longest() const { return std::max(longest_, clock_.elapsed() - last_); }

 protected:
  void paintEvent(QPaintEvent*) override {
    const qint64 now = clock_.elapsed();
    longest_ = std::max(longest_, now - last_);
    last_ = now;
    QPainter(this).fillRect(rect(), Qt::white);
  }

 private:
  QTimer tick_;
  QElapsedTimer clock_;
  qint64 last_ = 0, longest_ = 0;
};

std::string Text(int pages) {
  static const char* const kWords[] = {"хроника", "город", "река", "берег", "улица",
                                       "дорога",  "ключи", "мост", "купол", "рынок"};
  std::string text;
  unsigned seed = 1;
  while (text.size() < static_cast<size_t>(pages) * 4500 * 2) {
    for (int w = 0; w < 12; ++w) {
      seed = seed * 1103515245 + 12345;
      text += kWords[(seed >> 16) % 10];
      text += w == 11 ? ".\n\n" : " ";
    }
  }
  return text;
}

int Arg(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::string(argv[i]) == name) return std::stoi(argv[i + 1]);
  return fallback;
}

// Runs `action` `runs` times, each followed (untimed) by `after`.
template <class F, class G>
void Measure(const char* what, TProbe& probe, int runs, F action, G after) {
  std::vector<qint64> gaps, times;
  for (int r = 0; r < runs; ++r) {
    QApplication::processEvents();
    probe.Reset();
    QElapsedTimer timer;
    timer.start();
    action();
    times.push_back(timer.elapsed());
    QApplication::processEvents();
    gaps.push_back(probe.Longest());
    after();
  }
  if (std::getenv("WINDOW_BENCH_EACH")) {
    for (size_t r = 0; r < gaps.size(); ++r)
      std::printf("  run %zu: gap %lld ms, action %lld ms\n", r + 1,
                  static_cast<long long>(gaps[r]), static_cast<long long>(times[r]));
  }
  std::sort(gaps.begin(), gaps.end());
  std::sort(times.begin(), times.end());
  std::printf("%-28s longest gap between repaints: median %lld ms (%lld-%lld), action %lld ms\n",
              what, static_cast<long long>(gaps[gaps.size() / 2]),
              static_cast<long long>(gaps.front()), static_cast<long long>(gaps.back()),
              static_cast<long long>(times[times.size() / 2]));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  orvana::TApplication app(argc, argv);
  const int pages = Arg(argc, argv, "--pages", 3000);
  const int open_mb = Arg(argc, argv, "--open-mb", 200);
  const int runs = Arg(argc, argv, "--runs", 15);
  QTemporaryDir dir;
  orvana::DesktopOpener::setIntercepted(true);
  orvana::TForm1 form;
  form.show();
  TProbe probe;
  probe.show();

  // The project window of a site of about `pages` pages.
  orvana::TSiteProject* w = nullptr;
  {
    const QString site = dir.filePath("site");
    QDir().mkpath(site);
    orvana::TProjectDocument document;
    orvana::TProjectMemos memos = orvana::TProjectDocument::NewProjectMemos();
    const std::string text = orvana::Utf8ToCp1251(Text(pages));
    size_t begin = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
      memos.site_text.push_back(text.substr(begin, end - begin));
      begin = end + 1;
    }
    document.SetMemos(std::move(memos));
    document.Generator().SetSavePath(site.toStdString());
    document.SaveToFile(dir.filePath("site.orvana").toStdString());
    form.OpenFiles({dir.filePath("site.orvana")});
    w = form.ActiveProject();
  }
  Measure(
      "generate and write", probe, runs,
      [&] {
        for (int i = 0; i < 4; ++i) orvana::MessageBox::setNextAnswer(orvana::MessageBox::Ok);
        w->findChild<QPushButton*>("Button1")->click();
        orvana::MessageBox::reset();
      },
      [] {});
  std::printf("  (%d pages)\n", w->Generator().Pages().Count());

  // A project file of about open_mb megabytes: its text is what makes it big.
  {
    orvana::TProjectDocument document;
    orvana::TProjectMemos memos = orvana::TProjectDocument::NewProjectMemos();
    // A Cyrillic letter takes five bytes of the file ("#1093").
    const std::string text =
        orvana::Utf8ToCp1251(Text(std::max(1, open_mb * 1024 * 1024 / (4500 * 9 / 2))));
    size_t begin = 0;
    for (size_t end = text.find('\n'); end != std::string::npos; end = text.find('\n', begin)) {
      memos.site_text.push_back(text.substr(begin, end - begin));
      begin = end + 1;
    }
    document.SetMemos(std::move(memos));
    document.SaveToFile(dir.filePath("big.orvana").toStdString());
  }
  std::printf("  project file: %lld MB\n",
              static_cast<long long>(QFileInfo(dir.filePath("big.orvana")).size() >> 20));
  // Each opened window is closed again, so that memory holds one copy.
  Measure(
      "open a large project", probe, runs, [&] { form.OpenFiles({dir.filePath("big.orvana")}); },
      [&] {
        // "Сохранить проект ...?": no.
        orvana::MessageBox::setNextAnswer(orvana::MessageBox::Cancel);
        form.CloseProjectExecute();
        orvana::MessageBox::reset();
        QApplication::processEvents();
      });
  return 0;
}
