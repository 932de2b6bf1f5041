// LISP values of the stand-in host and their result-buffer form.
#include "standin/host/value.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <utility>

namespace standin {

Value Value::t() {
  Value v;
  v.kind = Kind::kT;
  return v;
}

Value Value::make_int(std::int32_t n) {
  Value v;
  v.kind = Kind::kInt;
  v.integer = n;
  return v;
}

Value Value::make_real(double d) {
  Value v;
  v.kind = Kind::kReal;
  v.real = d;
  return v;
}

Value Value::make_string(std::string s) {
  Value v;
  v.kind = Kind::kString;
  v.text = std::move(s);
  return v;
}

Value Value::make_symbol(std::string name) {
  Value v;
  v.kind = Kind::kSymbol;
  v.text = std::move(name);
  return v;
}

Value Value::make_list(std::vector<Value> items) {
  Value v;
  if (items.empty()) return v;
  v.kind = Kind::kList;
  v.items = std::move(items);
  return v;
}

std::string fold_case(const std::string &text) {
  std::string out = text;
  for (char &c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

bool Value::operator==(const Value &other) const {
  if (kind != other.kind) return false;
  switch (kind) {
    case Kind::kNil:
    case Kind::kT:
      return true;
    case Kind::kInt:
      return integer == other.integer;
    case Kind::kReal:
      return real == other.real;
    case Kind::kString:
      return text == other.text;
    case Kind::kSymbol:
      return fold_case(text) == fold_case(other.text);
    case Kind::kList:
      return items == other.items;
  }
  return false;
}

std::string quote(const std::string &text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\x1b':
        out += "\\e";
        break;
      default: {
        auto u = static_cast<unsigned char>(c);
        if (u < 32 || u == 127) {
          char buf[8];
          std::snprintf(buf, sizeof buf, "\\%03o", u);
          out += buf;
        } else {
          out += c;
        }
      }
    }
  }
  out += '"';
  return out;
}

namespace {

// A real as the LISP command line prints it: up to six significant digits, always with a
// decimal point or exponent so that it reads back as a real.
std::string real_text(double d) {
  if (std::isnan(d)) return "NaN";
  if (std::isinf(d)) return d < 0 ? "-1.#INF" : "1.#INF";
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.6g", d);
  std::string s = buf;
  if (s.find_first_of(".eE") == std::string::npos) s += ".0";
  return s;
}

void print(const Value &value, std::string *out) {
  switch (value.kind) {
    case Value::Kind::kNil:
      *out += "nil";
      break;
    case Value::Kind::kT:
      *out += "T";
      break;
    case Value::Kind::kInt:
      *out += std::to_string(value.integer);
      break;
    case Value::Kind::kReal:
      *out += real_text(value.real);
      break;
    case Value::Kind::kString:
      *out += quote(value.text);
      break;
    case Value::Kind::kSymbol:
      *out += value.text;
      break;
    case Value::Kind::kList:
      *out += '(';
      for (std::size_t i = 0; i < value.items.size(); ++i) {
        if (i > 0) *out += ' ';
        print(value.items[i], out);
      }
      *out += ')';
      break;
  }
}

char *copy_string(const std::string &s) {
  char *p = new char[s.size() + 1];
  std::memcpy(p, s.c_str(), s.size() + 1);
  return p;
}

sds_resbuf *new_node(short type) {
  auto *node = new sds_resbuf{};
  node->type = type;
  return node;
}

// Appends the nodes of value at *tail and moves *tail to the last node's next field.
void append(const Value &value, sds_resbuf ***tail) {
  sds_resbuf *node = nullptr;
  switch (value.kind) {
    case Value::Kind::kNil:
      node = new_node(kTypeNil);
      break;
    case Value::Kind::kT:
      node = new_node(kTypeT);
      break;
    case Value::Kind::kInt:
      if (value.integer >= std::numeric_limits<short>::min() &&
          value.integer <= std::numeric_limits<short>::max()) {
        node = new_node(kTypeShort);
        node->value.integer = static_cast<short>(value.integer);
      } else {
        node = new_node(kTypeLong);
        std::memcpy(node->value.room, &value.integer, sizeof value.integer);
      }
      break;
    case Value::Kind::kReal:
      node = new_node(kTypeReal);
      node->value.room[0] = value.real;
      break;
    case Value::Kind::kString:
      node = new_node(kTypeString);
      node->value.string = copy_string(value.text);
      break;
    case Value::Kind::kSymbol:
      node = new_node(kTypeSymbol);
      node->value.string = copy_string(value.text);
      break;
    case Value::Kind::kList:
      **tail = new_node(kTypeListBegin);
      *tail = &(**tail)->next;
      for (const Value &item : value.items) append(item, tail);
      node = new_node(kTypeListEnd);
      break;
  }
  **tail = node;
  *tail = &node->next;
}

}  // namespace

std::string to_lisp(const Value &value) {
  std::string out;
  print(value, &out);
  return out;
}

sds_resbuf *to_resbuf_list(const std::vector<Value> &values) {
  sds_resbuf *head = nullptr;
  sds_resbuf **tail = &head;
  for (const Value &v : values) append(v, &tail);
  return head;
}

void free_resbuf_list(sds_resbuf *head) {
  while (head != nullptr) {
    sds_resbuf *next = head->next;
    if (head->type == kTypeString || head->type == kTypeSymbol) delete[] head->value.string;
    delete head;
    head = next;
  }
}

bool from_resbuf_list(const sds_resbuf *head, std::vector<Value> *values, std::string *error,
                      std::size_t max_nodes) {
  // Open lists being filled; the outermost level is values itself.
  std::vector<std::vector<Value>> open;
  auto add = [&](Value v) {
    if (open.empty()) {
      values->push_back(std::move(v));
    } else {
      open.back().push_back(std::move(v));
    }
  };
  std::size_t count = 0;
  for (const sds_resbuf *node = head; node != nullptr; node = node->next) {
    if (++count > max_nodes) {
      *error = "list longer than " + std::to_string(max_nodes) + " nodes";
      return false;
    }
    switch (node->type) {
      case kTypeShort:
        add(Value::make_int(node->value.integer));
        break;
      case kTypeLong: {
        std::int32_t n;
        std::memcpy(&n, node->value.room, sizeof n);
        add(Value::make_int(n));
        break;
      }
      case kTypeReal:
        add(Value::make_real(node->value.room[0]));
        break;
      case kTypeString:
      case kTypeSymbol:
        if (node->value.string == nullptr) {
          *error = "null string in a node of type " + std::to_string(node->type);
          return false;
        }
        add(node->type == kTypeString ? Value::make_string(node->value.string)
                                      : Value::make_symbol(node->value.string));
        break;
      case kTypeNil:
        add(Value::nil());
        break;
      case kTypeT:
        add(Value::t());
        break;
      case kTypeListBegin:
        open.emplace_back();
        break;
      case kTypeListEnd: {
        if (open.empty()) {
          *error = "list end without list begin";
          return false;
        }
        std::vector<Value> items = std::move(open.back());
        open.pop_back();
        add(Value::make_list(std::move(items)));
        break;
      }
      default:
        *error = "unknown type code " + std::to_string(node->type);
        return false;
    }
  }
  if (!open.empty()) {
    *error = "list begin without list end";
    return false;
  }
  return true;
}

}  // namespace standin
