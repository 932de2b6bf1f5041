// Reader of dialog description files (DCL): the structure of the file as a tree.
//
// A file is a sequence of definitions `name : type { body }`. A body holds attributes
// `name = value;`, tiles `: type { body }` (optionally named: `name : type { body }`) and
// references `name;` to a predefined tile or to a definition of the same file. Comments are
// `// ...` and `/* ... */`. Values are strings ("..." with \" \\ \n \t \r escapes), numbers
// and identifiers (true, false, left, ...). `@include` is rejected.
//
// The reader never fails by crashing: every malformed input gives one error message of the
// form "<file>:<line>: <text>", and nesting deeper than kMaxDepth is an error.
#ifndef QV_STANDIN_DCL_DCL_READER_H
#define QV_STANDIN_DCL_DCL_READER_H

#include <string>
#include <string_view>
#include <vector>

namespace standin::dcl {

// The deepest nesting of tile bodies that the reader and the key collection accept.
constexpr int kMaxDepth = 64;

enum class ValueKind { kString, kNumber, kIdentifier };

struct Attribute {
  std::string name;   // attribute name, e.g. "key"
  ValueKind kind;     // how the value was written
  std::string value;  // decoded string, or the number / identifier as written
  int line;           // line of the attribute name
};

struct Tile {
  std::string name;                   // definition or tile name; empty for an anonymous tile
  std::string type;                   // tile type, or the referenced name for a reference
  bool reference;                     // written as `name;`: type holds the name
  int line;                           // line where the tile starts
  std::vector<Attribute> attributes;  // in file order
  std::vector<Tile> children;         // in file order

  // The value of attribute `attr_name` (the last one if repeated), or null.
  const Attribute* find(std::string_view attr_name) const;
};

struct DclFile {
  std::string name;               // file name used in messages
  std::vector<Tile> definitions;  // top-level definitions in file order

  // The first definition called `def_name`, or null.
  const Tile* find(std::string_view def_name) const;
};

// Parses `text` read from a file named `file_name` into `*out`. Returns false and sets
// `*err` to "<file_name>:<line>: <message>" on malformed input; `*out` is then unspecified.
bool parse_dcl(std::string_view text, const std::string& file_name, DclFile* out, std::string* err);

// A tile of a dialog that has a key.
struct KeyedTile {
  std::string key;        // the key attribute
  std::string type;       // the predefined tile type it resolves to, e.g. "list_box"
  std::string label;      // its label attribute, or empty
  std::string value;      // its value attribute, or empty
  int width;              // its width attribute rounded down, or 0
  int height;             // its height attribute rounded down, or 0
  bool fixed_width_font;  // fixed_width_font = true
};

// The dialog `dialog_name` of `file` resolved: its label and its keyed tiles in file order.
struct DialogLayout {
  std::string name;
  std::string label;
  std::vector<KeyedTile> tiles;

  // The tile keyed `key`, or null.
  const KeyedTile* find(std::string_view key) const;
};

// Finds the definition `dialog_name` of type dialog (directly or through definitions of
// the file it derives from) and collects its keyed tiles, following references and tile
// types that name definitions of the same file. Predefined button rows such as ok_only and
// ok_cancel contribute their standard keys ("accept", "cancel", ...). Returns false with
// `*err` set ("<file>:<line>: <message>" where a line is known) when there is no such
// dialog, a tile type or reference is unknown, a key is repeated, or references nest
// deeper than kMaxDepth (this includes cycles).
bool collect_dialog(const DclFile& file, const std::string& dialog_name, DialogLayout* out,
                    std::string* err);

// True if `name` is a tile type or tile the dialog language predefines.
bool is_predefined_tile(std::string_view name);

}  // namespace standin::dcl

#endif  // QV_STANDIN_DCL_DCL_READER_H
