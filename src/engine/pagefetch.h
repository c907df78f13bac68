#pragma once

// How a web run fetches its pages when its fetching options (core/options.h) ask for more than
// one page at a time, for a pause between requests or for retries.
//
// PageFetcher::Fetch gives the text of the page the walk visits now. With N requests in flight
// it has already asked for the pages planned after it (PagesAhead), up to N at once on the
// client's shared connections, so the walk finds them ready; the walk still takes the pages one
// by one, in its own order, and extracts each as before. A page planned but not visited (the
// run ended, a value's pages stopped early) is aborted or dropped unread. A failure is reported
// when the walk reaches that page, not before: the pages before it are extracted as in a run that
// fetches one page at a time. Only absolute http and https addresses are asked for early; any
// other address is fetched when it is visited.
//
// Politeness: two requests start at least delay_ms apart (retries included). A page answered 429,
// 502, 503 or 504, or whose connection dropped, is asked again up to `retries` times, after an
// exponential back-off (first_backoff, doubled each time) or the answer's Retry-After, whichever
// is longer; while one waits no other request starts.
//
// Waiting runs the client's pump, so the window stays responsive and Stop aborts every request in
// flight: Fetch then throws HttpError as GetText does. The fetcher belongs to one run; its
// destructor aborts whatever is still in flight. Not thread-safe.

#include <chrono>
#include <deque>
#include <optional>
#include <string>
#include <utility>

#include "core/options.h"
#include "engine/httpclient.h"
#include "engine/sources.h"

namespace sorvane {

class RunHost;

// Values given for one run in place of the templet's stored ones (sorvane-run's options).
struct FetchOverrides {
  std::optional<int> in_flight;
  std::optional<int> delay_ms;
  std::optional<int> retries;

  // `stored` with the given values in place, clamped to their ranges.
  FetchOptions Over(const FetchOptions& stored) const;
};

// True for a failure worth asking again: the status 429, 502, 503 or 504, or a connection that
// dropped before the answer was whole.
bool IsRetryable(const HttpError& error);

// The wait before retry `attempt` (1 for the first): first_backoff * 2^(attempt-1), or the
// answer's Retry-After (at most max_retry_after) when that is longer.
std::chrono::milliseconds RetryWait(const HttpError& error, int attempt,
                                    std::chrono::milliseconds first_backoff,
                                    std::chrono::seconds max_retry_after);

// The waits before retries.
struct RetryTiming {
  std::chrono::milliseconds first_backoff{500};
  // A longer Retry-After is cut to this; Stop ends any wait at once anyway.
  std::chrono::seconds max_retry_after{300};
};

class PageFetcher {
 public:
  // `http`, `settings` and `host` must outlive the fetcher. `host` shows the waits before
  // retries of the page being visited.
  PageFetcher(HttpClient& http, const RequestSettings& settings, const FetchOptions& options,
              RunHost& host, RetryTiming timing = {});
  ~PageFetcher();
  PageFetcher(const PageFetcher&) = delete;
  PageFetcher& operator=(const PageFetcher&) = delete;

  // The text of the page at `url`, with `ahead` the pages planned after it. Throws HttpError as
  // HttpClient::GetText does, once the retries are spent; the client's LastUrl() is then this
  // page's address, as after GetText.
  std::string Fetch(const std::string& url, const PagesAhead& ahead);

 private:
  using Clock = std::chrono::steady_clock;
  struct Page {
    enum class State { kWaiting, kInFlight, kDone };
    explicit Page(std::string address) : url(std::move(address)) {}
    std::string url;
    State state = State::kWaiting;
    HttpClient::GetId id = 0;
    Clock::time_point start_at{};  // kWaiting: not before
    int sent = 0;
    GetResult result;
  };

  std::string FetchNow(const std::string& url);
  void WaitUntil(Clock::time_point when);
  void DropFront();
  void PlanAhead(const PagesAhead& ahead);
  void StartDue();
  Clock::time_point NextStart() const;
  void Collect(HttpClient::GetId id);
  // A failure of a page asked `sent` times: when it may be asked again, schedules that and
  // returns true.
  bool ScheduleRetry(const std::string& url, const HttpError& error, int sent, bool visiting,
                     Clock::time_point& start_at);

  HttpClient& http_;
  const RequestSettings& settings_;
  const FetchOptions options_;
  RunHost& host_;
  const RetryTiming timing_;
  std::deque<Page> pages_;  // the page being visited first, then those planned after it
  Clock::time_point next_start_{};
};

}  // namespace sorvane
