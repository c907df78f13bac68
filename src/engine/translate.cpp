#include "engine/translate.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <utility>

#include "core/ascii.h"
#include "engine/decimal.h"
#include "engine/pageencoding.h"
#include "engine/qstrings.h"
#include "engine/regexpr.h"

namespace sorvane {
namespace {

// Character names of the references Decode Entities knows: the Latin-1 range, then the others
// a page commonly uses.
constexpr std::array<const char*, 96> kLatin1Names = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",   "uml",
    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",   "deg",    "plusmn",
    "sup2",   "sup3",   "acute",  "micro",  "para",   "middot", "cedil",  "sup1",   "ordm",
    "raquo",  "frac14", "frac12", "frac34", "iquest", "Agrave", "Aacute", "Acirc",  "Atilde",
    "Auml",   "Aring",  "AElig",  "Ccedil", "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave",
    "Iacute", "Icirc",  "Iuml",   "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde",
    "Ouml",   "times",  "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",
    "szlig",  "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",   "eth",
    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide", "oslash", "ugrave",
    "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml",
};

struct NamedCharacter {
  const char* name;
  char32_t code;
};
constexpr NamedCharacter kOtherNames[] = {
    {"quot", 34},     {"amp", 38},      {"apos", 39},     {"lt", 60},       {"gt", 62},
    {"OElig", 338},   {"oelig", 339},   {"Scaron", 352},  {"scaron", 353},  {"Yuml", 376},
    {"fnof", 402},    {"circ", 710},    {"tilde", 732},   {"ensp", 8194},   {"emsp", 8195},
    {"thinsp", 8201}, {"zwnj", 8204},   {"zwj", 8205},    {"lrm", 8206},    {"rlm", 8207},
    {"ndash", 8211},  {"mdash", 8212},  {"lsquo", 8216},  {"rsquo", 8217},  {"sbquo", 8218},
    {"ldquo", 8220},  {"rdquo", 8221},  {"bdquo", 8222},  {"dagger", 8224}, {"Dagger", 8225},
    {"bull", 8226},   {"hellip", 8230}, {"permil", 8240}, {"prime", 8242},  {"Prime", 8243},
    {"lsaquo", 8249}, {"rsaquo", 8250}, {"oline", 8254},  {"frasl", 8260},  {"euro", 8364},
    {"trade", 8482},  {"larr", 8592},   {"uarr", 8593},   {"rarr", 8594},   {"darr", 8595},
    {"harr", 8596},   {"forall", 8704}, {"part", 8706},   {"exist", 8707},  {"empty", 8709},
    {"nabla", 8711},  {"isin", 8712},   {"prod", 8719},   {"sum", 8721},    {"minus", 8722},
    {"radic", 8730},  {"infin", 8734},  {"asymp", 8776},  {"ne", 8800},     {"equiv", 8801},
    {"le", 8804},     {"ge", 8805},     {"loz", 9674},    {"spades", 9824}, {"clubs", 9827},
    {"hearts", 9829}, {"diams", 9830},
};

std::optional<char32_t> NamedCode(std::string_view name) {
  for (std::size_t i = 0; i < kLatin1Names.size(); ++i) {
    if (name == kLatin1Names[i]) return static_cast<char32_t>(160 + i);
  }
  for (const NamedCharacter& named : kOtherNames) {
    if (name == named.name) return named.code;
  }
  return std::nullopt;
}

// The character of the reference `body` (what stands between "&" and ";"), or nothing.
std::optional<char32_t> ReferenceCode(std::string_view body) {
  if (body.empty()) return std::nullopt;
  if (body.front() != '#') return NamedCode(body);
  body.remove_prefix(1);
  int base = 10;
  if (!body.empty() && (body.front() == 'x' || body.front() == 'X')) {
    base = 16;
    body.remove_prefix(1);
  }
  if (body.empty() || body.size() > 8) return std::nullopt;
  std::uint32_t code = 0;
  for (char c : body) {
    const auto u = static_cast<unsigned char>(c);
    std::uint32_t digit = 0;
    if (IsAsciiDigit(u)) {
      digit = static_cast<std::uint32_t>(c - '0');
    } else if (base == 16 && AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f') {
      digit = static_cast<std::uint32_t>(AsciiLower(c) - 'a' + 10);
    } else {
      return std::nullopt;
    }
    code = code * static_cast<std::uint32_t>(base) + digit;
  }
  if (code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return std::nullopt;
  return static_cast<char32_t>(code);
}

bool IsBlockEnd(std::string_view name) {
  static constexpr std::string_view kBlocks[] = {
      "address",  "article",    "aside",   "blockquote", "dd",     "div",    "dl",    "dt",
      "fieldset", "figcaption", "figure",  "footer",     "form",   "h1",     "h2",    "h3",
      "h4",       "h5",         "h6",      "header",     "li",     "main",   "nav",   "ol",
      "p",        "pre",        "section", "table",      "tbody",  "td",     "tfoot", "th",
      "thead",    "tr",         "ul",      "caption",    "option", "center",
  };
  return std::find(std::begin(kBlocks), std::end(kBlocks), name) != std::end(kBlocks);
}

// The offset just past the ">" that closes the tag starting at `lt`, or npos. Quotes count only
// as an attribute's value (after "=").
std::size_t TagEnd(std::string_view text, std::size_t lt) {
  char quote = 0;
  char previous = 0;
  for (std::size_t j = lt + 1; j < text.size(); ++j) {
    const char c = text[j];
    if (quote != 0) {
      if (c == quote) quote = 0;
      continue;
    }
    if ((c == '"' || c == '\'') && previous == '=') {
      quote = c;
      continue;
    }
    if (c == '>') return j + 1;
    if (c != ' ' && c != '\t' && c != '\r' && c != '\n') previous = c;
  }
  return std::string_view::npos;
}

bool IsBlank(std::string_view text, std::size_t i, bool utf8, std::size_t& length) {
  const char c = text[i];
  if (c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v') {
    length = 1;
    return true;
  }
  if (utf8 && c == '\xC2' && i + 1 < text.size() && text[i + 1] == '\xA0') {
    length = 2;
    return true;
  }
  return false;
}

// Compiled RegReplace expressions of this thread, by their text. The run's own engine holds the
// templet's expression and its match while values are translated, so rules have engines of
// their own.
RegExpr& RuleExpression(const std::string& pattern) {
  thread_local std::map<std::string, std::unique_ptr<RegExpr>> compiled;
  if (const auto found = compiled.find(pattern); found != compiled.end()) return *found->second;
  if (compiled.size() >= 32) compiled.clear();
  auto re = std::make_unique<RegExpr>();
  re->SetExpression(pattern);
  return *compiled.emplace(pattern, std::move(re)).first->second;
}

}  // namespace

std::string StripTags(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    const std::size_t lt = value.find('<', i);
    if (lt == std::string_view::npos || lt + 1 >= value.size()) break;
    out.append(value.substr(i, lt - i));
    i = lt;
    const auto next = static_cast<unsigned char>(value[lt + 1]);
    if (!IsAsciiAlpha(next) && next != '/' && next != '!' && next != '?') {
      out += '<';
      i = lt + 1;
      continue;
    }
    if (value.substr(lt, 4) == "<!--") {
      const std::size_t end = value.find("-->", lt + 4);
      if (end == std::string_view::npos) break;
      i = end + 3;
      continue;
    }
    const std::size_t end = TagEnd(value, lt);
    if (end == std::string_view::npos) break;
    const bool closing = next == '/';
    std::size_t n = lt + (closing ? 2 : 1);
    std::string name;
    while (n < value.size() && (IsAsciiAlpha(static_cast<unsigned char>(value[n])) ||
                                IsAsciiDigit(static_cast<unsigned char>(value[n])))) {
      name += AsciiLower(value[n]);
      ++n;
    }
    i = end;
    if (!closing && (name == "script" || name == "style")) {
      const std::string close = "</" + name;
      const std::size_t stop = PosText(close, value, end + 1);
      if (stop != 0) {
        const std::size_t after = TagEnd(value, stop - 1);
        i = after == std::string_view::npos ? value.size() : after;
      }
      continue;
    }
    if (name == "br" || name == "hr" || (closing && IsBlockEnd(name))) out += ' ';
  }
  if (i < value.size()) out.append(value.substr(i));
  return out;
}

