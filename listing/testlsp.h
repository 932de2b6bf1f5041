// The handler of the LISP functions testlsp and c:testlsp.
#ifndef QV_LISTING_TESTLSP_H
#define QV_LISTING_TESTLSP_H

namespace qv {

int testlsp();

}  // namespace qv

#endif  // QV_LISTING_TESTLSP_H
