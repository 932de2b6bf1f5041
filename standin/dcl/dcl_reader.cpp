// Reader of dialog description files: a lexer with one character of lookahead, a
// recursive-descent parser with a depth bound, and the resolution of a dialog's keyed tiles.
#include "standin/dcl/dcl_reader.h"

#include <cstdio>
#include <map>
#include <set>

namespace standin::dcl {

const Attribute* Tile::find(std::string_view attr_name) const {
  const Attribute* found = nullptr;
  for (const Attribute& a : attributes) {
    if (a.name == attr_name) found = &a;
  }
  return found;
}

const Tile* DclFile::find(std::string_view def_name) const {
  for (const Tile& t : definitions) {
    if (t.name == def_name) return &t;
  }
  return nullptr;
}

const KeyedTile* DialogLayout::find(std::string_view key) const {
  for (const KeyedTile& t : tiles) {
    if (t.key == key) return &t;
  }
  return nullptr;
}

namespace {

constexpr int kEndOfInput = -1;  // the current character at the end of the input

enum class Tok {
  kEnd,        // end of input
  kError,      // a lexical error; the message is already set
  kName,       // identifier: letters, digits, '_', not starting with a digit
  kString,     // "..." (text holds the decoded contents)
  kNumber,     // optional sign, digits, optional fraction
  kDirective,  // '@' followed by a name (text holds the name)
  kColon,      // ':'
  kSemicolon,  // ';'
  kEquals,     // '='
  kLBrace,     // '{'
  kRBrace,     // '}'
  kOther       // any other character (text holds it)
};

struct Token {
  Tok kind = Tok::kEnd;  // what was read
  std::string text;      // the name, decoded string, number or character
  int line = 1;          // line where the token starts
};

struct Lexer {
  std::string_view text;      // the whole input
  size_t pos = 0;             // index of the character after the current one
  int current = kEndOfInput;  // the current character (0..255) or kEndOfInput
  int line = 1;               // line of the current character
  const std::string* file;    // file name for messages
  std::string* err;           // receives the first error message
};

bool is_name_start(int c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_'; }
bool is_digit(int c) { return c >= '0' && c <= '9'; }
bool is_name_char(int c) { return is_name_start(c) || is_digit(c); }

void set_error(const std::string& file, int line, const std::string& message, std::string* err) {
  *err = file + ":" + std::to_string(line) + ": " + message;
}

// Moves to the next character. A "\r\n" pair, a lone '\r' and a lone '\n' each end a line.
void next_char(Lexer* ls) {
  if (ls->current == '\n' ||
      (ls->current == '\r' && (ls->pos >= ls->text.size() || ls->text[ls->pos] != '\n'))) {
    ++ls->line;
  }
  if (ls->pos < ls->text.size()) {
    ls->current = static_cast<unsigned char>(ls->text[ls->pos++]);
  } else {
    ls->current = kEndOfInput;
    ls->pos = ls->text.size() + 1;
  }
}

int peek_char(const Lexer& ls) {
  return ls.pos < ls.text.size() ? static_cast<unsigned char>(ls.text[ls.pos]) : kEndOfInput;
}

// A printable rendering of character `c` for messages.
std::string describe_char(int c) {
  if (c >= 0x20 && c < 0x7f) return std::string(1, static_cast<char>(c));
  char buf[8];
  std::snprintf(buf, sizeof buf, "\\x%02x", static_cast<unsigned>(c) & 0xffu);
  return buf;
}

Token lex_error(Lexer* ls, int line, const std::string& message) {
  set_error(*ls->file, line, message, ls->err);
  Token t;
  t.kind = Tok::kError;
  t.line = line;
  return t;
}

// Skips blanks and comments. Returns false (message set) on an unterminated comment.
bool skip_space(Lexer* ls) {
  for (;;) {
    switch (ls->current) {
      case ' ':
      case '\t':
      case '\r':
      case '\n':
      case '\f':
      case '\v':
        next_char(ls);
        break;
      case '/':
        if (peek_char(*ls) == '/') {
          while (ls->current != kEndOfInput && ls->current != '\n' && ls->current != '\r')
            next_char(ls);
        } else if (peek_char(*ls) == '*') {
          int start = ls->line;
          next_char(ls);
          next_char(ls);
          while (!(ls->current == '*' && peek_char(*ls) == '/')) {
            if (ls->current == kEndOfInput) {
              set_error(*ls->file, start, "unterminated comment", ls->err);
              return false;
            }
            next_char(ls);
          }
          next_char(ls);
          next_char(ls);
        } else {
          return true;
        }
        break;
      default:
        return true;
    }
  }
}

Token read_string(Lexer* ls) {
  Token t;
  t.kind = Tok::kString;
  t.line = ls->line;
  next_char(ls);  // the opening quote
  for (;;) {
    switch (ls->current) {
      case kEndOfInput:
      case '\n':
      case '\r':
        return lex_error(ls, t.line, "unterminated string");
      case '"':
        next_char(ls);
        return t;
      case '\\': {
        next_char(ls);
        switch (ls->current) {
          case '"':
            t.text += '"';
            break;
          case '\\':
            t.text += '\\';
            break;
          case 'n':
            t.text += '\n';
            break;
          case 't':
            t.text += '\t';
            break;
          case 'r':
            t.text += '\r';
            break;
          case kEndOfInput:
          case '\n':
          case '\r':
            return lex_error(ls, t.line, "unterminated string");
          default:
            return lex_error(ls, ls->line,
                             "unknown escape '\\" + describe_char(ls->current) + "' in string");
        }
        next_char(ls);
        break;
      }
      default:
        t.text += static_cast<char>(ls->current);
        next_char(ls);
    }
  }
}

Token read_number(Lexer* ls) {
  Token t;
  t.kind = Tok::kNumber;
  t.line = ls->line;
  if (ls->current == '-' || ls->current == '+') {
    t.text += static_cast<char>(ls->current);
    next_char(ls);
  }
  bool digits = false;
  while (is_digit(ls->current)) {
    digits = true;
    t.text += static_cast<char>(ls->current);
    next_char(ls);
  }
  if (ls->current == '.') {
    t.text += '.';
    next_char(ls);
    while (is_digit(ls->current)) {
      digits = true;
      t.text += static_cast<char>(ls->current);
      next_char(ls);
    }
  }
  if (!digits) return lex_error(ls, t.line, "malformed number '" + t.text + "'");
  return t;
}

Token next_token(Lexer* ls) {
  if (!skip_space(ls)) {
    Token t;
    t.kind = Tok::kError;
    return t;
  }
  Token t;
  t.line = ls->line;
  switch (ls->current) {
    case kEndOfInput:
      t.kind = Tok::kEnd;
      return t;
    case '"':
      return read_string(ls);
    case ':':
      t.kind = Tok::kColon;
      break;
    case ';':
      t.kind = Tok::kSemicolon;
      break;
    case '=':
      t.kind = Tok::kEquals;
      break;
    case '{':
      t.kind = Tok::kLBrace;
      break;
    case '}':
      t.kind = Tok::kRBrace;
      break;
    case '-':
    case '+':
    case '.':
      return read_number(ls);
    case '@':
      next_char(ls);
      t.kind = Tok::kDirective;
      while (is_name_char(ls->current)) {
        t.text += static_cast<char>(ls->current);
        next_char(ls);
      }
      return t;
    default:
      if (is_digit(ls->current)) return read_number(ls);
      if (is_name_start(ls->current)) {
        t.kind = Tok::kName;
        while (is_name_char(ls->current)) {
          t.text += static_cast<char>(ls->current);
          next_char(ls);
        }
        return t;
      }
      return lex_error(ls, ls->line, "unexpected character '" + describe_char(ls->current) + "'");
  }
  t.text = std::string(1, static_cast<char>(ls->current));
  next_char(ls);
  return t;
}

struct Parser {
  Lexer lex;         // the token source
  Token tok;         // the current token
  std::string* err;  // receives the first error message
};

void advance(Parser* p) { p->tok = next_token(&p->lex); }

// Reports `message` at `line` unless the current token already carries a lexical error.
bool fail(Parser* p, int line, const std::string& message) {
  if (p->tok.kind != Tok::kError) set_error(*p->lex.file, line, message, p->err);
  return false;
}

bool parse_body(Parser* p, Tile* tile, int depth);

// Parses `: type { body }` after the optional name; the current token is ':'.
bool parse_typed_tile(Parser* p, Tile* tile, int depth) {
  advance(p);
  if (p->tok.kind != Tok::kName) return fail(p, p->tok.line, "expected a tile type after ':'");
  tile->type = p->tok.text;
  int type_line = p->tok.line;
  advance(p);
  if (p->tok.kind != Tok::kLBrace) {
    return fail(p, type_line, "expected '{' after '" + tile->type + "'");
  }
  return parse_body(p, tile, depth + 1);
}

// Parses the body after '{' up to and including the closing '}'.
bool parse_body(Parser* p, Tile* tile, int depth) {
  if (depth > kMaxDepth) {
    return fail(p, p->tok.line, "tiles nested deeper than " + std::to_string(kMaxDepth));
  }
  advance(p);
  for (;;) {
    switch (p->tok.kind) {
      case Tok::kRBrace:
        advance(p);
        return true;
      case Tok::kEnd:
        return fail(p, tile->line, "'{' not closed before the end of the file");
      case Tok::kColon: {
        Tile child;
        child.reference = false;
        child.line = p->tok.line;
        if (!parse_typed_tile(p, &child, depth)) return false;
        tile->children.push_back(std::move(child));
        break;
      }
      case Tok::kName: {
        std::string name = p->tok.text;
        int line = p->tok.line;
        advance(p);
        if (p->tok.kind == Tok::kEquals) {
          advance(p);
          Attribute a;
          a.name = name;
          a.line = line;
          switch (p->tok.kind) {
            case Tok::kString:
              a.kind = ValueKind::kString;
              break;
            case Tok::kNumber:
              a.kind = ValueKind::kNumber;
              break;
            case Tok::kName:
              a.kind = ValueKind::kIdentifier;
              break;
            default:
              return fail(p, line, "expected a value after '" + name + " ='");
          }
          a.value = std::move(p->tok.text);
          int value_line = p->tok.line;
          advance(p);
          if (p->tok.kind != Tok::kSemicolon) {
            return fail(p, value_line, "expected ';' after attribute value");
          }
          advance(p);
          tile->attributes.push_back(std::move(a));
        } else if (p->tok.kind == Tok::kSemicolon) {
          advance(p);
          Tile child;
          child.type = std::move(name);
          child.reference = true;
          child.line = line;
          tile->children.push_back(std::move(child));
        } else if (p->tok.kind == Tok::kColon) {
          Tile child;
          child.name = std::move(name);
          child.reference = false;
          child.line = line;
          if (!parse_typed_tile(p, &child, depth)) return false;
          tile->children.push_back(std::move(child));
        } else {
          return fail(p, line, "expected '=', ';' or ':' after '" + name + "'");
        }
        break;
      }
      default:
        return fail(p, p->tok.line, "expected an attribute, a tile or '}'");
    }
  }
}

}  // namespace

bool parse_dcl(std::string_view text, const std::string& file_name, DclFile* out,
               std::string* err) {
  out->name = file_name;
  out->definitions.clear();
  Parser p;
  p.lex.text = text;
  p.lex.file = &file_name;
  p.lex.err = err;
  p.err = err;
  next_char(&p.lex);
  p.lex.line = 1;
  advance(&p);
  for (;;) {
    switch (p.tok.kind) {
      case Tok::kEnd:
        return true;
      case Tok::kName: {
        Tile def;
        def.name = p.tok.text;
        def.reference = false;
        def.line = p.tok.line;
        advance(&p);
        if (p.tok.kind != Tok::kColon) {
          return fail(&p, def.line, "expected ':' after '" + def.name + "'");
        }
        if (!parse_typed_tile(&p, &def, 0)) return false;
        out->definitions.push_back(std::move(def));
        break;
      }
      case Tok::kDirective:
        if (p.tok.text == "include") return fail(&p, p.tok.line, "@include is not supported");
        return fail(&p, p.tok.line, "unknown directive '@" + p.tok.text + "'");
      default:
        return fail(&p, p.tok.line, "expected a definition name");
    }
  }
}

namespace {

// A predefined tile that carries a key.
struct Prototype {
  const char* name;   // the predefined name
  const char* type;   // the base type it is made of
  const char* key;    // its key
  const char* label;  // its label
};

constexpr Prototype kPrototypes[] = {
    {"ok_button", "button", "accept", "OK"},
    {"cancel_button", "button", "cancel", "Cancel"},
    {"help_button", "button", "help", "Help..."},
    {"info_button", "button", "info", "Info..."},
    {"errtile", "text", "error", ""},
};

// Predefined rows and the prototypes they are made of.
const std::map<std::string_view, std::vector<std::string_view>>& button_rows() {
  static const std::map<std::string_view, std::vector<std::string_view>> rows = {
      {"ok_only", {"ok_button"}},
      {"ok_cancel", {"ok_button", "cancel_button"}},
      {"ok_cancel_help", {"ok_button", "cancel_button", "help_button"}},
      {"ok_cancel_help_info", {"ok_button", "cancel_button", "help_button", "info_button"}},
      {"ok_cancel_help_errtile", {"ok_button", "cancel_button", "help_button", "errtile"}},
  };
  return rows;
}

constexpr std::string_view kBaseTypes[] = {
    "boxed_column",
    "boxed_radio_column",
    "boxed_radio_row",
    "boxed_row",
    "button",
    "cluster",
    "column",
    "concatenation",
    "default_button",
    "default_dcl_settings",
    "dialog",
    "edit_box",
    "image",
    "image_button",
    "list_box",
    "paragraph",
    "popup_list",
    "radio_button",
    "radio_column",
    "radio_row",
    "retirement_button",
    "row",
    "slider",
    "spacer",
    "spacer_0",
    "spacer_1",
    "text",
    "text_part",
    "tile",
    "toggle",
};

const Prototype* find_prototype(std::string_view name) {
  for (const Prototype& p : kPrototypes) {
    if (name == p.name) return &p;
  }
  return nullptr;
}

bool is_base_type(std::string_view name) {
  for (std::string_view t : kBaseTypes) {
    if (t == name) return true;
  }
  return false;
}

// The largest number of tiles one dialog may expand to: a file whose definitions refer to
// each other many times over is rejected instead of expanding without end.
constexpr int kMaxTiles = 100000;

int leading_int(const std::string& s) {
  long v = 0;
  size_t i = (!s.empty() && (s[0] == '+' || s[0] == '-')) ? 1 : 0;
  for (; i < s.size() && is_digit(s[i]); ++i) {
    v = v * 10 + (s[i] - '0');
    if (v > 100000) v = 100000;
  }
  return (!s.empty() && s[0] == '-') ? 0 : static_cast<int>(v);
}

struct Collector {
  const DclFile* file;           // the file the dialog comes from
  DialogLayout* out;             // receives the keyed tiles
  std::string* err;              // receives the first error message
  std::set<const Tile*> active;  // definitions being expanded, to catch cycles
  int tiles = 0;                 // tiles expanded so far
};

bool collect_error(Collector* c, int line, const std::string& message) {
  set_error(c->file->name, line, message, c->err);
  return false;
}

bool add_key(Collector* c, KeyedTile tile, int line) {
  if (c->out->find(tile.key) != nullptr) {
    return collect_error(c, line, "duplicate key \"" + tile.key + "\"");
  }
  c->out->tiles.push_back(std::move(tile));
  return true;
}

bool add_prototype(Collector* c, const Prototype& proto, int line) {
  KeyedTile k{proto.key, proto.type, proto.label, "", 0, 0, false};
  return add_key(c, std::move(k), line);
}

bool collect_tile(Collector* c, const Tile& tile, int depth);

// Expands `tile` of type `def` where `def` is a definition of the file: the chain of
// definitions it derives from, its own attributes overriding theirs.
bool collect_typed(Collector* c, const Tile& tile, int depth) {
  if (depth > kMaxDepth) {
    return collect_error(c, tile.line, "tiles nested deeper than " + std::to_string(kMaxDepth));
  }
  if (++c->tiles > kMaxTiles) return collect_error(c, tile.line, "dialog has too many tiles");
  // The chain: the tile itself, then each definition it derives from.
  std::vector<const Tile*> chain{&tile};
  std::string base;
  const Prototype* proto = nullptr;
  for (;;) {
    const Tile* last = chain.back();
    const Tile* def = c->file->find(last->type);
    if (def != nullptr && def != last) {
      for (const Tile* t : chain) {
        if (t == def) return collect_error(c, def->line, "'" + def->name + "' derives from itself");
      }
      if (chain.size() > static_cast<size_t>(kMaxDepth)) {
        return collect_error(c, tile.line,
                             "definitions derive deeper than " + std::to_string(kMaxDepth));
      }
      chain.push_back(def);
      continue;
    }
    if (def == last) return collect_error(c, def->line, "'" + def->name + "' derives from itself");
    if (is_base_type(last->type)) {
      base = last->type;
    } else if ((proto = find_prototype(last->type)) != nullptr) {
      base = proto->type;
    } else if (button_rows().count(last->type) != 0) {
      base = "row";
    } else {
      return collect_error(c, last->line, "unknown tile type '" + last->type + "'");
    }
    break;
  }
  auto attr = [&chain](std::string_view name) -> const Attribute* {
    for (const Tile* t : chain) {
      if (const Attribute* a = t->find(name)) return a;
    }
    return nullptr;
  };
  const Attribute* key = attr("key");
  if (key != nullptr || proto != nullptr) {
    KeyedTile k;
    k.key = key != nullptr ? key->value : proto->key;
    k.type = base;
    const Attribute* label = attr("label");
    k.label = label != nullptr ? label->value : (proto != nullptr ? proto->label : "");
    const Attribute* value = attr("value");
    k.value = value != nullptr ? value->value : "";
    const Attribute* width = attr("width");
    k.width = width != nullptr ? leading_int(width->value) : 0;
    const Attribute* height = attr("height");
    k.height = height != nullptr ? leading_int(height->value) : 0;
    const Attribute* fixed = attr("fixed_width_font");
    k.fixed_width_font = fixed != nullptr && fixed->value == "true";
    if (!add_key(c, std::move(k), tile.line)) return false;
  }
  auto row = button_rows().find(chain.back()->type);
  if (row != button_rows().end()) {
    for (std::string_view name : row->second) {
      if (!add_prototype(c, *find_prototype(name), tile.line)) return false;
    }
  }
  // A definition met again while its own tiles are expanded is a cycle.
  std::vector<const Tile*> entered;
  bool ok = true;
  for (size_t i = 1; i < chain.size() && ok; ++i) {
    if (c->active.insert(chain[i]).second) {
      entered.push_back(chain[i]);
    } else {
      ok = collect_error(c, tile.line, "'" + chain[i]->name + "' refers to itself");
    }
  }
  // Children of the definitions first (outermost base first), then the tile's own.
  for (auto it = chain.rbegin(); it != chain.rend() && ok; ++it) {
    for (const Tile& child : (*it)->children) {
      if (!collect_tile(c, child, depth + 1)) {
        ok = false;
        break;
      }
    }
  }
  for (const Tile* t : entered) c->active.erase(t);
  return ok;
}

bool collect_tile(Collector* c, const Tile& tile, int depth) {
  if (!tile.reference) return collect_typed(c, tile, depth);
  if (depth > kMaxDepth) {
    return collect_error(c, tile.line, "tiles nested deeper than " + std::to_string(kMaxDepth));
  }
  if (++c->tiles > kMaxTiles) return collect_error(c, tile.line, "dialog has too many tiles");
  if (const Tile* def = c->file->find(tile.type)) {
    if (!c->active.insert(def).second) {
      return collect_error(c, tile.line, "'" + def->name + "' refers to itself");
    }
    bool ok = collect_typed(c, *def, depth + 1);
    c->active.erase(def);
    return ok;
  }
  if (const Prototype* proto = find_prototype(tile.type))
    return add_prototype(c, *proto, tile.line);
  auto row = button_rows().find(tile.type);
  if (row != button_rows().end()) {
    for (std::string_view name : row->second) {
      if (!add_prototype(c, *find_prototype(name), tile.line)) return false;
    }
    return true;
  }
  if (is_base_type(tile.type)) return true;
  return collect_error(c, tile.line, "unknown tile '" + tile.type + "'");
}

// True if definition `def` is a dialog, directly or through the definitions it derives from.
bool is_dialog(const DclFile& file, const Tile& def) {
  const Tile* t = &def;
  for (int i = 0; i <= kMaxDepth; ++i) {
    if (t->type == "dialog") return true;
    const Tile* next = file.find(t->type);
    if (next == nullptr || next == t) return false;
    t = next;
  }
  return false;
}

}  // namespace

bool collect_dialog(const DclFile& file, const std::string& dialog_name, DialogLayout* out,
                    std::string* err) {
  out->name = dialog_name;
  out->label.clear();
  out->tiles.clear();
  const Tile* def = file.find(dialog_name);
  if (def == nullptr) {
    *err = file.name + ": no dialog '" + dialog_name + "'";
    return false;
  }
  if (!is_dialog(file, *def)) {
    set_error(file.name, def->line, "'" + dialog_name + "' is not a dialog", err);
    return false;
  }
  Collector c;
  c.file = &file;
  c.out = out;
  c.err = err;
  c.active.insert(def);
  if (!collect_typed(&c, *def, 0)) return false;
  // The dialog's own label, looked up along the same chain as its tiles.
  const Tile* t = def;
  for (int i = 0; i <= kMaxDepth && t != nullptr; ++i) {
    if (const Attribute* label = t->find("label")) {
      out->label = label->value;
      break;
    }
    if (t->type == "dialog") break;
    t = file.find(t->type);
  }
  return true;
}

bool is_predefined_tile(std::string_view name) {
  return is_base_type(name) || find_prototype(name) != nullptr || button_rows().count(name) != 0;
}

}  // namespace standin::dcl
