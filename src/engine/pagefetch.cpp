#include "engine/pagefetch.h"

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "core/ascii.h"
#include "core/runhost.h"

namespace sorvane {
namespace {

// An address that resolves the same whatever was fetched before it.
bool IsAbsolute(std::string_view url) {
  const std::string head = AsciiLower(std::string(url.substr(0, 8)));
  return head.starts_with("http://") || head.starts_with("https://");
}

}  // namespace

FetchOptions FetchOverrides::Over(const FetchOptions& stored) const {
  FetchOptions options = stored;
  if (in_flight) options.in_flight = *in_flight;
  if (delay_ms) options.delay_ms = *delay_ms;
  if (retries) options.retries = *retries;
  return options.Clamped();
}

bool IsRetryable(const HttpError& error) {
  const long status = error.Detail().status;
  return error.Detail().dropped || status == 429 || status == 502 || status == 503 || status == 504;
}

std::chrono::milliseconds RetryWait(const HttpError& error, int attempt,
                                    std::chrono::milliseconds first_backoff,
                                    std::chrono::seconds max_retry_after) {
  const int doublings = std::clamp(attempt - 1, 0, 20);
  const std::chrono::milliseconds backoff = first_backoff * (1L << doublings);
  const std::optional<long> after = error.Detail().retry_after;
  if (!after) return backoff;
  const std::chrono::milliseconds asked =
      std::min<std::chrono::seconds>(std::chrono::seconds(*after), max_retry_after);
  return std::max(backoff, asked);
}

PageFetcher::PageFetcher(HttpClient& http, const RequestSettings& settings,
                         const FetchOptions& options, RunHost& host, RetryTiming timing)
    : http_(http), settings_(settings), options_(options.Clamped()), host_(host), timing_(timing) {}

PageFetcher::~PageFetcher() {
  while (!pages_.empty())
    DropFront();
}

std::string PageFetcher::Fetch(const std::string& url, const PagesAhead& ahead) {
  while (!pages_.empty() && pages_.front().url != url)
    DropFront();
  // One page at a time, or an address that depends on the page before it: fetched as GetText
  // would, with the pause and the retries.
  if (pages_.empty() && (options_.in_flight == 1 || !IsAbsolute(url))) return FetchNow(url);
  if (pages_.empty()) pages_.push_back(Page{url});
  PlanAhead(ahead);
  for (;;) {
    Page& page = pages_.front();
    if (page.state == Page::State::kDone) {
      GetResult result = std::move(page.result);
      pages_.pop_front();
      http_.AdoptResponse(result);
      if (result.error) throw *result.error;
      // The pages after it go on while this one is extracted.
      StartDue();
      return std::move(result.body);
    }
    StartDue();
    for (const HttpClient::GetId id : http_.WaitForGets(NextStart()))
      Collect(id);
  }
}

std::string PageFetcher::FetchNow(const std::string& url) {
  for (int sent = 1;; ++sent) {
    WaitUntil(next_start_);
    next_start_ = Clock::now() + std::chrono::milliseconds(options_.delay_ms);
    try {
      return http_.GetText(url, settings_);
    } catch (const HttpError& e) {
      Clock::time_point start_at;
      if (!ScheduleRetry(url, e, sent, true, start_at)) throw;
    }
  }
}

void PageFetcher::WaitUntil(Clock::time_point when) {
  while (Clock::now() < when) {
    // Nothing is in flight here, so the wait only runs the pump until the time has come.
    for (const HttpClient::GetId id : http_.WaitForGets(when))
      http_.CancelGet(id);
  }
}

void PageFetcher::DropFront() {
  const Page& page = pages_.front();
  if (page.state == Page::State::kInFlight) http_.CancelGet(page.id);
  pages_.pop_front();
}

void PageFetcher::PlanAhead(const PagesAhead& ahead) {
  if (!ahead) return;
  const std::size_t depth = static_cast<std::size_t>(options_.in_flight) + 1;
  while (pages_.size() < depth) {
    const std::optional<std::string> next = ahead(static_cast<int>(pages_.size()));
    if (!next || !IsAbsolute(*next)) return;
    pages_.push_back(Page{*next});
  }
}

void PageFetcher::StartDue() {
  auto in_flight = std::count_if(pages_.begin(), pages_.end(),
                                 [](const Page& p) { return p.state == Page::State::kInFlight; });
  for (Page& page : pages_) {
    if (page.state != Page::State::kWaiting) continue;
    // In order: a page waiting for its retry holds back those after it.
    const Clock::time_point now = Clock::now();
    if (in_flight >= options_.in_flight || std::max(page.start_at, next_start_) > now) return;
    next_start_ = now + std::chrono::milliseconds(options_.delay_ms);
    ++page.sent;
    try {
      page.id = http_.StartGet(page.url, settings_);
    } catch (const HttpError& e) {
      page.state = Page::State::kDone;
      page.result.error = e;
      continue;
    }
    page.state = Page::State::kInFlight;
    ++in_flight;
  }
}

PageFetcher::Clock::time_point PageFetcher::NextStart() const {
  const auto in_flight = std::count_if(pages_.begin(), pages_.end(), [](const Page& p) {
    return p.state == Page::State::kInFlight;
  });
  if (in_flight < options_.in_flight) {
    for (const Page& page : pages_) {
      if (page.state == Page::State::kWaiting) return std::max(page.start_at, next_start_);
    }
  }
  return Clock::time_point::max();
}

void PageFetcher::Collect(HttpClient::GetId id) {
  const auto page = std::find_if(pages_.begin(), pages_.end(), [id](const Page& p) {
    return p.state == Page::State::kInFlight && p.id == id;
  });
  if (page == pages_.end()) {
    http_.CancelGet(id);
    return;
  }
  page->result = http_.TakeGet(id);
  page->state = Page::State::kDone;
  if (page->result.error && ScheduleRetry(page->url, *page->result.error, page->sent,
                                          page == pages_.begin(), page->start_at)) {
    page->state = Page::State::kWaiting;
    page->result = GetResult{};
  }
}

bool PageFetcher::ScheduleRetry(const std::string& url, const HttpError& error, int sent,
                                bool visiting, Clock::time_point& start_at) {
  if (sent > options_.retries || !IsRetryable(error)) return false;
  const std::chrono::milliseconds wait =
      RetryWait(error, sent, timing_.first_backoff, timing_.max_retry_after);
  start_at = Clock::now() + wait;
  // The site asked for a pause: no other request starts before this one.
  next_start_ = std::max(next_start_, start_at);
  if (visiting) {
    const long long seconds = (wait.count() + 999) / 1000;
    host_.ShowStatus("Asking again in " + std::to_string(seconds) + " s (" + std::to_string(sent) +
                     " of " + std::to_string(options_.retries) + ", " + error.what() + "): " + url);
  }
  return true;
}

}  // namespace sorvane
