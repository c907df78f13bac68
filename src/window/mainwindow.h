#pragma once

// The main window: the templet list on the left, the result grid on the right, the menu bar and
// the three-panel status bar. It owns the templet list, the result grid with its browsing state
// (resultpages.h), the current templet and the extracted count, and it is the host of runs and
// other long operations (runhost.h).
//
// The store is the program's data module `dm`, which must be set before the window is created
// and outlive it. Store work happens in the logic files; every command runs under the standard
// error box (errorbox.h): a store error ends the command and the window stays usable.
//
// Components (object names as the program's other parts know them): the list "tvNavi" under its
// header "pnlTempletList" in "pnlLeft", the splitter "Splitter1", the grid "sgDisp" in "pnlGrid",
// the status bar "sbMsg", and one QAction per menu item ("miOpen", "miExit", ..., "miStop").

#include <QElapsedTimer>
#include <QMainWindow>

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/resultgrid.h"
#include "core/resultpages.h"
#include "core/runhost.h"
#include "core/templet.h"
#include "engine/httpclient.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"

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

class TfrmMain : public QMainWindow, public RunHost {
  Q_OBJECT

 public:
  // Lists every templet of the store and shows the first one.
  explicit TfrmMain(QWidget* parent = nullptr);
  ~TfrmMain() override;

  // Appends a templet entry at the end of the list and selects it through the selection
  // protocol (the unsaved-results guard may keep the selection where it is).
  void AddTempletNode(int id, int tab_id, const std::string& name, bool is_url, bool is_text_tag);
  // Lays the grid out for `entry` and fills it with the first page of its target table; sets
  // the status panels. A store error stops it where it is (standard error box).
  void ShowTempletData(const TTemplet& entry);
  // Opens the help page of `topic` (for example "introduce.html") in the help window.
  void ShowHelpTopic(const std::string& topic);

  // The unsaved-results guard: true when the extracted count is 0, or when the user agrees to
  // discard the records (the count becomes 0 then).
  bool ConfirmDiscard();

  // A copy of the selected entry's record, completed with ImgDir; all zero until first shown.
  const TTemplet& CurrentTemplet() const { return pages_.Current(); }
  const ResultPages& Pages() const { return pages_; }
  // The number of records of the last run that are not yet saved or exported.
  int ExtractedCount() const { return run_state_.extracted; }
  void SetExtractedCount(int count) { run_state_.extracted = count; }
  // True while a run is going on.
  bool Running() const { return run_state_.running; }
  // Tests answer the open-file dialog of "Open..." and "&Extract Now" with this; it returns
  // false for a cancelled dialog. Empty: the real dialog.
  using FileChooser = std::function<bool(std::vector<std::string>& files)>;
  void SetFileChooserForTesting(FileChooser chooser) { file_chooser_ = std::move(chooser); }
  // Runs `command` under the standard error box; true when it ran to its end.
  bool RunCommand(const std::function<void()>& command);

  QTreeWidget* Navi() const { return tvNavi_; }
  QTableView* GridView() const { return sgDisp_; }
  GridModel* Model() const { return model_; }
  StatusPanels* Status() const { return sbMsg_; }

  // RunHost.
  void ShowStatus(std::string_view text) override;
  void ProcessEvents() override;
  bool StopEnabled() const override;
  void SetStopEnabled(bool enabled) override;
  Answer Message(std::string_view caption, std::string_view text, Icon icon,
                 Buttons buttons) override;
  bool AskImageCode(const VerificationCodeRequest& request, std::string& code) override;
  ResultGrid& Grid() override { return grid_; }

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateComponents();
  void CreateMenus();
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
  RunContext MakeRunContext();
  RunCommandHooks MakeRunHooks();
  // The run of the selected entry: the current templet (with its image folder) when it is the
  // selected one, otherwise the entry's record; null without a selection.
  const TTemplet* TempletToRun() const;
  // Enables the commands that may not change the grid or the templet while a run goes on.
  void SetRunning(bool running);

  // Commands.
  void DeleteTemplet();
  void EditOptions();
  void DeleteSelectedRows();
  void PreviousPage();
  void NextPage();
  void SaveColumnWidths();
  void ShowAbout();

  ResultGrid grid_;
  ResultPages pages_{grid_};
  RunState run_state_;
  RegExpr re_;       // the one expression engine of the window, for every run
  HttpClient http_;  // the one HTTP client of the process: its cookies live as long as the window
  bool close_after_run_ = false;
  FileChooser file_chooser_;
  bool navi_handler_attached_ = false;
  bool applying_widths_ = false;
  QElapsedTimer since_pump_;

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
