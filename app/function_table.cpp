#include "app/function_table.h"

#include "instrument/qvload.h"
#include "listing/testlsp.h"

namespace qv {

const Function kFunctions[] = {
    {"qvload", qvload},
    {"c:testlsp", testlsp},
    {"testlsp", testlsp},
};

const std::size_t kFunctionCount = sizeof kFunctions / sizeof kFunctions[0];

}  // namespace qv
