// Throughput of the case-insensitive find against the C library's exact memmem on a 10 MB page
// of table markup. Each measurement finds every occurrence of a needle from the first byte to the
// end, one call per occurrence, and keeps the best of several runs. MB is 2^20 bytes.
//
// Output, one `name: value` line each:
//   buffer_bytes, td_every_bytes    size of the page and average distance between "<td" tags
//   postext_mbps, memmem_mbps       "<td" (first byte without a case partner)
//   postext_vs_memmem               ratio of the two
//   postext_letter_mbps             "td class" (first byte a letter), memmem_letter_mbps likewise
//   postext_letter_vs_memmem
//   *_hits                          occurrences found (PosText also finds the upper-case tags)

#include <string.h>  // memmem

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <random>
#include <string>
#include <string_view>

#include "engine/qstrings.h"

namespace {

constexpr std::size_t kBufferBytes = 10u << 20;
constexpr int kRuns = 7;

// Rows of a product table: a name cell with a link, a price, a stock count and a free-text note.
// Every eighth row is written in upper-case markup, as older pages do.
std::string MakePage() {
  static const char* const kWords[] = {"steel",  "bracket", "with",   "mounting", "kit",
                                       "blue",   "large",   "set",    "of",       "four",
                                       "spare",  "cable",   "2.5 mm", "outdoor",  "grade",
                                       "finish", "screws",  "black",  "for",      "walls"};
  std::mt19937 rng(2024);
  std::uniform_int_distribution<int> word(0, 19);
  std::uniform_int_distribution<int> count(3, 12);
  std::uniform_int_distribution<int> number(1, 99999);
  const auto words = [&] {
    std::string s;
    for (int k = count(rng); k > 0; --k) {
      if (!s.empty()) s += ' ';
      s += kWords[word(rng)];
    }
    return s;
  };

  std::string page =
      "<!DOCTYPE html>\n<html><head><title>Catalogue</title></head>\n<body>\n"
      "<table class=\"list\" cellpadding=\"2\">\n";
  page.reserve(kBufferBytes + 4096);
  for (int row = 0; page.size() < kBufferBytes - 1024; ++row) {
    const bool upper = row % 8 == 7;
    const std::string id = std::to_string(number(rng));
    const std::string tr = upper ? "<TR CLASS=\"" : "<tr class=\"";
    const std::string td = upper ? "<TD CLASS=\"" : "<td class=\"";
    const std::string etd = upper ? "</TD>" : "</td>";
    page += tr + (row % 2 ? "odd" : "even") + "\">\n";
    page += "  " + td + "name\"><a href=\"/item/" + id + ".html\" title=\"Item " + id + "\">" +
            words() + "</a>" + etd + "\n";
    page += "  " + td + "price\">" + std::to_string(number(rng) % 1000) + "." +
            std::to_string(10 + number(rng) % 90) + etd + "\n";
    page += "  " + td + "stock\">" + std::to_string(number(rng) % 50) + " in stock" + etd + "\n";
    page += "  " + td + "note\">" + words() + "; " + words() + ", " + words() + "." + etd + "\n";
    page += upper ? "</TR>\n" : "</tr>\n";
  }
  page += "</table>\n</body></html>\n";
  page.resize(kBufferBytes, ' ');
  return page;
}

template <typename Scan>
double BestMbps(const std::string& page, Scan scan, std::size_t& hits) {
  double best = 0;
  for (int run = 0; run < kRuns; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    hits = scan(page);
    const auto t1 = std::chrono::steady_clock::now();
    const double seconds = std::chrono::duration<double>(t1 - t0).count();
    best = std::max(best, static_cast<double>(page.size()) / (1u << 20) / seconds);
  }
  return best;
}

std::size_t ScanPosText(std::string_view page, std::string_view needle) {
  std::size_t hits = 0;
  for (std::size_t at = sorvane::PosText(needle, page, 1); at != 0;
       at = sorvane::PosText(needle, page, at + needle.size())) {
    ++hits;
  }
  return hits;
}

std::size_t ScanMemmem(std::string_view page, std::string_view needle) {
  std::size_t hits = 0;
  const char* p = page.data();
  const char* const end = page.data() + page.size();
  while (const void* hit =
             memmem(p, static_cast<std::size_t>(end - p), needle.data(), needle.size())) {
    ++hits;
    p = static_cast<const char*>(hit) + needle.size();
  }
  return hits;
}

struct Result {
  double postext_mbps;
  double memmem_mbps;
  std::size_t postext_hits;
  std::size_t memmem_hits;
};

Result Measure(const std::string& page, std::string_view needle) {
  Result r{};
  r.postext_mbps = BestMbps(
      page, [&](const std::string& p) { return ScanPosText(p, needle); }, r.postext_hits);
  r.memmem_mbps = BestMbps(
      page, [&](const std::string& p) { return ScanMemmem(p, needle); }, r.memmem_hits);
  return r;
}

}  // namespace

int main() {
  const std::string page = MakePage();
  const Result tag = Measure(page, "<td");
  const Result letter = Measure(page, "td class");

  std::printf("buffer_bytes: %zu\n", page.size());
  std::printf("td_every_bytes: %.1f\n",
              static_cast<double>(page.size()) / static_cast<double>(tag.postext_hits));
  std::printf("postext_mbps: %.0f\n", tag.postext_mbps);
  std::printf("memmem_mbps: %.0f\n", tag.memmem_mbps);
  std::printf("postext_vs_memmem: %.2f\n", tag.postext_mbps / tag.memmem_mbps);
  std::printf("postext_hits: %zu\n", tag.postext_hits);
  std::printf("memmem_hits: %zu\n", tag.memmem_hits);
  std::printf("postext_letter_mbps: %.0f\n", letter.postext_mbps);
  std::printf("memmem_letter_mbps: %.0f\n", letter.memmem_mbps);
  std::printf("postext_letter_vs_memmem: %.2f\n", letter.postext_mbps / letter.memmem_mbps);
  std::printf("postext_letter_hits: %zu\n", letter.postext_hits);
  std::printf("memmem_letter_hits: %zu\n", letter.memmem_hits);
  return 0;
}
