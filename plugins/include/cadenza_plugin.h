/*
 * The plug-in contract between Cadenza and its plug-in libraries.
 *
 * A plug-in is a shared library (*.so) in the "Plugins" folder beside the
 * program. The host loads it with dlopen(RTLD_NOW | RTLD_LOCAL) and binds the
 * exports below by their exact, undecorated names (extern "C").
 *
 * Rules both sides rely on:
 *  - Texts are NUL-terminated 8-bit strings. The host owns every buffer it
 *    passes; the sizes below include the terminator, so a plug-in writes at
 *    most size - 1 characters.
 *  - A plug-in owns its static state and its last error text.
 *  - All calls come from the host's one user-interface thread, one at a time.
 *
 * Calling order at load: mod_type, mod_ver, mod_name, [mod_author],
 * [mod_comment], mod_init. Before each pulse repetition of a modulation
 * module: mod_setparam with the nine keys in the order of CZ_KEY_* below,
 * then mod_getconf rows 0.. until it returns 0, then mod_setconf per row,
 * then mod_engine (or mod_engine_2) once per sample. At exit: mod_shutdown.
 */
#ifndef CADENZA_PLUGIN_H
#define CADENZA_PLUGIN_H

#ifdef __cplusplus
extern "C" {
#endif

#if defined(__GNUC__)
#define CZ_PLUGIN_EXPORT __attribute__((visibility("default")))
#else
#define CZ_PLUGIN_EXPORT
#endif

/* Host buffer sizes in bytes, terminator included. */
enum {
  CZ_MOD_TEXT_SIZE = 1024,     /* mod_type, mod_ver, mod_name, mod_author */
  CZ_MOD_COMMENT_SIZE = 4096,  /* mod_comment */
  CZ_MOD_ERROR_SIZE = 1024,    /* mod_error */
  CZ_CONF_TYPE_SIZE = 256,     /* mod_getconf type */
  CZ_CONF_LABEL_SIZE = 256,    /* mod_getconf label */
  CZ_CONF_VALUE_SIZE = 1024,   /* mod_getconf dflt, min, max */
  CZ_CONF_MAX_ROWS = 255,      /* rows the host reads at most */
  CZ_CONF_KEEP_CHARS = 63,     /* label and STR default characters the host keeps */
  CZ_MBITS_MAX = 10001,        /* data bits in "mbits" at most (the host's bit stream) */
  CZ_MBITS_SIZE = CZ_MBITS_MAX + 1,
  CZ_MAX_MODULES = 32
};

/* The nine mod_setparam keys of a modulation module, in calling order. */
#define CZ_KEY_TRISE "trise"       /* int*: rise time in samples */
#define CZ_KEY_TON "ton"           /* int*: on time (flat top) in samples */
#define CZ_KEY_TFALL "tfall"       /* int*: fall time in samples */
#define CZ_KEY_SRATE "srate"       /* double*: sample rate, samples per second */
#define CZ_KEY_LEVON "levon"       /* double*: on level as stored in the pulse */
#define CZ_KEY_LEVOFF "levoff"     /* double*: off level */
#define CZ_KEY_LEVDROOP "levdroop" /* double*: droop */
#define CZ_KEY_MBITS "mbits"       /* char*: data bits as '0'/'1' text, at most CZ_MBITS_MAX characters */
#define CZ_KEY_DONE "done"         /* null pointer: end of the parameter set */

/* mod_getconf row types (exact, case-sensitive). */
#define CZ_CONF_DBL "DBL"   /* dflt/min/max are double */
#define CZ_CONF_DBL6 "DBL6" /* as DBL, shown with six decimals */
#define CZ_CONF_INT "INT"   /* dflt/min/max are int */
#define CZ_CONF_BOOL "BOOL" /* dflt is int; min/max not read */
#define CZ_CONF_STR "STR"   /* dflt is text; min/max not read */

/* Module type words; the loader accepts a type text containing one of them. */
#define CZ_TYPE_MODULATION "modulation"
#define CZ_TYPE_JITTER "jitter"
#define CZ_TYPE_FILTER "filter"
#define CZ_TYPE_REPORT "report"

/* Entry point types, as the host binds them. Results marked "ignored" are
 * returned by the plug-ins but not read by the host. */
typedef int (*mod_text_fn)(char* text);                       /* result ignored */
typedef int (*mod_init_fn)(void);                             /* non-zero = ready */
typedef void (*mod_shutdown_fn)(void);
typedef void (*mod_error_fn)(char* text);                     /* copies the last error */
typedef int (*mod_setparam_fn)(const char* key, void* value); /* result ignored */
/* mod_engine / mod_engine_2: *amplitude is a factor of the pulse's level,
 * finite and at most 1.0 in magnitude (the host presets 1.0); *phase is in
 * radians and must stay finite. The host stops the pulse on any other value. */
typedef int (*mod_engine_fn)(double* amplitude, double* phase, int sample);
typedef int (*mod_engine_2_fn)(unsigned char* marker, double* amplitude, double* phase, int sample);
typedef int (*mod_getconf_fn)(int row, char* type, char* label, void* dflt, void* min, void* max);
typedef int (*mod_setconf_fn)(int row, void* value);          /* result ignored */
typedef int (*mod_setvalue_fn)(const char* tag, const void* value);

/* The exports, as a plug-in defines them. A plug-in defines the ones it
 * needs; the declarations give the definitions default visibility even
 * though plug-ins are built with -fvisibility=hidden. */
CZ_PLUGIN_EXPORT int mod_type(char* text);
CZ_PLUGIN_EXPORT int mod_ver(char* text);
CZ_PLUGIN_EXPORT int mod_name(char* text);
CZ_PLUGIN_EXPORT int mod_author(char* text);
CZ_PLUGIN_EXPORT int mod_comment(char* text);
CZ_PLUGIN_EXPORT int mod_init(void);
CZ_PLUGIN_EXPORT void mod_shutdown(void);
CZ_PLUGIN_EXPORT void mod_error(char* text);
CZ_PLUGIN_EXPORT int mod_setparam(const char* key, void* value);
CZ_PLUGIN_EXPORT int mod_engine(double* amplitude, double* phase, int sample);
CZ_PLUGIN_EXPORT int mod_engine_2(unsigned char* marker, double* amplitude, double* phase, int sample);
CZ_PLUGIN_EXPORT int mod_getconf(int row, char* type, char* label, void* dflt, void* min, void* max);
CZ_PLUGIN_EXPORT int mod_setconf(int row, void* value);
CZ_PLUGIN_EXPORT int mod_setvalue(const char* tag, const void* value);

#ifdef __cplusplus
}
#endif

#endif /* CADENZA_PLUGIN_H */
