// The handler of the LISP functions testlsp and c:testlsp: (testlsp "path") lists that
// file in the depth listing dialog; (testlsp) asks for the file in the host's file dialog,
// offering the last choice, which is kept in the LISP symbol "::Current_filename".
#ifndef QV_LISTING_TESTLSP_H
#define QV_LISTING_TESTLSP_H

namespace qv {

// Failure message for arguments other than one string (the wording is the users').
extern const char kInvalidArgument[];

// 1 after the listing was shown or when the user chose no file; 0 after reporting a
// failure through sds_fail.
int testlsp();

}  // namespace qv

#endif  // QV_LISTING_TESTLSP_H
