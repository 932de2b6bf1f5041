// The application's external LISP functions. The position of an entry is its function
// code: the host defines the name under that code and names the function by it when the
// function is called.
#ifndef QV_APP_FUNCTION_TABLE_H
#define QV_APP_FUNCTION_TABLE_H

#include <cstddef>

namespace qv {

// A handler takes no arguments (it fetches them from the host) and returns 1 when it did
// its work; anything else means it failed and has reported the failure with sds_fail.
using Handler = int (*)();

struct Function {
  const char *name;  // LISP name, as defined in the host
  Handler handler;
};

extern const Function kFunctions[];
extern const std::size_t kFunctionCount;

}  // namespace qv

#endif  // QV_APP_FUNCTION_TABLE_H
