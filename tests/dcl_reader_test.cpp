// Tests of the dialog-file reader: the tree it builds, its error messages, its bounds, and
// the collection of a dialog's keyed tiles.
#include "standin/dcl/dcl_reader.h"

#include <gtest/gtest.h>

#include <random>

namespace standin::dcl {
namespace {

// A compact rendering of a tile: name:type{attributes children} or name; for a reference.
// Attribute values are prefixed with s (string), n (number) or i (identifier).
std::string dump(const Tile& t) {
  if (t.reference) return t.type + ";";
  std::string s = t.name + ":" + t.type + "{";
  for (const Attribute& a : t.attributes) {
    char kind = a.kind == ValueKind::kString ? 's' : a.kind == ValueKind::kNumber ? 'n' : 'i';
    s += a.name + "=" + kind + a.value + ";";
  }
  for (const Tile& c : t.children) s += dump(c);
  return s + "}";
}

std::string dump(const DclFile& f) {
  std::string s;
  for (const Tile& t : f.definitions) s += dump(t) + " ";
  return s;
}

struct ParseCase {
  const char* what;
  const char* text;
  const char* tree;  // dump() of the result
};

TEST(DclReader, ParsesStructures) {
  const ParseCase cases[] = {
      {"empty file", "", ""},
      {"comments only", "// one\n/* two\n three */\n", ""},
      {"empty dialog", "d : dialog {}", "d:dialog{} "},
      {"the listing dialog",
       "shfile : dialog {\n"
       "  label = \"Depth\";\n"
       "  : text { key = \"::title\"; }\n"
       "  : list_box { key = \"::text\"; width = 90; fixed_width_font = true; }\n"
       "  ok_only;\n"
       "}\n",
       "shfile:dialog{label=sDepth;:text{key=s::title;}"
       ":list_box{key=s::text;width=n90;fixed_width_font=itrue;}ok_only;} "},
      {"nesting, named inner tile and several definitions",
       "a : row { : column { : button { key = \"b\"; } spacer; } }\n"
       "d : dialog { inner : a { } a; }",
       "a:row{:column{:button{key=sb;}spacer;}} d:dialog{inner:a{}a;} "},
      {"string escapes", R"(d : dialog { label = "q\"b\\s\nn\tt\rr"; })",
       "d:dialog{label=sq\"b\\s\nn\tt\rr;} "},
      {"empty string", "d : dialog { label = \"\"; }", "d:dialog{label=s;} "},
      {"numbers", "d : dialog { a = 80; b = 20.5; c = -1; d = .5; e = +3; }",
       "d:dialog{a=n80;b=n20.5;c=n-1;d=n.5;e=n+3;} "},
      {"comments between every token",
       "/*0*/ d /*1*/ : /*2*/ dialog // 3\n { /*4*/ w /*5*/ = /*6*/ 1 /*7*/ ; // 8\n }",
       "d:dialog{w=n1;} "},
      {"comment markers inside a string", "d : dialog { label = \"// not /* a comment\"; }",
       "d:dialog{label=s// not /* a comment;} "},
      {"CRLF line ends and tabs", "d\t:\tdialog\r\n{\r\n\tw = 1;\r\n}\r\n", "d:dialog{w=n1;} "},
  };
  for (const ParseCase& c : cases) {
    DclFile f;
    std::string err;
    ASSERT_TRUE(parse_dcl(c.text, "t.dcl", &f, &err)) << c.what << ": " << err;
    EXPECT_EQ(c.tree, dump(f)) << c.what;
  }
}

TEST(DclReader, RecordsLines) {
  DclFile f;
  std::string err;
  ASSERT_TRUE(
      parse_dcl("// head\r\nd : dialog {\r\n  w = 1;\r  : text {}\n}\n", "t.dcl", &f, &err));
  ASSERT_EQ(1u, f.definitions.size());
  const Tile& d = f.definitions[0];
  EXPECT_EQ(2, d.line);
  EXPECT_EQ(3, d.attributes.at(0).line);
  EXPECT_EQ(4, d.children.at(0).line);  // a lone CR ends a line too
}

