#include "core/dialect.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/ascii.h"
#include "core/storeerror.h"

namespace sorvane::dialect {
namespace {

struct Token {
  enum class Kind { kWord, kNumber, kString, kPunct, kSpace };
  Kind kind;
  std::string text;  // as written; for a string, the value without quotes
};

bool IsWordStart(unsigned char c) {
  return IsAsciiAlpha(c) || c == '_' || c == '@' || c >= 0x80;
}
bool IsWordChar(unsigned char c) {
  return IsWordStart(c) || IsAsciiDigit(c) || c == '$' || c == '#';
}

// Splits a statement into tokens. Comments are not part of the program's dialect: "--" and "/*"
// stay punctuation and reach SQLite as written.
std::vector<Token> Tokenize(std::string_view s) {
  std::vector<Token> out;
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    const std::size_t begin = i;
    if (c <= ' ') {
      while (i < n && static_cast<unsigned char>(s[i]) <= ' ')
        ++i;
      out.push_back({Token::Kind::kSpace, " "});
    } else if (c == '\'' || c == '"') {
      std::string value;
      ++i;
      for (;;) {
        if (i >= n) throw StoreError("Unterminated text literal in the statement.");
        if (s[i] == static_cast<char>(c)) {
          if (i + 1 < n && s[i + 1] == static_cast<char>(c)) {
            value += static_cast<char>(c);
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        value += s[i++];
      }
      out.push_back({Token::Kind::kString, std::move(value)});
    } else if (c == '[') {
      // A bracketed name, as written.
      while (i < n && s[i] != ']')
        ++i;
      if (i >= n) throw StoreError("Unterminated bracketed name in the statement.");
      ++i;
      out.push_back({Token::Kind::kWord, std::string(s.substr(begin, i - begin))});
    } else if (IsAsciiDigit(c) ||
               (c == '.' && i + 1 < n && IsAsciiDigit(static_cast<unsigned char>(s[i + 1])))) {
      while (i < n && (IsAsciiAlpha(static_cast<unsigned char>(s[i])) ||
                       IsAsciiDigit(static_cast<unsigned char>(s[i])) || s[i] == '.'))
        ++i;
      out.push_back({Token::Kind::kNumber, std::string(s.substr(begin, i - begin))});
    } else if (IsWordStart(c)) {
      while (i < n && IsWordChar(static_cast<unsigned char>(s[i])))
        ++i;
      out.push_back({Token::Kind::kWord, std::string(s.substr(begin, i - begin))});
    } else {
      ++i;
      out.push_back({Token::Kind::kPunct, std::string(1, static_cast<char>(c))});
    }
  }
  return out;
}

// The tokens without spaces, with their original indexes, for pattern matching.
class Cursor {
 public:
  explicit Cursor(const std::vector<Token>& tokens) {
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      if (tokens[i].kind != Token::Kind::kSpace) sig_.push_back(&tokens[i]);
    }
  }
  std::size_t Size() const { return sig_.size(); }
  const Token* At(std::size_t i) const { return i < sig_.size() ? sig_[i] : nullptr; }
  bool IsWord(std::size_t i, std::string_view w) const {
    const Token* t = At(i);
    return t && t->kind == Token::Kind::kWord && EqualsNoCase(t->text, w);
  }
  bool IsPunct(std::size_t i, char p) const {
    const Token* t = At(i);
    return t && t->kind == Token::Kind::kPunct && t->text[0] == p;
  }

 private:
  std::vector<const Token*> sig_;
};

// Drops one trailing ";" and refuses any other statement separator.
void RefuseSeveralStatements(std::vector<Token>& tokens) {
  while (!tokens.empty() && tokens.back().kind == Token::Kind::kSpace)
    tokens.pop_back();
  if (!tokens.empty() && tokens.back().kind == Token::Kind::kPunct && tokens.back().text == ";") {
    tokens.pop_back();
  }
  for (const Token& t : tokens) {
    if (t.kind == Token::Kind::kPunct && t.text == ";") {
      throw StoreError("A statement text may hold only one statement.");
    }
  }
  while (!tokens.empty() && tokens.back().kind == Token::Kind::kSpace)
    tokens.pop_back();
  while (!tokens.empty() && tokens.front().kind == Token::Kind::kSpace)
    tokens.erase(tokens.begin());
  if (tokens.empty()) throw StoreError("The statement text is empty.");
}

std::string Join(const std::vector<Token>& tokens, bool inline_literals,
                 std::vector<std::string>* params) {
  std::string sql;
  for (const Token& t : tokens) {
    if (t.kind == Token::Kind::kString) {
      if (inline_literals) {
        sql += Quote(t.text);
      } else {
        sql += '?';
        params->push_back(t.text);
      }
    } else {
      sql += t.text;
    }
  }
  return sql;
}

// "select [distinct] top N ..." -> "select [distinct] ... limit N", for every select at any depth
// of parentheses; the limit goes where that select's text ends.
void RewriteTop(std::vector<Token>& tokens) {
  struct Pending {
    int depth;
    std::string limit;
  };
  std::vector<Pending> pending;
  std::vector<Token> out;
  out.reserve(tokens.size() + 4);
  int depth = 0;
  auto close_pending = [&](int at_depth) {
    while (!pending.empty() && pending.back().depth == at_depth) {
      out.push_back({Token::Kind::kSpace, " "});
      out.push_back({Token::Kind::kWord, "limit"});
      out.push_back({Token::Kind::kSpace, " "});
      out.push_back({Token::Kind::kNumber, pending.back().limit});
      pending.pop_back();
    }
  };
  auto next_sig = [&](std::size_t from) {
    while (from < tokens.size() && tokens[from].kind == Token::Kind::kSpace)
      ++from;
    return from;
  };
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind == Token::Kind::kPunct && t.text == "(") ++depth;
    if (t.kind == Token::Kind::kPunct && t.text == ")") {
      close_pending(depth);
      --depth;
    }
    out.push_back(t);
    if (t.kind == Token::Kind::kWord && EqualsNoCase(t.text, "select")) {
      std::size_t j = next_sig(i + 1);
      if (j < tokens.size() && tokens[j].kind == Token::Kind::kWord &&
          (EqualsNoCase(tokens[j].text, "distinct") || EqualsNoCase(tokens[j].text, "all"))) {
        for (std::size_t k = i + 1; k <= j; ++k)
          out.push_back(tokens[k]);
        i = j;
        j = next_sig(i + 1);
      }
      const std::size_t num = next_sig(j + 1);
      if (j < tokens.size() && tokens[j].kind == Token::Kind::kWord &&
          EqualsNoCase(tokens[j].text, "top") && num < tokens.size() &&
          tokens[num].kind == Token::Kind::kNumber) {
        pending.push_back({depth, tokens[num].text});
        i = num;
      }
    }
  }
  close_pending(depth);
  tokens = std::move(out);
}

