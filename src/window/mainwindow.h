#pragma once

// The main window: the templet list on the left, the result grid on the right, the menu bar and
// the three-panel status bar. It owns the templet list, the result grid with its browsing state
// (resultpages.h), the current templet and the extracted count, and the host of runs and other
// long operations (windowhost.h).
//
// The store is given to the constructor and must outlive the window. Store work happens in the
// logic files; every command runs under the standard error box (errorbox.h): a store error ends
// the command and the window stays usable.
//
// Components (object names as the program's other parts know them): the list "tvNavi" under its
// header "pnlTempletList" in "pnlLeft", the splitter "Splitter1", the grid "sgDisp" in "pnlGrid",
// the status bar "sbMsg", and one QAction per menu item ("miOpen", "miExit", ..., "miStop").

#include <QKeySequence>
#include <QMainWindow>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/resultgrid.h"
#include "core/resultpages.h"
#include "core/templet.h"
#include "engine/httpclient.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "window/windowhost.h"

class QAction;
class QLabel;
class QSplitter;
class QTableView;
class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

namespace sorvane {

class GridModel;
class StatusPanels;

class Tdm;

// One menu command: a row of the table that builds the menus.
struct Command {
  const char* menu;     // "File", "Templet", ...
  const char* name;     // object name of its QAction, "miOpen"
  const char* caption;  // "Open..."
  QKeySequence shortcut;
  bool separator_after = false;
  bool blocked_while_running = false;  // disabled while a run goes on
  std::function<void()> run;           // empty: not available yet (disabled)
};

class TfrmMain : public QMainWindow {
  Q_OBJECT

 public:
  // Lists every templet of `store` and shows the first one. `store` must outlive the window.
  explicit TfrmMain(Tdm& store, QWidget* parent = nullptr);
  ~TfrmMain() override;

  // Appends a templet entry named `name` at the end of the list and selects it through the
  // selection protocol (the unsaved-results guard may keep the selection where it is).
  void AddTempletNode(const TTemplet& templet, const std::string& name);
  // After the selected templet was changed in the editor: the selected entry takes `name` and
  // `templet`'s record, and the templet is shown anew. Unsaved run records are replaced only
  // after the unsaved-results guard agreed; otherwise the grid keeps them.
  void RefreshTemplet(const TTemplet& templet, const std::string& name);
  // Lays the grid out for `entry` and fills it with the first page of its target table; sets
  // the status panels. A store error stops it where it is (standard error box).
  void ShowTempletData(const TTemplet& entry);
  // Opens the help page of `topic` (for example "introduce.html") in the help window.
  void ShowHelpTopic(const std::string& topic);

  // The unsaved-results guard: true when the extracted count is 0, or when the user agrees to
  // discard the records (the count becomes 0 then).
  bool ConfirmDiscard();

  Tdm& Store() const { return store_; }
  // A copy of the selected entry's record, completed with ImgDir; all zero until first shown.
  const TTemplet& CurrentTemplet() const { return pages_.Current(); }
  const ResultPages& Pages() const { return pages_; }
  // The number of records of the last run that are not yet saved or exported.
  int ExtractedCount() const { return run_state_.extracted; }
  void SetExtractedCount(int count) { run_state_.extracted = count; }
  // True while a run is going on.
  bool Running() const { return run_state_.running; }
  // Runs `command` under the standard error box; true when it ran to its end.
  bool RunCommand(const std::function<void()>& command);

  // The host of runs and other long operations: status text, stop flag, questions, the grid.
  WindowHost& Host() { return host_; }
  ResultGrid& Grid() { return host_.Grid(); }
  RegExpr& Expressions() { return re_; }
  HttpClient& Http() { return http_; }
  QTreeWidget* Navi() const { return tvNavi_; }
  QTableView* GridView() const { return sgDisp_; }
  GridModel* Model() const { return model_; }
  StatusPanels* Status() const { return sbMsg_; }
  // Sets the progress text (status panel 0) and processes pending window events.
  void ShowStatus(std::string_view text) { host_.ShowStatus(text); }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateComponents();
  void CreateMenus();
  std::vector<Command> Commands();
  void LoadTemplets();
  // The record of the selected entry, or null.
  const TTemplet* SelectedTemplet() const;
  QTreeWidgetItem* SelectedItem() const;
  void NaviSelectionChanged();
  // Brings the grid's font, row height and column widths to the view.
  void ApplyGridLook();
  void ApplyColumnWidths();
  void ColumnResized(int section, int new_size);

  // Runs: "&Extract Now" (also a double-click on an entry), "Open...".
  void ExtractNow();
  void OpenAndExtract();
  // Runs one of the run commands under the standard error box; a close asked for during the
  // run happens after it.
  using RunEntry = bool (*)(RunContext&, const TTemplet*, const RunCommandHooks&);
  void RunWith(RunEntry entry);
  RunCommandHooks MakeRunHooks();
  // The run of the selected entry: its record, with the current templet's image folder when it is
  // the shown one; null without a selection.
  const TTemplet* TempletToRun();
  // Enables the commands that may not change the grid or the templet while a run goes on.
  void SetRunning(bool running);

  // Commands.
  void EditTemplet(int id);
  void DeleteTemplet();
  void EditOptions();
  void DeleteSelectedRows();
  // "Previous Page", "Next Page", "First Page", "Last Page": `turn` is the page it shows.
  void TurnPage(bool (ResultPages::*turn)(Tdm&));
  void SaveColumnWidths();
  void ShowAbout();

  Tdm& store_;
  WindowHost host_{this};
  ResultPages pages_{host_.Grid()};
  RunState run_state_;
  RegExpr re_;       // the one expression engine of the window, for every run
  HttpClient http_;  // the one HTTP client of the process: its cookies live as long as the window
  TTemplet run_templet_;  // the record TempletToRun hands out
  bool close_after_run_ = false;
  bool navi_handler_attached_ = false;
  bool applying_widths_ = false;
  // The commands disabled while a run goes on, with whether they are available at all.
  std::vector<std::pair<QAction*, bool>> blocked_;

  QWidget* pnlLeft_ = nullptr;
  QLabel* pnlTempletList_ = nullptr;
  QTreeWidget* tvNavi_ = nullptr;
  QSplitter* Splitter1_ = nullptr;
  QTableView* sgDisp_ = nullptr;
  GridModel* model_ = nullptr;
  StatusPanels* sbMsg_ = nullptr;
  QAction* miStop_ = nullptr;
};

}  // namespace sorvane
