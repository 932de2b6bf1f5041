// LISP values of the stand-in host and their result-buffer form.
//
// A Value is what the stand-in keeps in its symbol table, parses from console input and
// hands to the application as an argument list. The result-buffer form is the host's linked
// list of sds_resbuf nodes; the extra type codes below complete the two that host/sds.h
// names (SDS_TYPE_SHORT, SDS_TYPE_STRING).
#ifndef QV_STANDIN_HOST_VALUE_H
#define QV_STANDIN_HOST_VALUE_H

#include <cstdint>
#include <string>
#include <vector>

#include "host/sds.h"

namespace standin {

// Result-buffer type codes beyond host/sds.h.
enum : short {
  kTypeReal = 5001,       // double, stored in value.room[0]
  kTypeShort = 5003,      // 16-bit integer, value.integer (SDS_TYPE_SHORT)
  kTypeString = 5005,     // string, value.string (SDS_TYPE_STRING)
  kTypeListBegin = 5016,  // opens a nested list; no value
  kTypeListEnd = 5017,    // closes it; no value
  kTypeNil = 5019,        // nil; no value
  kTypeT = 5021,          // T; no value
  kTypeSymbol = 5027,     // symbol name, value.string
  kTypeLong = 5071        // 32-bit integer, stored in the first 4 bytes of value.room
};

// One LISP value. Integers are 32-bit as in the CAD host's LISP.
struct Value {
  enum class Kind { kNil, kT, kInt, kReal, kString, kSymbol, kList };

  Kind kind = Kind::kNil;
  std::int32_t integer = 0;  // kInt
  double real = 0;           // kReal
  std::string text;          // kString: the characters; kSymbol: the name as written
  std::vector<Value> items;  // kList: the elements; never empty (an empty list is nil)

  static Value nil() { return Value{}; }
  static Value t();
  static Value make_int(std::int32_t v);
  static Value make_real(double v);
  static Value make_string(std::string s);
  static Value make_symbol(std::string name);
  // A list of the items; nil when there are none.
  static Value make_list(std::vector<Value> items);

  bool is_nil() const { return kind == Kind::kNil; }
  // Equal kind and content; symbol names compare without regard to ASCII case.
  bool operator==(const Value &other) const;
  bool operator!=(const Value &other) const { return !(*this == other); }
};

// The printed form of a value as the LISP command line shows it: nil, T, 42, 1.5, "a\"b",
// sym, (1 "x" (2)). Strings are quoted with the escapes \" \\ \n \t \r \e and \nnn octal for
// other control characters.
std::string to_lisp(const Value &value);

// Quotes text the way to_lisp prints a string; used for trace lines as well.
std::string quote(const std::string &text);

// ASCII lower case of text.
std::string fold_case(const std::string &text);

// Builds a new result-buffer list holding the values in order, each value as one node or,
// for a list, as list begin, its items, list end. Integers that fit 16 bits become 5003,
// others 5071. Every node and string is allocated with new and must be freed with
// free_resbuf_list. Returns null for an empty vector.
sds_resbuf *to_resbuf_list(const std::vector<Value> &values);

// Frees a list made by to_resbuf_list (all nodes from head on, with their strings).
void free_resbuf_list(sds_resbuf *head);

// Reads the values of a result-buffer list (nested lists from 5016/5017). On a node of
// unknown type, an unbalanced list end, a missing list end or a list longer than max_nodes
// returns false and sets *error to a one-line description; *values then holds what was read.
bool from_resbuf_list(const sds_resbuf *head, std::vector<Value> *values, std::string *error,
                      std::size_t max_nodes = 1000000);

}  // namespace standin

#endif  // QV_STANDIN_HOST_VALUE_H
