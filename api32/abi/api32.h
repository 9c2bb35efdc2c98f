/* api32.h - the per-class entry points of libapi32.so, for any host in C or any language with a C FFI.
 *
 * Each class of the library has an entry point getVtableInfo_<class>() that returns a static description of
 * the class (its name, ancestor, constants, public instance variables and functions in their declared order)
 * together with the operations that drive it: create (runs the constructor), destroy (runs the destructor),
 * trigger (an event by name), invoke (a function by index), and reading and writing instance variables.
 *
 * Values cross the boundary as tagged api32_value records. The host owns the values it passes; every value
 * the library hands back (a result, the by-reference arguments written back, a variable read) is one
 * api32_result that the host frees with api32_release(). Nothing else is ever freed by the host.
 * The layout is versioned: a host checks abi_version == API32_ABI_VERSION before it reads anything else.
 */
#ifndef API32_ABI_API32_H
#define API32_ABI_API32_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define API32_ABI_VERSION 1u

#if defined(__GNUC__)
#define API32_EXPORT __attribute__((visibility("default")))
#else
#define API32_EXPORT
#endif

/* The value types of the classes. */
typedef enum api32_type {
  API32_NONE = 0,          /* no value (the result of a function without one) */
  API32_INTEGER = 1,       /* 16-bit signed, in i */
  API32_UINT = 2,          /* 16-bit unsigned, in i */
  API32_LONG = 3,          /* 32-bit signed, in i */
  API32_ULONG = 4,         /* 32-bit unsigned, in i */
  API32_BOOLEAN = 5,       /* 0 or 1, in i */
  API32_DECIMAL = 6,       /* exact decimal as text ("2.5"), in text */
  API32_DOUBLE = 7,        /* in d */
  API32_CHAR = 8,          /* one byte, in i */
  API32_STRING = 9,        /* UTF-8 text, in text (length in size) */
  API32_BLOB = 10,         /* bytes, in bytes/size */
  API32_DATE = 11,         /* "yyyy-mm-dd", in text */
  API32_TIME = 12,         /* "hh:mm:ss[.ffffff]", in text */
  API32_DATETIME = 13,     /* "yyyy-mm-dd hh:mm:ss", in text */
  API32_STRING_ARRAY = 14, /* items[count], each API32_STRING */
  API32_CHAR_ARRAY = 15,   /* bytes/size, one byte per element */
  API32_RECORD = 16,       /* items[count] in the record's field order, each with its field name in name */
  API32_OBJECT = 17        /* an object reference in object; type_name says its class ("datastore", ...) */
} api32_type;

typedef struct api32_value {
  int32_t type;    /* api32_type */
  int32_t is_null; /* 1: the null value of its type */
  int64_t i;
  double d;
  const char* text;
  const uint8_t* bytes;
  size_t size; /* length of text in bytes, of bytes, of a char array */
  const struct api32_value* items;
  size_t count;
  void* object;
  const char* name;      /* field name inside a record */
  const char* type_name; /* record or class name */
} api32_value;

typedef struct api32_param {
  const char* name;
  int32_t type;          /* api32_type */
  int32_t by_ref;        /* 1: written back after the call */
  const char* type_name; /* record or class name for API32_RECORD / API32_OBJECT */
} api32_param;

typedef struct api32_function {
  const char* name;
  int32_t result_type;
  const char* result_type_name;
  int32_t param_count;
  const api32_param* params;
} api32_function;

typedef struct api32_constant {
  const char* name;
  int32_t type;
  const char* value; /* the value in text form */
} api32_constant;

typedef struct api32_variable {
  const char* name;
  int32_t type;
  const char* type_name;
  int32_t writable;
} api32_variable;

/* What the library hands back: the result, then the by-reference arguments in parameter order (only those),
 * or a variable's value. error is NULL on success, else a one-line message (and status is negative). No call lets an
 * exception through: anything that goes wrong inside the library is API32_E_FAILED; a result is NULL only
 * when not even that can be allocated. */
typedef struct api32_result {
  int32_t status; /* 0 success; API32_E_* otherwise */
  const char* error;
  api32_value value;
  size_t out_count;
  const api32_value* out;
} api32_result;

#define API32_OK 0
#define API32_E_ARGUMENTS (-1)   /* wrong number or types of arguments */
#define API32_E_INDEX (-2)       /* no such function, event or variable */
#define API32_E_OBJECT (-3)      /* null or foreign object */
#define API32_E_UNAVAILABLE (-4) /* the class cannot be used here (desktop module or display missing) */
#define API32_E_FAILED (-5)      /* the operation failed inside the library */