// "@@identity" reads the connection's last insert id.
void RewriteIdentity(std::vector<Token>& tokens) {
  for (Token& t : tokens) {
    if (t.kind == Token::Kind::kWord && EqualsNoCase(t.text, "@@identity")) {
      t.text = "last_insert_rowid()";
    }
  }
}

// The text of tokens [from, to) as written, spaces collapsed.
std::string TextOf(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
  std::string s;
  for (std::size_t i = from; i < to && i < tokens.size(); ++i) {
    s += tokens[i].kind == Token::Kind::kString ? Quote(tokens[i].text) : tokens[i].text;
  }
  return s;
}

// One column definition of a create table or an added column: name, type, constraints.
std::string AdaptColumn(const std::vector<Token>& tokens, std::size_t from, std::size_t to) {
  while (from < to && tokens[from].kind == Token::Kind::kSpace)
    ++from;
  while (to > from && tokens[to - 1].kind == Token::Kind::kSpace)
    --to;
  if (from >= to) return {};
  const std::string name = tokens[from].text;
  std::vector<Token> rest(tokens.begin() + static_cast<std::ptrdiff_t>(from) + 1,
                          tokens.begin() + static_cast<std::ptrdiff_t>(to));
  Cursor c(rest);
  // An identity column: "autoincrement" or "counter", with or without "primary key".
  if (c.IsWord(0, "autoincrement") || c.IsWord(0, "counter")) {
    return name + " integer primary key autoincrement";
  }
  // The type is the first word, with its size in parentheses when one follows.
  std::size_t type_end = 0;  // index into rest, one past the type
  std::string type;
  for (std::size_t i = 0; i < rest.size(); ++i) {
    if (rest[i].kind == Token::Kind::kSpace) continue;
    if (rest[i].kind != Token::Kind::kWord) break;
    type = rest[i].text;
    type_end = i + 1;
    std::size_t j = type_end;
    while (j < rest.size() && rest[j].kind == Token::Kind::kSpace)
      ++j;
    if (j < rest.size() && rest[j].kind == Token::Kind::kPunct && rest[j].text == "(") {
      std::size_t k = j;
      while (k < rest.size() && !(rest[k].kind == Token::Kind::kPunct && rest[k].text == ")"))
        ++k;
      if (k < rest.size()) {
        type += TextOf(rest, j, k + 1);
        type_end = k + 1;
      }
    }
    break;
  }
  if (type.empty()) return TextOf(tokens, from, to);
  std::string def = ColumnDefinition(name, type);
  std::string tail = TextOf(rest, type_end, rest.size());
  // Jet writes "primary key" after "autoincrement"; a plain "... primary key" keeps its place.
  if (!tail.empty()) def += tail;
  return def;
}

