// The page text of the source viewer: the declared charset, the text decoded for the screen, and
// the page's own bytes behind any part of it.

#include "authoring/pagetext.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sorvane {
namespace {

TEST(PageTextTest, DeclaredCharset) {
  struct Case {
    std::string content_type;
    std::string page;
    std::string charset;
  };
  const std::vector<Case> cases = {
      {"text/html; charset=windows-1251", "<meta charset=utf-8>", "windows-1251"},
      {"text/html; Charset=\"KOI8-R\"", "", "KOI8-R"},
      {"text/html",
       "<html><META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=gb2312\">", "gb2312"},
      {"", "<head><meta name=x><meta charset='Shift_JIS'/>", "Shift_JIS"},
      {"", "\xEF\xBB\xBF<p>", "UTF-8"},
      {"", "<p>charset=latin1 in the text is no declaration</p>", ""},
      {"text/plain", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DeclaredCharset(c.content_type, c.page), c.charset) << c.content_type << c.page;
}

TEST(PageTextTest, TheScreenGetsTextAndTheSelectionThePagesBytes) {
  struct Case {
    const char* name;
    std::string bytes;
    std::string charset;
    std::string display;
    std::string charset_used;
  };
  const std::vector<Case> cases = {
      {"Windows-1251", "<b>\xD6\xE5\xED\xE0</b>", "windows-1251", "<b>Цена</b>", "windows-1251"},
      {"UTF-8", "<b>Цена</b>", "utf-8", "<b>Цена</b>", "utf-8"},
      {"GBK, two bytes a character", "<b>\xC4\xE3\xBA\xC3</b>", "GBK", "<b>你好</b>", "GBK"},
      {"an invalid byte stands for itself",
       "a\xFF"
       "b",
       "UTF-8",
       "a\xEF\xBF\xBD"
       "b",
       "UTF-8"},
      {"unknown charset: the fallback", "<b>x</b>", "no-such-charset", "<b>x</b>", "UTF-8"},
      {"latin-1 read as browsers do", "caf\xE9 \x80", "iso-8859-1", "café €", "iso-8859-1"},
  };
  for (const Case& c : cases) {
    const PageText text(c.bytes, c.charset, "UTF-8");
    EXPECT_EQ(text.Display(), c.display) << c.name;
    EXPECT_EQ(text.Charset(), c.charset_used) << c.name;
    // The whole text and the part between the tags come back as the page's bytes.
    EXPECT_EQ(text.Source(0, text.Display().size()), c.bytes) << c.name;
    const std::size_t open = text.Display().find('>');
    const std::size_t close = text.Display().rfind('<');
    if (open != std::string::npos && close != std::string::npos && close > open) {
      EXPECT_EQ(text.Source(open + 1, close),
                c.bytes.substr(c.bytes.find('>') + 1, c.bytes.rfind('<') - c.bytes.find('>') - 1))
          << c.name;
    }
  }
}

TEST(PageTextTest, TypedTextIsEncodedInThePagesCharset) {
  const PageText cyrillic("", "windows-1251", "UTF-8");
  EXPECT_EQ(cyrillic.Encode("<b>Цена"), "<b>\xD6\xE5\xED\xE0");
  // A character the charset lacks: the typed UTF-8 as it is.
  EXPECT_EQ(cyrillic.Encode("你"), "你");
  const PageText utf8("", "", "UTF-8");
  EXPECT_EQ(utf8.Encode("Цена"), "Цена");
  EXPECT_EQ(utf8.Source(0, 5), "");
}

}  // namespace
}  // namespace sorvane
