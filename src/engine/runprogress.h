#pragma once

// The progress bar of a run (RunHost::ShowProgressBar): the pages done of the pages known
// (files for a local run, values of a database field whose pages are numbered until an empty
// one). A run of one page has nothing to count in pages: the bar follows its records through
// the page instead, and its text counts them.
//
// Owned by the run for its length; the bar goes when it is destroyed.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/progressbar.h"

namespace sorvane {

class RunHost;

class RunProgress {
 public:
  explicit RunProgress(RunHost& host) : host_(host), bar_(host) {}

  // Before step `done` (0-based) of `total` (0 or less: not known), and once more when the last
  // one is done. A total of 1 "pages" or "files" makes it a one-page run: the bar then follows
  // the records (Reached) and later calls change nothing.
  void Steps(std::int64_t done, std::int64_t total, std::string_view unit);
  // True in a one-page run.
  bool FollowsRecords() const { return one_page_; }
  // In a one-page run: the record loop stands at byte `pos` (1-based: the next byte it looks at)
  // of a page of `size` bytes, with `records` records counted by the run.
  void Reached(std::size_t pos, std::size_t size, int records);

 private:
  RunHost& host_;
  ProgressBarScope bar_;
  bool one_page_ = false;
  std::string label_;  // reused for the record count, so a record costs no allocation here
};

}  // namespace sorvane