typedef struct api32_vtable_info {
  uint32_t abi_version; /* API32_ABI_VERSION */
  const char* class_name;
  const char* ancestor;
  int32_t constant_count;
  const api32_constant* constants;
  int32_t variable_count;
  const api32_variable* variables;
  int32_t function_count;
  const api32_function* functions;
  /* Creates an object and runs its constructor; NULL when the class is unavailable (see api32_last_error). */
  void* (*create)(void);
  /* Runs the destructor and frees the object; an object already destroyed (or foreign) is ignored. */
  void (*destroy)(void* object);
  /* Runs an event: "constructor", "destructor", a window's "open" with its opening text in arg (may be NULL),
   * a menu item's "clicked". One rule for "constructor" in every class: the object starts over in place as its
   * constructor leaves a new object (instance variables as at creation; what the object held released as its
   * destructor releases it, so a tray icon shown stays shown, as on destroy; what it makes made anew, so the
   * tray's imenu and its m_test read before are no longer valid objects); the pointer the host holds stays
   * valid, a window keeps its handle and is closed with its first title, a menu stays the menu of the icons
   * that show it. "destructor" does nothing by itself: destroy runs the destructor. */
  api32_result* (*trigger)(void* object, const char* event, const api32_value* arg);
  /* Calls function function_index (0-based, in the order of functions) with arg_count arguments. */
  api32_result* (*invoke)(void* object, int32_t function_index, const api32_value* args, int32_t arg_count);
  api32_result* (*get_variable)(void* object, const char* name);
  api32_result* (*set_variable)(void* object, const char* name, const api32_value* value);
} api32_vtable_info;

