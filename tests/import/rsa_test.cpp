#include "import/rsa.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "import/gint.h"
#include "import/tplencoder.h"

namespace sorvane {
namespace {

using namespace std::string_literals;

std::string NoBlanks(std::string text) {
  std::erase(text, ' ');
  return text;
}

// The bytes whose patterns are `bits` (a multiple of 8 digits), through the table's formula.
std::string BytesOfBits(const std::string& spaced) {
  const std::string bits = NoBlanks(spaced);
  std::string bytes;
  for (std::size_t at = 0; at < bits.size(); at += 8) {
    const unsigned value = std::stoul(bits.substr(at, 8), nullptr, 2);
    bytes.push_back(static_cast<char>((value * 181 + 53) % 256));
  }
  return bytes;
}

class RsaTest : public ::testing::Test {
 protected:
  void TearDown() override { EXPECT_EQ(GIntLiveNodes(), 0u); }

  std::string Decode(const std::string& line, const test::TplKey& key = test::kTplTestKey) {
    const GInt e = StrToGInt(key.ExponentText());
    const GInt n = StrToGInt(key.ModulusText());
    return DecodeRecordLine(line, *e, *n);
  }
};

TEST_F(RsaTest, PatternTable) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"00000000", 53}, {"00000001", 234}, {"00000010", 159}, {"10000000", 181}, {"11111111", 128},
  };
  for (const auto& [pattern, byte] : cases) {
    SCOPED_TRACE(pattern);
    EXPECT_EQ(PatternToByte(pattern), byte);
    EXPECT_EQ(ByteToPattern(static_cast<std::uint8_t>(byte)), pattern);
  }
  // Every byte has a pattern, and different bytes have different patterns.
  std::string all;
  for (int byte = 0; byte < 256; ++byte)
    all.push_back(static_cast<char>(byte));
  const std::string bits = StrToBits(all);
  EXPECT_EQ(bits.size(), 256u * 8);
  EXPECT_EQ(BitsToStr(bits), all);
  for (const std::string bad : {"0000000", "000000001", "0000000a"}) {
    EXPECT_THROW(PatternToByte(bad), std::invalid_argument);
  }
}

TEST_F(RsaTest, BitsToStrFillsTheFirstGroup) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},
      {"1", "\xEA"},              // 00000001
      {"10", "\x9F"},             // 00000010
      {"100000000", "\xEA\x35"},  // 00000001 00000000
  };
  for (const auto& [bits, bytes] : cases) {
    SCOPED_TRACE(bits);
    EXPECT_EQ(BitsToStr(bits), bytes);
  }
  EXPECT_THROW(BitsToStr("0102"), std::invalid_argument);
}

TEST_F(RsaTest, HexToStr) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"", ""},       {"4", ""},
      {"41", "A"},    {"414", "A"},  // a last unpaired character is ignored
      {"4a4B", "JK"}, {"00fF7f", "\x00\xFF\x7F"s},
  };
  for (const auto& [line, bytes] : cases) {
    SCOPED_TRACE(line);
    EXPECT_EQ(HexToStr(line), bytes);
  }
  for (const std::string bad : {"4G", "G4", " 41", "0x41", "41\r\n", "-1"}) {
    SCOPED_TRACE(bad);
    EXPECT_THROW(HexToStr(bad), DecodeError);
  }
}

// Blocks worked by hand under modulus 35 (six binary digits) and exponent 5, where
// 63 -> 28 (11100), 4 -> 9 (01001), 2 -> 32 (100000), 35 -> 0, 1 -> 1, 0 -> 0.
TEST_F(RsaTest, DecodeBlocks) {
  struct Case {
    const char* what;
    std::string bits;                    // of the line's bytes (blanks for reading only)
    std::optional<std::string> decoded;  // bits of the record text; none: no start marker
  };
  const std::vector<Case> cases = {
      {"a short block is filled to five digits, zero to five zeros, a full one to ten",
       "111111 000100 000000 000010", "00 01001 00000 0000100000"},
      {"digits before the marker are dropped, ones among them; the marker may span blocks",
       "000100 111111 000000 000000", "100 00000 00000"},
      {"a block equal to the modulus is zero", "111111 100011 000000 000001",
       "00 00000 00000 00001"},
      {"no 111 anywhere", "000000 000000 000100 000100", std::nullopt},
      {"only zeros", "00000000", std::nullopt},
      {"nothing", "", std::nullopt},
  };
  const GInt e = StrToGInt("5");
  const GInt n = StrToGInt("35");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    if (c.decoded) {
      EXPECT_EQ(RsaDecode(BytesOfBits(c.bits), *e, *n), BitsToStr(NoBlanks(*c.decoded)));
    } else {
      EXPECT_THROW(RsaDecode(BytesOfBits(c.bits), *e, *n), DecodeError);
    }
  }
  for (const char* tiny : {"0", "1", "-1"}) {
    EXPECT_THROW(RsaDecode("\x01", *e, *StrToGInt(tiny)), std::invalid_argument);
  }
}

TEST_F(RsaTest, TestKeyRoundTrip) {
  std::string all;
  for (int byte = 255; byte >= 0; --byte)
    all.push_back(static_cast<char>(byte));
  const std::vector<std::string> records = {
      "",
      "1",
      "\0"s,
      "\x35\x35\x35"s,  // bytes whose patterns are all zeros
      all,
      "1 insert into tmps(tmn,typ,tag,taid,ots) values('Prices',1,1,0,'')",
      "51017:insert into flds(taid,fti,typ,uni) values([TAID],'Name\r\nwith break',1,0)",
  };
  for (const std::string& record : records) {
    SCOPED_TRACE(record);
    const std::string line = test::EncodeRecordLine(record);
    EXPECT_EQ(line.find_first_not_of("0123456789ABCDEF"), std::string::npos);
    EXPECT_EQ(Decode(line), record);
  }
  // A tiny key of the same kind encodes too, with blocks of six digits.
  EXPECT_EQ(Decode(test::EncodeRecordLine("4x", {35, 5, 5}), {35, 5, 5}), "4x");
}

TEST_F(RsaTest, LinesWithoutStartMarkerAreUndecodable) {
  for (const std::string& bits : {""s, "000"s, "1101101101"s, "11011" + std::string(200, '0')}) {
    SCOPED_TRACE(bits);
    EXPECT_THROW(Decode(test::EncodeBitsLine(bits)), DecodeError);
  }
  EXPECT_EQ(Decode(test::EncodeBitsLine(NoBlanks("0110111 00000001"))), "\xEA");
}

TEST_F(RsaTest, TempletFileLines) {
  const std::vector<std::string> records = {"1xa", "2xb", "3x[TMID]"};
  const std::string file = test::EncodeTempletFile(records);
  std::vector<std::string> decoded;
  for (std::size_t at = 0; at < file.size();) {
    const std::size_t end = file.find("\r\n", at);
    ASSERT_NE(end, std::string::npos);
    decoded.push_back(Decode(file.substr(at, end - at)));
    at = end + 2;
  }
  EXPECT_EQ(decoded, records);
}

}  // namespace
}  // namespace sorvane