struct ErrorCase {
  const char* text;
  const char* message;
};

TEST(DclReader, ReportsErrorsWithFileAndLine) {
  const ErrorCase cases[] = {
      {"d : dialog {", "t.dcl:1: '{' not closed before the end of the file"},
      {"d : dialog {\n  : row {\n  }\n", "t.dcl:1: '{' not closed before the end of the file"},
      {"d : dialog { w = 80 }", "t.dcl:1: expected ';' after attribute value"},
      {"d : dialog {\n  w = 80\n}", "t.dcl:2: expected ';' after attribute value"},
      {"d : dialog {\n  w = 80 w = 1;\n}", "t.dcl:2: expected ';' after attribute value"},
      {"d dialog {}", "t.dcl:1: expected ':' after 'd'"},
      {"d : {}", "t.dcl:1: expected a tile type after ':'"},
      {"d : dialog ;", "t.dcl:1: expected '{' after 'dialog'"},
      {"d : dialog {\n : text ;\n}", "t.dcl:2: expected '{' after 'text'"},
      {"d : dialog { label = ; }", "t.dcl:1: expected a value after 'label ='"},
      {"d : dialog { label \"x\"; }", "t.dcl:1: expected '=', ';' or ':' after 'label'"},
      {"d : dialog { = 1; }", "t.dcl:1: expected an attribute, a tile or '}'"},
      {"d : dialog { \"x\"; }", "t.dcl:1: expected an attribute, a tile or '}'"},
      {"\"x\" : dialog {}", "t.dcl:1: expected a definition name"},
      {"d : dialog {}\n}", "t.dcl:2: expected a definition name"},
      {"d : dialog {} ;", "t.dcl:1: expected a definition name"},
      {"@include \"base.dcl\";\n", "t.dcl:1: @include is not supported"},
      {"@define x;", "t.dcl:1: unknown directive '@define'"},
      {"d : dialog {\n label = \"abc;\n}", "t.dcl:2: unterminated string"},
      {"d : dialog { label = \"abc", "t.dcl:1: unterminated string"},
      {"d : dialog { label = \"abc\\", "t.dcl:1: unterminated string"},
      {"d : dialog { label = \"a\\qb\"; }", "t.dcl:1: unknown escape '\\q' in string"},
      {"d : dialog {}\n/* open\n\n", "t.dcl:2: unterminated comment"},
      {"d : dialog { # }", "t.dcl:1: unexpected character '#'"},
      {"d : dialog { / }", "t.dcl:1: unexpected character '/'"},
      {"d : dialog {\n\x01 }", "t.dcl:2: unexpected character '\\x01'"},
      {"d : dialog { w = \xe9; }", "t.dcl:1: unexpected character '\\xe9'"},
      {"d : dialog { w = -; }", "t.dcl:1: malformed number '-'"},
      {"d : dialog {\r\n\r\n w = 1\r\n}", "t.dcl:3: expected ';' after attribute value"},
  };
  for (const ErrorCase& c : cases) {
    DclFile f;
    std::string err;
    EXPECT_FALSE(parse_dcl(c.text, "t.dcl", &f, &err)) << c.text;
    EXPECT_EQ(c.message, err) << c.text;
  }
}

TEST(DclReader, NULInTheInputIsAnError) {
  DclFile f;
  std::string err;
  EXPECT_FALSE(parse_dcl(std::string_view("d : dialog {\0}", 14), "t.dcl", &f, &err));
  EXPECT_EQ("t.dcl:1: unexpected character '\\x00'", err);
}

std::string nested(int depth) {
  std::string s = "d : dialog {";
  for (int i = 1; i < depth; ++i) s += ": row {";
  return s + std::string(static_cast<size_t>(depth), '}');
}

