#pragma once

// Text-tag extraction: values cut between literal open and close tags, and the two record loops of
// the text-tag method.
//
// An open tag is plain text (the value starts after its next occurrence), exactly "[..]" (the value
// starts at the current position), a repetition "word{n}" (after the n-th next occurrence of the
// word; text after the brace group is ignored), an ellipsis "head...tail" (find the head, then the
// tail), or a repetition followed by "...tail". A close tag is plain text or exactly "[CRLF]" (the
// bytes CR LF). Every search ignores letter case. Positions are 1-based.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/record.h"

namespace sorvane {

// p := PosText of `word` in `text` from p; false when it is not found (an empty word never is),
// otherwise p moves past the word.
bool FindAfter(std::string_view word, std::string_view text, std::size_t& p);

// An open tag and a close tag, read once and used for any number of cuts.
class TagPair {
 public:
  TagPair() = default;
  TagPair(std::string_view open_tag, std::string_view close_tag);

  // Cuts the text between the tags, searching from `pos`. On success `value` is that text with
  // the blanks and control bytes at both ends removed (as TrimInPlace does) and `pos` is just
  // past the close tag. It fails, leaving `value` empty and `pos` unchanged, when a tag is not
  // found or the text between them is empty. Throws RunError when the repetition count does not
  // fit in a 32-bit signed integer.
  bool Cut(std::string_view text, std::string& value, std::size_t& pos) const;
  // The same, with `value` a view into `text`.
  bool Cut(std::string_view text, std::string_view& value, std::size_t& pos) const;

  // Only the open tag's search: true when it is found from `pos`, which then stands where the
  // value would start. For telling which tag of a failed cut was missing.
  bool FindOpen(std::string_view text, std::size_t& pos) const { return Start(text, pos); }
  // The close tag as searched ("[CRLF]" is CR LF).
  std::string_view CloseText() const { return close_; }

 private:
  enum class Form : unsigned char { kPlain, kLastClose, kRepeat };
  bool Start(std::string_view text, std::size_t& p) const;

  std::string open_;  // the whole open tag (plain form) or the repeated word
  Form form_ = Form::kPlain;
  int count_ = 0;  // repetitions, for kRepeat
  bool count_too_large_ = false;
  std::string count_text_;
  bool ellipsis_ = false;
  std::string head_;  // before "...", when the tag is no repetition
  std::string tail_;  // after "..."
  std::string close_;
};

// CutTag: TagPair(open_tag, close_tag).Cut(text, value, pos).
bool CutTag(std::string_view text, std::string_view open_tag, std::string& value, std::size_t& pos,
            std::string_view close_tag);

// The tags of a text-tag templet, read once per run.
class TextTagPlan {
 public:
  TextTagPlan(const std::vector<TCol>& cols, std::string_view record_open,
              std::string_view record_close);

  // The records of one page from `pos` on, appended through `appender`; true when at least one
  // was completed. With record tags every record block is one record whose columns are cut from
  // the block; without them the columns are cut in sequence through the page while the first data
  // column's tags are still present, and the loop ends when a record leaves the position where it
  // was (that record stays and is counted). Either loop ends early when the user asks to stop.
  bool ExtractRecords(RecordAppender& appender, std::string_view page, std::size_t pos) const;

 private:
  bool WithRecordTags(RecordAppender& appender, std::string_view page, std::size_t pos) const;
  bool WithoutRecordTags(RecordAppender& appender, std::string_view page, std::size_t pos) const;

  const std::vector<TCol>& cols_;
  std::vector<TagPair> tags_;  // per column; kind-2 columns hold an unused pair
  bool record_tags_ = false;
  TagPair record_;
  int first_data_ = -1;  // the first column whose kind is not 2
};

}  // namespace sorvane
