#pragma once

// The display options of a templet: five rows of `opts` (oid 1..5) that the options dialog writes
// together and the result grid applies whenever the templet is shown. A templet has either all
// five rows or none; without rows the defaults below apply. Beside them, up to three rows (oid
// 9..11) hold how its web runs fetch pages; the same dialog writes them.
//
// Templet id 0 owns no option set: its row with oid 1 is the global image counter. Nothing here
// reads or writes option rows of an id below 1.

#include <string>
#include <vector>

#include "core/store.h"

namespace sorvane {

// Option ids (`opts`.`oid`).
inline constexpr int kOptRowHeight = 1;       // default row height of the grid, pixels
inline constexpr int kOptFontName = 2;        // grid font name
inline constexpr int kOptFontSize = 3;        // grid font size, points
inline constexpr int kOptRecordsPerPage = 4;  // stored records per page; 0 = all on one page
inline constexpr int kOptImageFolder = 5;     // image folder, ending with "/"
// How a web run fetches its pages. Stored only when they differ from the defaults, so a templet
// that never changed them keeps exactly the five rows above.
inline constexpr int kOptRequestsInFlight = 9;  // 1..16
inline constexpr int kOptRequestDelay = 10;     // milliseconds between request starts
inline constexpr int kOptPageRetries = 11;      // 0..5

// Page settings of the templet editor, rows of their own beside the five display options (a
// program that knows only the five ignores them): each holds "1" (on) or "0" (off). A templet
// without a row has the setting off, as every templet had before these rows existed.
inline constexpr int kOptPageEncoding = 6;   // "1": "Convert to UTF-8"; "0": "As is"
inline constexpr int kOptStopOnRepeat = 7;   // "Stop a page sequence when a page repeats"
inline constexpr int kOptWarnEmptyPage = 8;  // "Warn on an empty page"

struct PageSettings {
  bool convert_to_utf8 = false;
  bool stop_on_repeat = false;
  bool warn_empty_page = false;
  bool operator==(const PageSettings&) const = default;
};
// What the editor gives a templet it creates.
inline constexpr PageSettings kNewTempletPageSettings{true, true, true};

// The page settings of `templet_id` (off without rows, and for an id below 1). Throws StoreError.
PageSettings ReadPageSettings(Tdm& store, int templet_id);
// The statements that store `settings` for `templet_id`: per setting
// "delete from opts where tmid=<id> and oid=<oid>" and "insert into opts values(<id>, <oid>, 0|1)".
std::vector<std::string> SavePageSettingsStatements(int templet_id, const PageSettings& settings);
// Runs them on store.qryM (nothing for an id below 1). Throws StoreError.
void SavePageSettings(Tdm& store, int templet_id, const PageSettings& settings);

// Values in force for a templet without option rows.
inline constexpr int kDefaultRowHeight = 20;
inline constexpr const char* kDefaultGridFontName = "arial";
inline constexpr int kDefaultFontSize = 8;
inline constexpr int kDefaultRecordsPerPage = 20;
// DataFolder() + "image/": beside the program when it may write there.
std::string DefaultImageFolder();

// The fetching options of a web run: how many pages may be requested at once, the least time
// between the starts of two requests, and how often a page is asked for again after an answer
// that says "later" (429, 502, 503, 504) or a dropped connection.
struct FetchOptions {
  static constexpr int kMaxInFlight = 16;
  static constexpr int kMaxDelayMs = 600000;
  static constexpr int kMaxRetries = 5;

  int in_flight = 1;
  int delay_ms = 0;
  int retries = 0;
  bool operator==(const FetchOptions&) const = default;

  // Each value within its range (in_flight 1..16, delay_ms 0..600000, retries 0..5).
  FetchOptions Clamped() const;
};

// One option row as stored: numbers are their decimal digits.
struct OptionRow {
  int oid = 0;
  std::string val;
  bool operator==(const OptionRow&) const = default;
};

// The option rows of `templet_id`, in the order the store returns them, read with
// "select oid,val from opts where tmid=" + id on store.qryM. Empty for a templet without options
// and for an id below 1 (nothing is read then). Throws StoreError.
std::vector<OptionRow> ReadOptions(Tdm& store, int templet_id);

// The five values the options dialog saves.
struct TempletOptions {
  std::string row_height;        // decimal digits, embedded unquoted
  std::string font_name;         // embedded quoted
  int font_size = 0;             // points
  std::string records_per_page;  // decimal digits, embedded unquoted
  std::string image_folder;      // embedded quoted
};

// The page settings that `rows` hold (a setting without its row is off).
PageSettings PageSettingsOf(const std::vector<OptionRow>& rows);

// The fetching options that `rows` hold: a missing row or a value that is no decimal number gives
// the default, a number out of range the nearest bound.
FetchOptions FetchOptionsOf(const std::vector<OptionRow>& rows);

// Why a set of options cannot be saved. The two digit strings go into the statements unquoted,
// so anything but one or more decimal digits is refused rather than sent to the store.
enum class OptionsCheck {
  kOk,
  kNoTemplet,                // id below 1: templet 0 holds the image counter
  kRowHeightNotDigits,       // empty or not only 0-9
  kRecordsPerPageNotDigits,  // empty or not only 0-9
};

// Checks the row height first, then the records per page.
OptionsCheck CheckOptions(int templet_id, const TempletOptions& options);

// The statements of a save, in order: "delete from opts where tmid=" + id, the inserts of oid 1
// to 5, then those of oid 9 to 11 whose values in `fetch` (clamped) differ from the defaults.
// Throws std::invalid_argument unless CheckOptions gives kOk.
std::vector<std::string> SaveOptionsStatements(int templet_id, const TempletOptions& options,
                                               const FetchOptions& fetch = {});

// Replaces the option rows of `templet_id` by those of `options` and `fetch`, executing
// SaveOptionsStatements one after the other on store.qryM; the templet's page settings rows, which
// the delete takes too, are written back after them. A refusal of CheckOptions is returned
// before anything runs. A failing statement throws StoreError and stops the save there; the
// statements before it stay done.
OptionsCheck SaveOptions(Tdm& store, int templet_id, const TempletOptions& options,
                         const FetchOptions& fetch = {});

}  // namespace sorvane