std::string DecodeEntities(std::string_view value, std::string_view charset) {
  std::string out;
  out.reserve(value.size());
  std::size_t i = 0;
  while (i < value.size()) {
    const std::size_t amp = value.find('&', i);
    if (amp == std::string_view::npos) break;
    out.append(value.substr(i, amp - i));
    i = amp + 1;
    // Names and numbers are short: a ";" further away ends no reference.
    const std::size_t semi = value.substr(amp + 1, 12).find(';');
    if (semi == std::string_view::npos) {
      out += '&';
      continue;
    }
    const std::optional<char32_t> code = ReferenceCode(value.substr(amp + 1, semi));
    std::optional<std::string> text;
    if (code) {
      std::string character;
      AppendUtf8(character, *code);
      text = FromUtf8(character, charset);
    }
    if (!text) {
      out += '&';
      continue;
    }
    out += *text;
    i = amp + 1 + semi + 1;
  }
  if (i < value.size()) out.append(value.substr(i));
  return out;
}

std::string TrimBlanks(std::string_view value, std::string_view charset) {
  const bool utf8 = IsUtf8Charset(charset);
  std::string out;
  out.reserve(value.size());
  bool pending = false;
  for (std::size_t i = 0; i < value.size();) {
    std::size_t length = 0;
    if (IsBlank(value, i, utf8, length)) {
      pending = !out.empty();
      i += length;
      continue;
    }
    if (pending) out += ' ';
    pending = false;
    out += value[i];
    ++i;
  }
  return out;
}

