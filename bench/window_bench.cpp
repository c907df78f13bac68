// The main window over a 1,000,000-record run, on the offscreen platform: the big page of the
// whole-run benchmark (bigpage.h) run by "&Extract Now" (the action F5 triggers) from inside the
// event loop, against the same run without a window.
//
// The baseline is the same run in the same process through the same entry (ExtractNow) with a
// host that shows nothing (benchhost.h): same store, same templet, same file in the page cache,
// same allocator state, and a host kept from run to run as the window keeps its own. The
// headless runner as a process would add its start, its store opening and the CSV it writes,
// none of which the window does; what differs here is only the host, so the ratio is the
// window's own cost. Times are the best of three runs; runs alternate between the two hosts.
//
// Each run's time also goes to standard error. Output, one `name: value` line each:
//   records                 rows of the run
//   window_first_rows_ms    from the start of the run until the grid view has painted a first
//                           row; window_first_rows_during_run says the run was still going on
//                           then (1) and window_first_rows_count how many rows the view had
//   headless_run_s          the run without a window
//   window_run_s            the run in the window, until the command returns
//   window_vs_headless      window_run_s / headless_run_s
//   window_scroll_last_ms   after the run, from Ctrl+End on the grid view until the view has
//                           painted with the last row in sight (the first such scroll)
//   window_scroll_again_ms  the slowest of five more, each after Ctrl+Home

#include <QAbstractItemModel>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QKeyEvent>
#include <QTableView>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "benchhost.h"
#include "bigpage.h"
#include "core/resultpages.h"
#include "core/store.h"
#include "core/templetstore.h"
#include "engine/httpclient.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "support/tempdir.h"
#include "window/gridmodel.h"
#include "window/mainwindow.h"

namespace {

using namespace sorvane;

constexpr int kRuns = 3;
constexpr int kScrolls = 5;

double Seconds(std::chrono::steady_clock::time_point from) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - from).count();
}

// Watches the grid view's paints: the paint is done first, then noted, so that a time taken
// after a paint includes it.
class PaintWatch : public QObject {
 public:
  explicit PaintWatch(TfrmMain& window) : window_(window) {
    window_.GridView()->viewport()->installEventFilter(this);
  }

  // Called with the number of rows the view knows, after each paint of the viewport.
  std::function<void(int rows)> painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::Paint || inside_) return false;
    inside_ = true;
    QCoreApplication::sendEvent(watched, event);  // the view paints
    inside_ = false;
    if (painted) painted(window_.Model()->rowCount());
    return true;
  }

 private:
  TfrmMain& window_;
  bool inside_ = false;
};

// `host` lives across the runs, as the window's host does, so that both grids start a run from
// the same state (a cleared grid keeps the room of its row tables).
double HeadlessRun(Tdm& store, BenchHost& host) {
  ResultPages pages(host.grid);
  const std::vector<TempletEntry> templets = LoadTemplets(store);
  pages.Show(store, templets.at(0).templet);
  const TTemplet templet = pages.Current();
  RegExpr re;
  RunState state;
  HttpClient http;
  RunContext ctx{.host = host, .store = store, .re = re, .state = state, .http = &http};
  const auto t0 = std::chrono::steady_clock::now();
  ExtractNow(ctx, &templet, {});
  const double s = Seconds(t0);
  std::fprintf(stderr, "headless run: %.3f s\n", s);
  if (state.extracted != bench::kBigPageRecords || host.messages != 0) {
    std::fprintf(stderr, "the headless run extracted %d records\n", state.extracted);
    std::exit(1);
  }
  return s;
}

// Ctrl with `key` on the grid view, as the keyboard gives it.
void PressKey(QTableView* view, Qt::Key key) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::ControlModifier);
  QCoreApplication::sendEvent(view, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::ControlModifier);
  QCoreApplication::sendEvent(view, &release);
}