TEST(DclReader, BoundsNestingDepth) {
  DclFile f;
  std::string err;
  EXPECT_TRUE(parse_dcl(nested(kMaxDepth), "t.dcl", &f, &err)) << err;
  EXPECT_FALSE(parse_dcl(nested(kMaxDepth + 1), "t.dcl", &f, &err));
  EXPECT_EQ("t.dcl:1: tiles nested deeper than 64", err);
  EXPECT_FALSE(parse_dcl(nested(1000000), "t.dcl", &f, &err));
}

// Every malformed input gives one "t.dcl:<line>: " message with a line inside the input:
// the prefixes of a valid file and random mutations of it.
TEST(DclReader, MalformedInputGivesAMessageNeverACrash) {
  const std::string valid =
      "// header\nbtn : button { key = \"b\"; label = \"a\\\"b\"; }\n"
      "d : dialog {\n  label = \"x\"; /* c */\n  : list_box { width = 90.5; ok = true; }\n"
      "  btn; ok_cancel;\n}\n";
  auto check = [](const std::string& text) {
    DclFile f;
    std::string err;
    if (parse_dcl(text, "t.dcl", &f, &err)) return;
    ASSERT_EQ(0u, err.rfind("t.dcl:", 0)) << err;
    int line = std::atoi(err.c_str() + 6);
    int lines = 1;  // "\n", "\r\n" and a lone "\r" each end a line
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n' || (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n'))) {
        ++lines;
      }
    }
    EXPECT_TRUE(line >= 1 && line <= lines) << text << "\n" << err;
  };
  for (size_t n = 0; n <= valid.size(); ++n) check(valid.substr(0, n));
  std::mt19937 rng(42);
  const char alphabet[] = "{}:;=\"\\/*@-. \na1\r";
  for (int i = 0; i < 3000; ++i) {
    std::string text = valid;
    for (int k = 0; k < 3; ++k) {
      size_t at = rng() % text.size();
      text[at] =
          static_cast<char>(i % 7 == 0 ? rng() % 256 : alphabet[rng() % (sizeof alphabet - 1)]);
    }
    check(text);
  }
}

// Keyed tiles of a dialog as "key:type" in order, or the error message.
std::string keys_of(const char* text, const char* dialog) {
  DclFile f;
  std::string err;
  if (!parse_dcl(text, "t.dcl", &f, &err)) return "parse: " + err;
  DialogLayout layout;
  if (!collect_dialog(f, dialog, &layout, &err)) return err;
  std::string s;
  for (const KeyedTile& t : layout.tiles) s += (s.empty() ? "" : " ") + t.key + ":" + t.type;
  return s;
}

struct KeysCase {
  const char* what;
  const char* text;
  const char* dialog;
  const char* keys;  // keys_of()
};

