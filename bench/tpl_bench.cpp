// Decoding speed of a templet file of 1,000 record lines: each line through HexToStr and RsaDecode
// with the big-number algorithms of the decoder, against the same blocks decoded with the
// compiler's 128-bit integers as the ceiling. The file is written for the tests' key, which has
// the size of the program's own (45 binary digits); the native figure is the best of several runs.
//
// Output, one `name: value` line each:
//   tpl_lines, tpl_line_bytes    lines in the file and the average record text length
//   tpl_lines_per_s              lines decoded per second
//   tpl_blocks_per_s             blocks (one power modulo each) per second
//   native_lines_per_s           the same lines with 128-bit arithmetic for the blocks
//   tpl_vs_native                tpl_lines_per_s / native_lines_per_s

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

#include "import/gint.h"
#include "import/rsa.h"
#include "import/tplencoder.h"

namespace {

using namespace sorvane;

constexpr int kLines = 1000;
// A big-number pass over the file takes seconds; the native one, milliseconds.
constexpr int kGIntRuns = 1;
constexpr int kNativeRuns = 5;

// A templet with its table: the templet, its source and expression, then fields, columns and
// their rules in turn, as an exported templet of a large catalogue would hold them.
std::vector<std::string> MakeRecords() {
  std::vector<std::string> records = {
      "1 insert into tmps(tmn,typ,tag,taid,ots) values('Catalogue prices, every page',1,1,0,'')",
      "2 insert into tabs(tan) values('Catalogue')",
      "3 insert into urls(tmid,url) values([TMID],'http://shop.example.net/list?page="
      "<AUTOINC:1,200/>&sort=price')",
      "4 insert into exps(tmid,expr) values([TMID],'<tr class=\"item\">(.*?)</tr>')",
  };
  for (int k = 0; records.size() < kLines; ++k) {
    const std::string id = std::to_string(1000 + k);
    switch (k % 3) {
      case 0:
        records.push_back("51" + std::to_string(k % 2) + id +
                          ":insert into flds(taid,fti,typ,uni) values([TAID],'Column " + id +
                          " of the catalogue',1," + std::to_string(k % 2) + ")");
        break;
      case 1:
        records.push_back("6" + id +
                          ":insert into cols(tmid,tit,begw,endw,width,fid,tag,istr,nox) values("
                          "[TMID],'Column " +
                          id + "','<td class=\"c" + id + "\">','</td>',120,[FID],0,0," +
                          std::to_string(k) + ")");
        break;
      default:
        records.push_back("7 insert into opts(tmid,oid,val) values([TMID]," +
                          std::to_string(k % 7) + ",'Arial;10;" + id + "')");
        break;
    }
  }
  return records;
}

std::vector<std::string> SplitLines(const std::string& file) {
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < file.size();) {
    const std::size_t end = file.find("\r\n", at);
    lines.push_back(file.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

std::uint64_t NativePowMod(std::uint64_t base, std::uint64_t exponent, std::uint64_t modulus) {
  __extension__ typedef unsigned __int128 Wide;
  Wide result = 1;
  Wide square = base % modulus;
  for (; exponent > 0; exponent >>= 1, square = square * square % modulus) {
    if (exponent & 1) result = result * square % modulus;
  }
  return static_cast<std::uint64_t>(result);
}

// The decoder's steps with machine integers for the blocks.
std::string NativeDecode(const std::string& line, std::uint64_t e, std::uint64_t n) {
  const std::size_t l = static_cast<std::size_t>(std::bit_width(n));
  std::string b = StrToBits(HexToStr(line));
  b.erase(0, std::min(b.find_first_not_of('0'), b.size()));
  if (b.size() % l) b.insert(0, l - b.size() % l, '0');
  std::string o;
  for (std::size_t at = 0; at < b.size(); at += l) {
    std::uint64_t c = 0;
    for (std::size_t i = at; i < at + l; ++i)
      c = c * 2 + (b[i] == '1');
    const std::uint64_t p = NativePowMod(c, e, n);
    const std::size_t width =
        std::max<std::size_t>(l - 1, std::bit_width(p) > l - 1 ? 2 * (l - 1) : 0);
    for (std::size_t bit = width; bit-- > 0;)
      o.push_back((p >> bit) & 1 ? '1' : '0');
  }
  const std::size_t marker = o.find("111");
  if (marker == std::string::npos) throw DecodeError("no start marker");
  return BitsToStr(o.substr(marker + 3));
}

template <typename Decode>
double BestSeconds(int runs, const std::vector<std::string>& lines,
                   const std::vector<std::string>& records, Decode decode) {
  double best = 1e100;
  for (int run = 0; run < runs; ++run) {
    const auto t0 = std::chrono::steady_clock::now();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (decode(lines[i]) != records[i]) throw std::runtime_error("line decoded wrongly");
    }
    const auto t1 = std::chrono::steady_clock::now();
    best = std::min(best, std::chrono::duration<double>(t1 - t0).count());
  }
  return best;
}

}  // namespace

int main() {
  const test::TplKey& key = test::kTplTestKey;
  const std::vector<std::string> records = MakeRecords();
  const std::vector<std::string> lines = SplitLines(test::EncodeTempletFile(records));

  std::size_t record_bytes = 0;
  std::size_t blocks = 0;
  const std::size_t l = static_cast<std::size_t>(std::bit_width(key.modulus));
  for (std::size_t i = 0; i < lines.size(); ++i) {
    record_bytes += records[i].size();
    blocks += (lines[i].size() / 2 * 8 + l - 1) / l;
  }

  // The key is parsed once per import, as the importer does.
  const GInt e = StrToGInt(key.ExponentText());
  const GInt n = StrToGInt(key.ModulusText());
  const double gint_seconds = BestSeconds(kGIntRuns, lines, records, [&](const std::string& line) {
    return DecodeRecordLine(line, *e, *n);
  });
  const double native_seconds = BestSeconds(
      kNativeRuns, lines, records,
      [&](const std::string& line) { return NativeDecode(line, key.exponent, key.modulus); });

  const double count = static_cast<double>(lines.size());
  std::printf("tpl_lines: %zu\n", lines.size());
  std::printf("tpl_line_bytes: %.0f\n", static_cast<double>(record_bytes) / count);
  std::printf("tpl_lines_per_s: %.1f\n", count / gint_seconds);
  std::printf("tpl_blocks_per_s: %.0f\n", static_cast<double>(blocks) / gint_seconds);
  std::printf("native_lines_per_s: %.0f\n", count / native_seconds);
  std::printf("tpl_vs_native: %.4f\n", native_seconds / gint_seconds);
  return 0;
}