API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_ziplib(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_compression(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_process(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_file(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_devil(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_getopenfilename(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_uo_nv_trayicon(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_trayicon_menu(void);
API32_EXPORT const api32_vtable_info* getVtableInfo_w_download_addon(void);
/* The items of trayicon_menu (m_test): text, enabled and visible, and the clicked event. Items exist only
 * inside their menu: create gives NULL, and a host reaches an item through the menu's variable m_test. */
API32_EXPORT const api32_vtable_info* getVtableInfo_menu_item(void);

/* The description of a class by name (as getVtableInfo_<name> returns it), or NULL for an unknown or
 * unavailable class (see api32_last_error). */
API32_EXPORT const api32_vtable_info* api32_find_class(const char* name);
/* Every class name, NULL-terminated. */
API32_EXPORT const char* const* api32_class_names(void);
/* The library's version text. */
API32_EXPORT const char* api32_version(void);
/* Why the last failed create on this thread failed ("" when none). */
API32_EXPORT const char* api32_last_error(void);
/* Frees a result handed back by the library (NULL is ignored). */
API32_EXPORT void api32_release(api32_result* result);

/* Table objects (the datastore a listing fills). layout_name: "d_zipfiles" or "dw_processes". */
API32_EXPORT void* api32_datastore_create(const char* layout_name);
API32_EXPORT void api32_datastore_destroy(void* datastore);
API32_EXPORT int32_t api32_datastore_rowcount(const void* datastore);
/* The value of a column of a row (1-based) as a result of type API32_STRING (null when unset). */
API32_EXPORT api32_result* api32_datastore_getitem(const void* datastore, int32_t row, const char* column);

/* Host services: "app_path", "app_addon_url", "game_name", "download_folder" (API32_STRING) and "gziplib"
 * (API32_OBJECT made by getVtableInfo_uo_nv_ziplib()->create; destroying that object clears the setting, and
 * archive calls then fail as without a zip library). Returns API32_OK, API32_E_ARGUMENTS, API32_E_OBJECT,
 * API32_E_INDEX (unknown name) or API32_E_FAILED. */
API32_EXPORT int32_t api32_host_set(const char* name, const api32_value* value);

/* Whole-archive extractions (of_cudwdirectory with extraction, on a zip archive): the bytes one may write in
 * all, its entries' declared sizes checked before anything is written and what is written counted (0 = no
 * limit, the default). */
API32_EXPORT void api32_set_extraction_limit(uint64_t bytes);
/* Receives every entry a whole-archive extraction did not write: the archive as the caller named it, the
 * entry's name and the reason ("a symbolic link is in the way (Addon)", "its data overlap another entry's (a
 * zip bomb)", "not enough space: ...", "CRC mismatch", ...), UTF-8 texts valid during the call; `user` is
 * passed back. NULL removes the callback. Called on the thread that runs the extraction. */
typedef void (*api32_skipped_entry_callback)(const char* archive, const char* entry, const char* reason, void* user);
API32_EXPORT void api32_set_extraction_report(api32_skipped_entry_callback callback, void* user);

/* Function services of the host. tr2 (the window titles' translation): the callback writes the translation of
 * `text` into `out` (at most out_size bytes, a NUL after it when there is room) and returns its full length in
 * bytes, or a negative value to leave the text as it is; a result longer than out_size is asked for again with
 * room for it. The download window's reports: kind 0 started, 1 progress, 2 finished, 3 failed; file is the
 * Windows path; error is "" unless kind is 3. A NULL callback puts the default back (tr2 unchanged, nobody
 * listening). Callbacks run on the thread that runs the main loop (api32_pump). */
typedef int64_t (*api32_text_function)(const char* text, char* out, size_t out_size, void* user);
typedef void (*api32_download_callback)(int32_t kind, const char* url, const char* file, uint64_t received,
                                        uint64_t expected, const char* error, void* user);
API32_EXPORT void api32_host_set_tr2(api32_text_function function, void* user);
API32_EXPORT void api32_host_set_download_callback(api32_download_callback callback, void* user);

/* Memory blocks of the library (LocalAlloc and its kin): what a class takes as the 32-bit address of a block,
 * such as the array of image names of uo_nv_devil.ildeleteimages. Every access is checked against the block:
 * a stale or foreign address, or a range outside the block, is refused and nothing is copied. */
API32_EXPORT uint32_t api32_local_alloc(uint32_t flags, size_t bytes); /* the address; 0 when refused */
API32_EXPORT uint32_t api32_local_free(uint32_t block);                /* 0; the address itself when it is no block */
API32_EXPORT size_t api32_local_size(uint32_t block);                  /* 0 when it is no block */
API32_EXPORT int32_t api32_local_write(uint32_t block, size_t offset, const void* data, size_t size); /* 1 or 0 */
API32_EXPORT int32_t api32_local_read(uint32_t block, size_t offset, void* out, size_t size);         /* 1 or 0 */
/* The Win32 error code the last failed call on this thread left. */
API32_EXPORT uint32_t api32_get_last_error(void);

/* Host windows (desktop module). A window made here is an object of type_name "window" that a class takes by
 * reference (uo_nv_trayicon.addtotray's aw_window); the messages sent and posted to it (the tray icon's clicks:
 * message 512 with the mouse message in lparam) go to its callback when it has one, else into its queue
 * (4096 messages at most; later ones are counted as dropped), which the host empties with
 * api32_window_next_message. Posted messages and the tray's bus traffic arrive while the main loop runs:
 * a host without a GTK main loop of its own calls api32_pump regularly. */
typedef struct api32_message {
  uint32_t hwnd;
  uint32_t message;
  uint64_t wparam;
  int64_t lparam;
} api32_message;
typedef void (*api32_message_callback)(void* window, const api32_message* message, void* user);
/* A hidden top-level window with a title; NULL when there is no display (see api32_last_error). */
API32_EXPORT void* api32_window_create(const char* title);
API32_EXPORT void api32_window_destroy(void* window);
/* The window's handle (hwnd), 0 for what is no window of this API. */
API32_EXPORT uint32_t api32_window_handle(const void* window);
/* Sets (or with NULL removes) the callback; messages queued before stay queued. API32_OK or API32_E_OBJECT. */
API32_EXPORT int32_t api32_window_set_callback(void* window, api32_message_callback callback, void* user);
/* Takes the oldest queued message: 1, or 0 when the queue is empty (or window is no window). */
API32_EXPORT int32_t api32_window_next_message(void* window, api32_message* out);
/* Messages that did not fit in the queue since the window was made. */
API32_EXPORT uint64_t api32_window_dropped(const void* window);
/* Sends a message to the window of hwnd now (SendMessage), or queues it for the main loop (PostMessage):
 * 1, or 0 when hwnd is no window. */
API32_EXPORT int32_t api32_send_message(uint32_t hwnd, uint32_t message, uint64_t wparam, int64_t lparam);
API32_EXPORT int32_t api32_post_message(uint32_t hwnd, uint32_t message, uint64_t wparam, int64_t lparam);
/* Runs the main loop for about `milliseconds` (0: what is ready now); the number of events handled, or -1
 * when there is no display. */
API32_EXPORT int32_t api32_pump(int32_t milliseconds);

/* Events of an object that the host hears: the callback runs whenever `event` of `object` runs, from the
 * library (a menu item chosen in the popup or on a panel: "clicked") or from trigger. type_name is the
 * object's class ("menu_item"). NULL removes it. API32_OK, API32_E_OBJECT or API32_E_INDEX. */
typedef void (*api32_event_callback)(void* object, const char* event, void* user);
API32_EXPORT int32_t api32_set_event_callback(void* object, const char* type_name, const char* event,
                                              api32_event_callback callback, void* user);

/* An entry point of the desktop module by name (the reference host's desktop commands use it), loading the
 * module on first use; NULL when the module or the name is missing (the reason in api32_last_error). */
API32_EXPORT void* api32_desktop_symbol(const char* name);

#ifdef __cplusplus
}
#endif

#endif /* API32_ABI_API32_H */
