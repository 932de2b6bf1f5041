// The application's side of the link with the host: start-up, the request loop and the
// three operations on the function table.
#ifndef QV_APP_REQUEST_LOOP_H
#define QV_APP_REQUEST_LOOP_H

namespace qv {

// Defines every function of the table in order, printing ".." after each. SDS_NORMAL, or
// SDS_ERROR as soon as a definition fails (the later names stay undefined).
int register_functions();
// Undefines every function of the table. SDS_NORMAL.
int unregister_functions();
// Runs the handler of the function the host invoked: 1 when it succeeded, 3 when it
// failed, SDS_ERROR for a function code outside the table. No exception escapes: a
// handler that throws (out of memory) is reported to the host as a failure.
int invoke_function();
// Deletes the scratch files "tmp.$$$" and "$work.lsp" of the current directory; absent
// files are passed over in silence.
void delete_scratch_files();

// Acts on one request code and returns the link status for the next sds_link:
// SDS_LINK_FAILED after a failed definition or invocation, SDS_LINK_OK otherwise.
int handle_request(int code);

// Start-up and the request loop: never returns while the host keeps the link. Exceptions
// thrown by the host's own functions pass through.
void run_application();

}  // namespace qv

#endif  // QV_APP_REQUEST_LOOP_H