// The time from `scroll` until the view has painted with its last row in sight.
double ScrollMs(TfrmMain& window, PaintWatch& watch, const std::function<void()>& scroll) {
  QTableView* view = window.GridView();
  const int last = window.Model()->rowCount() - 1;
  bool done = false;
  watch.painted = [&](int) {
    const int y = view->rowViewportPosition(last);
    done = y >= 0 && y < view->viewport()->height();
  };
  QElapsedTimer clock;
  clock.start();
  scroll();
  while (!done && clock.elapsed() < 10000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
  const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
  watch.painted = {};
  if (!done) {
    std::fprintf(stderr, "the last row was not painted\n");
    std::exit(1);
  }
  return ms;
}

struct WindowFigures {
  double first_rows_ms = 1e9;
  bool first_rows_during_run = false;
  int first_rows = 0;
  double run_s = 1e9;
  double scroll_last_ms = 1e9;
  double scroll_again_ms = 0;
};

void WindowRun(TfrmMain& window, PaintWatch& watch, WindowFigures& best) {
  auto* execute = window.findChild<QAction*>(QStringLiteral("miExecute"));
  double first_ms = -1;
  bool during = false;
  int first_rows = 0;
  window.SetExtractedCount(0);  // no unsaved-results question between runs
  const auto t0 = std::chrono::steady_clock::now();
  watch.painted = [&](int rows) {
    if (first_ms >= 0 || rows == 0 || !window.Running()) return;
    first_ms = Seconds(t0) * 1000;
    during = window.Running() && window.Grid().DataRowCount() < bench::kBigPageRecords;
    first_rows = rows;
  };
  execute->trigger();
  const double run_s = Seconds(t0);
  std::fprintf(stderr, "window run: %.3f s\n", run_s);
  watch.painted = {};
  if (window.ExtractedCount() != bench::kBigPageRecords ||
      window.Model()->rowCount() != bench::kBigPageRecords) {
    std::fprintf(stderr, "the window run extracted %d records, the view has %d rows\n",
                 window.ExtractedCount(), window.Model()->rowCount());
    std::exit(1);
  }
  QTableView* view = window.GridView();
  // As after a click on the first cell: the keys move from a current cell.
  view->setCurrentIndex(window.Model()->index(0, 0));
  QCoreApplication::processEvents();
  const double scroll_ms = ScrollMs(window, watch, [view] { PressKey(view, Qt::Key_End); });
  double again_ms = 0;
  for (int i = 0; i < kScrolls; ++i) {
    PressKey(view, Qt::Key_Home);
    QCoreApplication::processEvents();
    again_ms = std::max(again_ms, ScrollMs(window, watch, [view] { PressKey(view, Qt::Key_End); }));
  }
  if (first_ms < 0) {
    std::fprintf(stderr, "the view painted no row while the run went on\n");
  } else if (first_ms < best.first_rows_ms) {
    best.first_rows_ms = first_ms;
    best.first_rows_during_run = during;
    best.first_rows = first_rows;
  }
  best.run_s = std::min(best.run_s, run_s);
  best.scroll_last_ms = std::min(best.scroll_last_ms, scroll_ms);
  best.scroll_again_ms = std::max(best.scroll_again_ms, again_ms);
}

}  // namespace

int main(int argc, char* argv[]) {
  setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  const test::TempDir dir;
  const std::string page_path = dir.File("page.html");
  bench::WriteBigPage(page_path);
  const std::string store_path = dir.File("data.mdb");
  bench::MakeBigPageStore(store_path, page_path);
  auto store = std::make_unique<Tdm>(store_path);
  dm = store.get();

  double headless_s = 1e9;
  WindowFigures figures;
  BenchHost headless;
  {
    TfrmMain window(*store);
    window.show();
    PaintWatch watch(window);
    QTimer::singleShot(0, &window, [&] {
      for (int run = 0; run < kRuns; ++run) {
        headless_s = std::min(headless_s, HeadlessRun(*store, headless));
        WindowRun(window, watch, figures);
      }
      // The grid's rows count as unsaved: the window closes without asking.
      window.SetExtractedCount(0);
      QCoreApplication::quit();
    });
    QApplication::exec();
  }
  dm = nullptr;

  std::printf("records: %d\n", bench::kBigPageRecords);
  std::printf("window_first_rows_ms: %.1f\n", figures.first_rows_ms);
  std::printf("window_first_rows_during_run: %d\n", figures.first_rows_during_run ? 1 : 0);
  std::printf("window_first_rows_count: %d\n", figures.first_rows);
  std::printf("headless_run_s: %.3f\n", headless_s);
  std::printf("window_run_s: %.3f\n", figures.run_s);
  std::printf("window_vs_headless: %.2f\n", figures.run_s / headless_s);
  std::printf("window_scroll_last_ms: %.1f\n", figures.scroll_last_ms);
  std::printf("window_scroll_again_ms: %.1f\n", figures.scroll_again_ms);
  return 0;
}