TEST(DclReader, CollectsKeyedTiles) {
  const KeysCase cases[] = {
      {"direct tiles and ok_only",
       "d : dialog { : text { key = \"::title\"; } : list_box { key = \"::text\"; } ok_only; }",
       "d", "::title:text ::text:list_box accept:button"},
      {"button rows", "d : dialog { ok_cancel; }", "d", "accept:button cancel:button"},
      {"button row with error tile", "d : dialog { ok_cancel_help_errtile; }", "d",
       "accept:button cancel:button help:button error:text"},
      {"predefined buttons as types", "d : dialog { : ok_button { } : cancel_button {} }", "d",
       "accept:button cancel:button"},
      {"own key overrides a predefined one", "d : dialog { : ok_button { key = \"go\"; } }", "d",
       "go:button"},
      {"keyless tiles and spacers", "d : dialog { : row { spacer; : text { label = \"x\"; } } }",
       "d", ""},
      {"reference to a definition",
       "btns : row { : button { key = \"b1\"; } : button { key = \"b2\"; } }\n"
       "d : dialog { : text { key = \"t\"; } btns; }",
       "d", "t:text b1:button b2:button"},
      {"tile deriving from a definition",
       "my_list : list_box { key = \"l\"; }\nd : dialog { : my_list { height = 3; } }", "d",
       "l:list_box"},
      {"derived tile overriding the key",
       "my_list : list_box { key = \"l\"; }\nd : dialog { : my_list { key = \"m\"; } }", "d",
       "m:list_box"},
      {"dialog deriving from a dialog",
       "base : dialog { ok_only; }\nd : base { : text { key = \"t\"; } }", "d",
       "accept:button t:text"},
      {"the same definition used twice without keys",
       "gap : column { spacer; }\nd : dialog { gap; gap; ok_only; }", "d", "accept:button"},
      {"no such dialog", "d : dialog {}", "e", "t.dcl: no dialog 'e'"},
      {"definition that is no dialog", "d : dialog {}\nb : button { key = \"b\"; }", "b",
       "t.dcl:2: 'b' is not a dialog"},
      {"unknown reference", "d : dialog {\n  foo;\n}", "d", "t.dcl:2: unknown tile 'foo'"},
      {"unknown tile type", "d : dialog {\n  : lisst_box {}\n}", "d",
       "t.dcl:2: unknown tile type 'lisst_box'"},
      {"duplicate key", "d : dialog {\n  ok_only;\n  : button { key = \"accept\"; }\n}", "d",
       "t.dcl:3: duplicate key \"accept\""},
      {"reference cycle", "a : row { b; }\nb : row { a; }\nd : dialog { a; }", "d",
       "t.dcl:2: 'a' refers to itself"},
      {"dialog referring to itself", "d : dialog { d; }", "d", "t.dcl:1: 'd' refers to itself"},
      {"type cycle", "a : b {}\nb : a {}\nd : dialog { : a {} }", "d",
       "t.dcl:1: 'a' derives from itself"},
      {"tile typed after its own definition", "a : row { : a {} }\nd : dialog { a; }", "d",
       "t.dcl:1: 'a' refers to itself"},
  };
  for (const KeysCase& c : cases) EXPECT_EQ(c.keys, keys_of(c.text, c.dialog)) << c.what;
}

TEST(DclReader, CollectsAttributesAlongDefinitions) {
  DclFile f;
  std::string err;
  ASSERT_TRUE(
      parse_dcl("wide : list_box { width = 90.7; fixed_width_font = true; }\n"
                "d : dialog { label = \"Title\"; : wide { key = \"l\"; height = 30; }"
                " : text { key = \"t\"; value = \"v\"; } }",
                "t.dcl", &f, &err));
  DialogLayout layout;
  ASSERT_TRUE(collect_dialog(f, "d", &layout, &err)) << err;
  EXPECT_EQ("Title", layout.label);
  const KeyedTile* list = layout.find("l");
  ASSERT_NE(nullptr, list);
  EXPECT_EQ(90, list->width);
  EXPECT_EQ(30, list->height);
  EXPECT_TRUE(list->fixed_width_font);
  const KeyedTile* text = layout.find("t");
  ASSERT_NE(nullptr, text);
  EXPECT_EQ("v", text->value);
  EXPECT_FALSE(text->fixed_width_font);
  EXPECT_EQ(nullptr, layout.find("x"));
}

// A file whose definitions refer to each other many times over is rejected in bounded time.
TEST(DclReader, BoundsExpansion) {
  std::string text;
  for (int i = 0; i < 30; ++i) {
    text += "l" + std::to_string(i) + " : row { l" + std::to_string(i + 1) + "; l" +
            std::to_string(i + 1) + "; }\n";
  }
  text += "l30 : row { spacer; }\nd : dialog { l0; }\n";
  DclFile f;
  std::string err;
  ASSERT_TRUE(parse_dcl(text, "t.dcl", &f, &err)) << err;
  DialogLayout layout;
  EXPECT_FALSE(collect_dialog(f, "d", &layout, &err));
  EXPECT_NE(std::string::npos, err.find("dialog has too many tiles")) << err;
}

}  // namespace
}  // namespace standin::dcl
