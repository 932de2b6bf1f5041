// The CAD host's application interface, as this application binds it.
//
// The host ("icad.exe") exports the sds_ functions, its dialog library ("DCL.dll") the dlg_
// functions. The application calls them and exports SDS_EntryPoint alone. Only the binary
// layout of the structures and the signatures below are binding: every program that hosts
// the application (the CAD program, the project's stand-in) provides exactly these.
#ifndef QV_HOST_SDS_H
#define QV_HOST_SDS_H

#ifdef __cplusplus
extern "C" {
#endif

// A node of a LISP value list. The host writes whole nodes into buffers that the caller
// owns (the file dialog's result), so the value union has the size of the host's largest
// value, a 3D point.
struct sds_resbuf {
  struct sds_resbuf *next;  // next node, null at the end of the list
  short type;               // one of the SDS_TYPE_ codes below; other codes exist
  union {
    double room[3];  // sets the node's size; never read by the application
    char *string;    // SDS_TYPE_STRING
    short integer;   // SDS_TYPE_SHORT
  } value;
};

// Status codes returned by the host and by the application's table operations.
enum {
  SDS_NORMAL = 5100,  // normal completion
  SDS_ERROR = -5001   // general error
};

// Value type codes of a result buffer node.
enum {
  SDS_TYPE_SHORT = 5003,  // 16-bit integer
  SDS_TYPE_STRING = 5005  // zero-terminated string
};

// Link status passed to sds_link: how the last request went.
enum {
  SDS_LINK_OK = 1,     // the last request succeeded
  SDS_LINK_FAILED = 3  // the last request failed
};

// Request codes returned by sds_link.
enum {
  SDS_REQ_END = 16,      // the host is done with the drawing: scratch files go
  SDS_REQ_LOAD = 100,    // define the application's LISP functions
  SDS_REQ_UNLOAD = 101,  // undefine them: the application is being unloaded
  SDS_REQ_INVOKE = 102   // one of the application's LISP functions was called
};

// Functions the host exports.
void SDS_GetGlobals(char *appname /* 512 chars */, void **handle1, void **handle2);
int sds_init(int argc, char *argv[]);
int sds_link(int status);  // next request; the low 16 bits, signed, are the code
void sds_exit(int status);
int sds_printf(const char *format, ...);
int sds_defun(const char *name, short code);  // 0 on failure
int sds_undef(const char *name, short code);
int sds_getfuncode(void);
struct sds_resbuf *sds_getargs(void);  // the host's: never released by the application
int sds_fail(const char *message);
int sds_retvoid(void);
int sds_getsym(const char *name, struct sds_resbuf **value);  // *value may be null
int sds_putsym(const char *name, struct sds_resbuf *value);   // the list stays the caller's
struct sds_resbuf *sds_buildlist(int type, ...);              // (SDS_TYPE_SHORT, value, 0)
int sds_relrb(struct sds_resbuf *list);
int sds_getfiled(const char *title, const char *default_path /* or null */, const char *extension,
                 int flags, struct sds_resbuf *result);

// The dialog library's handles and callback.
typedef void *sds_hdlg;
typedef void *sds_htile;

struct sds_callback_packet {
  sds_hdlg dialog;  // the dialog the tile belongs to
  sds_htile tile;
  char *value;
  void *client_data;
  int reason;
};
typedef void (*sds_callback)(struct sds_callback_packet *packet);

// Functions the dialog library exports; each returns SDS_NORMAL on success.
int dlg_load_dialog(const char *file, int *id);
int dlg_new_dialog(const char *name, int id, sds_callback default_action /* or null */,
                   sds_hdlg *dialog);
int dlg_action_tile(sds_hdlg dialog, const char *key, sds_callback action);
int dlg_set_tile(sds_hdlg dialog, const char *key, const char *value);
int dlg_start_list(sds_hdlg dialog, const char *key, int operation, int index);
int dlg_add_list(const char *item);
int dlg_end_list(void);
int dlg_start_dialog(sds_hdlg dialog, int *status);
int dlg_done_dialog(sds_hdlg dialog, int status);

#ifdef __cplusplus
}  // extern "C"

static_assert(sizeof(void *) != 8 || sizeof(sds_resbuf) == 40, "result buffer layout");
static_assert(sizeof(void *) != 8 || __builtin_offsetof(sds_resbuf, value) == 16,
              "value union at offset 16");
#endif

#endif  // QV_HOST_SDS_H
