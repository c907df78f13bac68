#include "engine/explain.h"

#include "engine/qstrings.h"
#include "engine/regexpr.h"
#include "engine/rundriver.h"
#include "engine/texttag.h"

namespace sorvane {
namespace {

constexpr std::string_view kCrLfTag = "[CRLF]";

std::string Quoted(std::string_view text) {
  std::string out = "\"";
  out += text;
  out += '"';
  return out;
}

// A hint for a close tag "[CRLF]" on a page whose lines end in LF alone.
std::string CrLfHint(std::string_view close_tag, std::string_view page) {
  if (close_tag != kCrLfTag || PosStr("\r\n", page, 1) != 0) return {};
  return " The page's lines end in LF alone, without CR.";
}

bool IsSpecialOpenTag(std::string_view tag) {
  return tag == "[..]" || tag.find("...") != std::string_view::npos ||
         tag.find('{') != std::string_view::npos;
}

class Explainer {
 public:
  Explainer(RegExpr& re, const RunDefinitions& defs, std::string_view page)
      : re_(re), defs_(defs), page_(page) {}

  std::vector<std::string> Explain() {
    if (page_.empty()) return {"The page is empty."};
    std::size_t pos = 1;
    if (!defs_.StartMarker.empty()) {
      pos = PosStr(defs_.StartMarker, page_, 1);
      if (pos == 0) {
        Say("The start marker " + Quoted(defs_.StartMarker) +
            " was never found on the page (letter case counts for the start marker).");
        pos = 1;
      }
    }
    const bool record_tags = !defs_.RecordOpenTag.empty() && !defs_.RecordCloseTag.empty();
    std::string_view scope = page_.substr(pos - 1);
    std::vector<std::string_view> blocks;
    if (record_tags) blocks = RecordBlocks(pos);
    if (!blocks.empty()) scope = blocks.front();
    if (defs_.IsTextTag) {
      // Without record blocks there is nothing the columns are cut from.
      if (!record_tags || !blocks.empty()) ExplainColumns(scope, record_tags, !blocks.empty());
    } else {
      ExplainExpression(record_tags, blocks);
    }
    if (reasons_.empty()) Say("Every tag was found, yet no record was cut from the page.");
    return reasons_;
  }

 private:
  void Say(std::string reason) { reasons_.push_back(std::move(reason)); }

  // The record blocks from `pos` on (at most a few thousand); says which record tag is missing
  // when there is none.
  std::vector<std::string_view> RecordBlocks(std::size_t pos) {
    const TagPair record(defs_.RecordOpenTag, defs_.RecordCloseTag);
    std::vector<std::string_view> blocks;
    std::string_view block;
    for (std::size_t p = pos; blocks.size() < 5000 && record.Cut(page_, block, p);)
      blocks.push_back(block);
    if (!blocks.empty()) return blocks;
    std::size_t p = pos;
    const std::string where = pos > 1 ? " after the start marker." : ".";
    if (!record.FindOpen(page_, p)) {
      Say("The record open tag " + Quoted(defs_.RecordOpenTag) + " was never found on the page" +
          where);
    } else if (PosText(record.CloseText(), page_, p) == 0) {
      Say("The record close tag " + Quoted(defs_.RecordCloseTag) +
          " was never found after the record open tag." + CrLfHint(defs_.RecordCloseTag, page_));
    } else {
      Say("The record tags enclose no text: every record close tag follows its record open tag "
          "at once.");
    }
    return blocks;
  }

  void ExplainColumns(std::string_view scope, bool record_tags, bool have_block) {
    const std::string where = have_block ? " in the first record block" : " on the page";
    bool first = true;
    bool any = false;
    for (std::size_t i = 0; i < defs_.Cols.size(); ++i) {
      const TCol& col = defs_.Cols[i];
      if (col.Kind == kColFieldValue) continue;
      any = true;
      const std::string name =
          "Column " + Quoted(i < defs_.Titles.size() ? defs_.Titles[i] : std::string()) + ": ";
      if (first && !record_tags) {
        first = false;
        // Without record tags the records go on while the first column's tags are on the page
        // as written.
        const std::string literally =
            IsSpecialOpenTag(col.OpenTag)
                ? " Without record tags the first column's tags are looked for letter for letter, "
                  "so \"[..]\", \"{n}\" and \"...\" do not work there."
                : std::string();
        if (PosText(col.OpenTag, scope, 1) == 0) {
          Say(name + "its open tag " + Quoted(col.OpenTag) + " was never found" + where + "." +
              literally);
          continue;
        }
        if (PosText(col.CloseTag, scope, 1 + col.OpenTag.size()) == 0) {
          Say(name + "its close tag " + Quoted(col.CloseTag) +
              " was never found after its open tag" + where + "." +
              (col.CloseTag == kCrLfTag ? literally : CrLfHint(col.CloseTag, scope)));
          continue;
        }
      }
      first = false;
      const TagPair tags(col.OpenTag, col.CloseTag);
      std::size_t p = 1;
      if (!tags.FindOpen(scope, p)) {
        Say(name + "its open tag " + Quoted(col.OpenTag) + " was never found" + where + ".");
      } else if (PosText(tags.CloseText(), scope, p) == 0) {
        Say(name + "its close tag " + Quoted(col.CloseTag) + " was never found after its open tag" +
            where + "." + CrLfHint(col.CloseTag, scope));
      }
    }
    if (!any) Say("The templet has no column that takes its value from the page.");
  }

  void ExplainExpression(bool record_tags, const std::vector<std::string_view>& blocks) {
    try {
      re_.SetExpression(defs_.Expression);
    } catch (const RegExprError& e) {
      Say("The expression does not compile: " + std::string(e.what()) + ".");
      return;
    }
    if (!record_tags) {
      if (!re_.Exec(page_)) Say("The expression matched nowhere on the page.");
      return;
    }
    if (blocks.empty()) return;
    for (std::string_view block : blocks) {
      if (re_.Exec(block)) return;
    }
    std::string reason = "The expression matched in none of the " + std::to_string(blocks.size()) +
                         (blocks.size() == 1 ? " record block" : " record blocks") +
                         ". A record block is the text between the record tags, without the "
                         "tags themselves, so an expression that starts with the record open tag "
                         "finds nothing there.";
    if (re_.Exec(page_)) reason += " On the whole page the expression does match.";
    Say(std::move(reason));
  }

  RegExpr& re_;
  const RunDefinitions& defs_;
  std::string_view page_;
  std::vector<std::string> reasons_;
};

}  // namespace

std::vector<std::string> ExplainNoRecords(RegExpr& re, const RunDefinitions& defs,
                                          std::string_view page) {
  return Explainer(re, defs, page).Explain();
}

std::string ExplanationText(const std::vector<std::string>& reasons, std::string_view where) {
  std::string text = "No record on ";
  text += where;
  text += ':';
  for (const std::string& reason : reasons) {
    text += "\n- ";
    text += reason;
  }
  return text;
}

}  // namespace sorvane