// "create table name(coldef, coldef, ...)".
std::string AdaptCreateTable(const std::vector<Token>& tokens) {
  std::size_t open = 0;
  while (open < tokens.size() &&
         !(tokens[open].kind == Token::Kind::kPunct && tokens[open].text == "(")) {
    ++open;
  }
  if (open >= tokens.size()) return TextOf(tokens, 0, tokens.size());
  std::string sql = TextOf(tokens, 0, open + 1);
  int depth = 0;
  std::size_t start = open + 1;
  std::size_t i = open + 1;
  bool first = true;
  for (; i < tokens.size(); ++i) {
    const Token& t = tokens[i];
    if (t.kind != Token::Kind::kPunct) continue;
    if (t.text == "(") ++depth;
    if ((t.text == "," && depth == 0) || (t.text == ")" && depth == 0)) {
      if (!first) sql += ',';
      sql += AdaptColumn(tokens, start, i);
      first = false;
      start = i + 1;
      if (t.text == ")") break;
      continue;
    }
    if (t.text == ")") --depth;
  }
  sql += TextOf(tokens, i, tokens.size());
  return sql;
}

bool IsStatement(const Cursor& c, std::initializer_list<std::string_view> words) {
  std::size_t i = 0;
  for (std::string_view w : words) {
    if (!c.IsWord(i++, w)) return false;
  }
  return true;
}

// The common data statement (select, insert, update, delete) adapted in one pass, with the same
// result as the token path: blanks collapsed, literals bound. Returns false, having changed
// nothing of `out`, for anything else the adapter rewrites (a row limit, the last identity, a
// bracketed name, a ";") and for a definition: the token path takes those.
bool AdaptPlainData(std::string_view s, Adapted& out) {
  std::string sql;
  sql.reserve(s.size());
  std::vector<std::string> params;
  bool blank = false;  // a run of blanks is pending
  bool first_word = true;
  std::size_t i = 0;
  const std::size_t n = s.size();
  while (i < n) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c <= ' ') {
      ++i;
      blank = true;
      continue;
    }
    if (blank && !sql.empty()) sql += ' ';
    blank = false;
    if (c == '\'' || c == '"') {
      std::string value;
      for (++i;;) {
        if (i >= n) throw StoreError("Unterminated text literal in the statement.");
        const std::size_t end = s.find(static_cast<char>(c), i);
        if (end == std::string_view::npos) {
          throw StoreError("Unterminated text literal in the statement.");
        }
        value.append(s.substr(i, end - i));
        i = end + 1;
        if (i < n && s[i] == static_cast<char>(c)) {
          value += static_cast<char>(c);
          ++i;
          continue;
        }
        break;
      }
      sql += '?';
      params.push_back(std::move(value));
    } else if (c == ';' || c == '[' || c == '@') {
      return false;
    } else if (IsAsciiDigit(c) ||
               (c == '.' && i + 1 < n && IsAsciiDigit(static_cast<unsigned char>(s[i + 1])))) {
      const std::size_t begin = i;
      while (i < n && (IsAsciiAlpha(static_cast<unsigned char>(s[i])) ||
                       IsAsciiDigit(static_cast<unsigned char>(s[i])) || s[i] == '.'))
        ++i;
      sql.append(s.substr(begin, i - begin));
    } else if (IsWordStart(c)) {
      const std::size_t begin = i;
      while (i < n && IsWordChar(static_cast<unsigned char>(s[i])))
        ++i;
      const std::string_view word = s.substr(begin, i - begin);
      if (EqualsNoCase(word, "top") || word.find('@') != std::string_view::npos) return false;
      if (first_word && !EqualsNoCase(word, "select") && !EqualsNoCase(word, "insert") &&
          !EqualsNoCase(word, "update") && !EqualsNoCase(word, "delete")) {
        return false;
      }
      first_word = false;
      sql.append(word);
    } else {
      if (first_word) return false;
      sql += static_cast<char>(c);
      ++i;
    }
  }
  if (first_word) return false;
  out.sql = std::move(sql);
  out.params = std::move(params);
  return true;
}

}  // namespace

std::string Quote(std::string_view text) {
  std::string out;
  AppendQuoted(out, text);
  return out;
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.reserve(out.size() + text.size() + 2);
  out += '\'';
  for (std::size_t from = 0;;) {
    const std::size_t quote = text.find('\'', from);
    if (quote == std::string_view::npos) {
      out.append(text.substr(from));
      break;
    }
    out.append(text.substr(from, quote + 1 - from));
    out += '\'';
    from = quote + 1;
  }
  out += '\'';
}

