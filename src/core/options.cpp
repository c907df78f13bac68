#include "core/options.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <stdexcept>
#include <utility>

#include "core/programfolder.h"

namespace sorvane {
namespace {

bool IsDigits(const std::string& text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// "insert into opts values(%d, %d, %s)" with `value` inserted as is.
std::string InsertText(int templet_id, int oid, const std::string& value) {
  return "insert into opts values(" + std::to_string(templet_id) + ", " + std::to_string(oid) +
         ", " + value + ")";
}

// "insert into opts values(%d, %d, %d)".
std::string InsertNumber(int templet_id, int oid, int value) {
  char sql[96];
  std::snprintf(sql, sizeof sql, "insert into opts values(%d, %d, %d)", templet_id, oid, value);
  return sql;
}

// A stored number: digits with an optional minus sign, else nullopt.
std::optional<long long> StoredNumber(const std::string& text) {
  const bool negative = !text.empty() && text.front() == '-';
  const std::string digits = negative ? text.substr(1) : text;
  if (!IsDigits(digits) || digits.size() > 12) return std::nullopt;
  const long long value = std::stoll(digits);
  return negative ? -value : value;
}

}  // namespace

FetchOptions FetchOptions::Clamped() const {
  return {std::clamp(in_flight, 1, kMaxInFlight), std::clamp(delay_ms, 0, kMaxDelayMs),
          std::clamp(retries, 0, kMaxRetries)};
}

FetchOptions FetchOptionsOf(const std::vector<OptionRow>& rows) {
  FetchOptions fetch;
  const auto take = [](const std::string& val, int& into, int low, int high) {
    if (const std::optional<long long> n = StoredNumber(val)) {
      into = static_cast<int>(std::clamp<long long>(*n, low, high));
    }
  };
  for (const OptionRow& row : rows) {
    switch (row.oid) {
      case kOptRequestsInFlight:
        take(row.val, fetch.in_flight, 1, FetchOptions::kMaxInFlight);
        break;
      case kOptRequestDelay:
        take(row.val, fetch.delay_ms, 0, FetchOptions::kMaxDelayMs);
        break;
      case kOptPageRetries:
        take(row.val, fetch.retries, 0, FetchOptions::kMaxRetries);
        break;
      default:
        break;
    }
  }
  return fetch;
}

std::string DefaultImageFolder() {
  return DataFolder() + "image/";
}

std::vector<OptionRow> ReadOptions(Tdm& store, int templet_id) {
  std::vector<OptionRow> rows;
  if (templet_id < 1) return rows;
  store.qryM.Open("select oid,val from opts where tmid=" + std::to_string(templet_id));
  for (; !store.qryM.Eof(); store.qryM.Next()) {
    rows.push_back({store.qryM.AsInt(0), store.qryM.AsString(1)});
  }
  return rows;
}

OptionsCheck CheckOptions(int templet_id, const TempletOptions& options) {
  if (templet_id < 1) return OptionsCheck::kNoTemplet;
  if (!IsDigits(options.row_height)) return OptionsCheck::kRowHeightNotDigits;
  if (!IsDigits(options.records_per_page)) return OptionsCheck::kRecordsPerPageNotDigits;
  return OptionsCheck::kOk;
}

std::vector<std::string> SaveOptionsStatements(int templet_id, const TempletOptions& options,
                                               const FetchOptions& fetch_options) {
  if (CheckOptions(templet_id, options) != OptionsCheck::kOk) {
    throw std::invalid_argument("options refused for templet " + std::to_string(templet_id));
  }
  std::vector<std::string> statements = {
      "delete from opts where tmid=" + std::to_string(templet_id),
      InsertText(templet_id, kOptRowHeight, options.row_height),
      InsertText(templet_id, kOptFontName, QuotedStr(options.font_name)),
      InsertNumber(templet_id, kOptFontSize, options.font_size),
      InsertText(templet_id, kOptRecordsPerPage, options.records_per_page),
      InsertText(templet_id, kOptImageFolder, QuotedStr(options.image_folder)),
  };
  const FetchOptions fetch = fetch_options.Clamped();
  const FetchOptions defaults;
  if (fetch.in_flight != defaults.in_flight) {
    statements.push_back(InsertNumber(templet_id, kOptRequestsInFlight, fetch.in_flight));
  }
  if (fetch.delay_ms != defaults.delay_ms) {
    statements.push_back(InsertNumber(templet_id, kOptRequestDelay, fetch.delay_ms));
  }
  if (fetch.retries != defaults.retries) {
    statements.push_back(InsertNumber(templet_id, kOptPageRetries, fetch.retries));
  }
  return statements;
}

OptionsCheck SaveOptions(Tdm& store, int templet_id, const TempletOptions& options,
                         const FetchOptions& fetch) {
  const OptionsCheck check = CheckOptions(templet_id, options);
  if (check != OptionsCheck::kOk) return check;
  std::vector<OptionRow> page_settings;
  for (OptionRow& row : ReadOptions(store, templet_id)) {
    if (row.oid >= kOptPageEncoding && row.oid <= kOptWarnEmptyPage)
      page_settings.push_back(std::move(row));
  }
  for (const std::string& sql : SaveOptionsStatements(templet_id, options, fetch))
    store.qryM.Execute(sql);
  for (const OptionRow& row : page_settings)
    store.qryM.Execute(InsertText(templet_id, row.oid, QuotedStr(row.val)));
  return check;
}

PageSettings ReadPageSettings(Tdm& store, int templet_id) {
  return PageSettingsOf(ReadOptions(store, templet_id));
}

PageSettings PageSettingsOf(const std::vector<OptionRow>& rows) {
  PageSettings settings;
  for (const OptionRow& row : rows) {
    const bool on = row.val == "1";
    if (row.oid == kOptPageEncoding) settings.convert_to_utf8 = on;
    if (row.oid == kOptStopOnRepeat) settings.stop_on_repeat = on;
    if (row.oid == kOptWarnEmptyPage) settings.warn_empty_page = on;
  }
  return settings;
}

std::vector<std::string> SavePageSettingsStatements(int templet_id, const PageSettings& settings) {
  std::vector<std::string> sql;
  const std::string id = std::to_string(templet_id);
  for (const auto& [oid, on] : {std::pair{kOptPageEncoding, settings.convert_to_utf8},
                                std::pair{kOptStopOnRepeat, settings.stop_on_repeat},
                                std::pair{kOptWarnEmptyPage, settings.warn_empty_page}}) {
    sql.push_back("delete from opts where tmid=" + id + " and oid=" + std::to_string(oid));
    sql.push_back(InsertNumber(templet_id, oid, on ? 1 : 0));
  }
  return sql;
}

void SavePageSettings(Tdm& store, int templet_id, const PageSettings& settings) {
  if (templet_id < 1) return;
  for (const std::string& sql : SavePageSettingsStatements(templet_id, settings))
    store.qryM.Execute(sql);
}

}  // namespace sorvane