std::string RegReplace(std::string_view value, const std::string& pattern,
                       std::string_view replacement) {
  RegExpr& re = RuleExpression(pattern);
  std::string out;
  std::size_t copied = 0;
  for (bool found = re.Exec(value); found; found = re.ExecNext()) {
    const std::size_t at = re.MatchPos(0);
    out.append(value.substr(copied, at - copied));
    for (std::size_t k = 0; k < replacement.size(); ++k) {
      const char c = replacement[k];
      if (c != '$' || k + 1 >= replacement.size()) {
        out += c;
        continue;
      }
      const char d = replacement[k + 1];
      if (d == '$') {
        out += '$';
        ++k;
        continue;
      }
      if (d < '0' || d > '9') {
        out += c;
        continue;
      }
      int n = d - '0';
      std::size_t used = 1;
      if (k + 2 < replacement.size() && replacement[k + 2] >= '0' && replacement[k + 2] <= '9') {
        const int two = n * 10 + (replacement[k + 2] - '0');
        if (two <= RegExpr::kMaxGroups) {
          n = two;
          used = 2;
        }
      }
      out += re.MatchView(n);
      k += used;
    }
    copied = at + re.MatchLen(0);
  }
  out.append(value.substr(std::min(copied, value.size())));
  return out;
}

std::string SubstrAt(const std::string& value, int index, int length) {
  const long long from = std::max(index, 1);
  const long long size = static_cast<long long>(value.size());
  if (from > size || length < 0) return {};
  const long long count = std::min<long long>(length, size - from + 1);
  return value.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(count));
}

std::string DeleteAt(std::string value, int index, int length) {
  const long long size = static_cast<long long>(value.size());
  if (index < 1 || index > size || length <= 0) return value;
  const long long count = std::min<long long>(length, size - index + 1);
  value.erase(static_cast<std::size_t>(index - 1), static_cast<std::size_t>(count));
  return value;
}

std::string TranslateValue(const std::vector<TTrans>& rules, int col_id, std::string value,
                           std::string_view charset) {
  for (const TTrans& rule : rules) {
    if (rule.ColID != col_id) continue;
    bool hit = false;
    switch (rule.Rel) {
      case kRelEqual:
        hit = rule.SrcVal == value;
        break;
      case kRelNotEqual:
        hit = rule.SrcVal != value;
        break;
      case kRelInclude:
        hit = PosStr(rule.SrcVal, value, 1) > 0;
        break;
      case kRelNotInclude:
        hit = PosStr(rule.SrcVal, value, 1) == 0;
        break;
      case kRelSubstr:
        value = SubstrAt(value, RequireDecimalInt32(rule.SrcVal), RequireDecimalInt32(rule.DstVal));
        break;
      case kRelReplace:
        value = ReplaceText(value, rule.SrcVal, rule.DstVal);
        break;
      case kRelDelete:
        value = DeleteAt(std::move(value), RequireDecimalInt32(rule.SrcVal),
                         RequireDecimalInt32(rule.DstVal));
        break;
      case kRelConcat:
        value = rule.SrcVal + value + rule.DstVal;
        break;
      case kRelStripTags:
        value = StripTags(value);
        break;
      case kRelDecodeEntities:
        value = DecodeEntities(value, charset);
        break;
      case kRelTrim:
        value = TrimBlanks(value, charset);
        break;
      case kRelRegReplace:
        value = RegReplace(value, rule.SrcVal, rule.DstVal);
        break;
      default:
        break;
    }
    if (hit) return rule.DstVal;
  }
  return value;
}

}  // namespace sorvane