int TextLimit(std::string_view type) {
  const std::string t = AsciiLower(type);
  for (std::string_view prefix : {"varchar", "text", "char", "nvarchar", "nchar"}) {
    if (t.rfind(prefix, 0) != 0) continue;
    std::size_t i = prefix.size();
    while (i < t.size() && t[i] == ' ')
      ++i;
    if (i >= t.size() || t[i] != '(') return 0;
    int n = 0;
    for (++i; i < t.size() && IsAsciiDigit(static_cast<unsigned char>(t[i])); ++i) {
      n = n * 10 + (t[i] - '0');
      if (n > 1000000) return 0;
    }
    return n;
  }
  return 0;
}

std::string ColumnDefinition(std::string_view column, std::string_view type) {
  const std::string name(column);
  const std::string t = AsciiLower(type);
  if (const int limit = TextLimit(type); limit > 0) {
    // SQLite keeps any length in a text column; the check refuses a longer value the way the
    // bounded text type does. Lengths count bytes.
    const std::string n = std::to_string(limit);
    return name + " varchar(" + n + ") constraint \"value too long for field " + name +
           " (at most " + n + " characters)\" check(length(cast(" + name + " as blob))<=" + n + ")";
  }
  // Unbounded texts take text affinity, so that a value such as "1.50" stays as written.
  if (t == "memo" || t == "longtext" || t == "longchar" || t == "note" || t == "text" ||
      t == "varchar" || t == "char" || t == "string") {
    return name + " text";
  }
  if (t == "long" || t == "int" || t == "integer" || t == "byte" || t == "bit" || t == "yesno" ||
      t == "logical") {
    return name + " integer";
  }
  if (t == "double" || t == "single" || t == "float" || t == "real" || t == "currency" ||
      t == "money") {
    return name + " real";
  }
  return name + " " + std::string(type);
}

Adapted Adapt(std::string_view statement) {
  Adapted plain;
  if (AdaptPlainData(statement, plain)) return plain;
  std::vector<Token> tokens = Tokenize(statement);
  RefuseSeveralStatements(tokens);
  const Cursor c(tokens);
  Adapted out;

  if (IsStatement(c, {"create", "table"})) {
    out.sql = AdaptCreateTable(tokens);
    return out;
  }
  if (IsStatement(c, {"alter", "table"}) && c.At(2)) {
    const std::string table = c.At(2)->text;
    if (c.IsWord(3, "add")) {
      const std::size_t col = c.IsWord(4, "column") ? 5 : 4;
      // Everything after "add [column]" is one column definition.
      std::size_t seen = 0;
      std::size_t from = 0;
      for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == Token::Kind::kSpace) continue;
        if (seen++ == col) {
          from = i;
          break;
        }
      }
      if (from == 0) throw StoreError("Syntax error in ALTER TABLE statement.");
      out.sql = "alter table " + table + " add column " + AdaptColumn(tokens, from, tokens.size());
      return out;
    }
    if (c.IsWord(3, "drop")) {
      const std::size_t col = c.IsWord(4, "column") ? 5 : 4;
      if (!c.At(col) || c.At(col + 1)) throw StoreError("Syntax error in ALTER TABLE statement.");
      out.kind = Adapted::Kind::kDropColumn;
      out.table = table;
      out.column = c.At(col)->text;
      return out;
    }
    if (c.IsWord(3, "alter") && c.IsWord(4, "column") && c.At(5) && c.At(6)) {
      out.kind = Adapted::Kind::kAlterColumn;
      out.table = table;
      out.column = c.At(5)->text;
      std::size_t seen = 0;
      for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].kind == Token::Kind::kSpace) continue;
        if (seen++ == 6) {
          out.type = TextOf(tokens, i, tokens.size());
          break;
        }
      }
      return out;
    }
    out.sql = Join(tokens, true, nullptr);
    return out;
  }
  if (IsStatement(c, {"drop", "index"}) && c.At(2) && c.IsWord(3, "on")) {
    out.sql = "drop index " + c.At(2)->text;
    return out;
  }
  if (c.IsWord(0, "create") || c.IsWord(0, "drop") || c.IsWord(0, "alter")) {
    // Definitions cannot take bound values: their literals stay inline.
    out.sql = Join(tokens, true, nullptr);
    return out;
  }

  RewriteIdentity(tokens);
  RewriteTop(tokens);
  out.sql = Join(tokens, false, &out.params);
  return out;
}

}  // namespace sorvane::dialect
