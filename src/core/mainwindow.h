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

#include "core/resultgrid.h"
#include "core/resultpages.h"
#include "core/runhost.h"
#include "core/templet.h"

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
  int ExtractedCount() const { return extracted_count_; }
  void SetExtractedCount(int count) { extracted_count_ = count; }
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
  bool AskVerificationCode(std::string_view login_url,
                           const std::function<std::string()>& fetch_image,
                           std::string& code) override;
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
  int extracted_count_ = 0;
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
