/*
 * A configurable plug-in for the loader tests. Each build of this file
 * (see tests/app/CMakeLists.txt) turns one contract feature on or off:
 *
 *   TP_TAG           journal tag of this build (its file name)
 *   TP_TYPE          text written by mod_type; TP_NO_TYPE leaves mod_type out
 *   TP_NAME          text written by mod_name; TP_EMPTY_NAME writes nothing,
 *                    TP_NAME_FROM_FILE uses the library's own file name
 *   TP_INIT_RESULT   result of mod_init (default 1)
 *   TP_NO_ERROR      leaves mod_error out
 *   TP_BOTH_ENGINES  exports mod_engine_2 beside mod_engine
 *   TP_REPORT        exports mod_setvalue (report modules)
 *   TP_STRICT_KEYS   with TP_REPORT: mod_setvalue refuses every tag outside
 *                    the documented report protocol, and journals the
 *                    tags it is given
 *   TP_COMMENT       exports mod_author and a mod_comment whose text holds a
 *                    tab, "~", bytes above 127 and line breaks
 *
 * Every call is appended as "<tag> <call>" to the file named by the
 * environment variable CADENZA_PLUGIN_JOURNAL.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "cadenza_plugin.h"

#ifndef TP_INIT_RESULT
#define TP_INIT_RESULT 1
#endif

static void journal(const char* call) {
  const char* path = getenv("CADENZA_PLUGIN_JOURNAL");
  if (path == NULL || path[0] == '\0') return;
  FILE* f = fopen(path, "a");
  if (f == NULL) return;
  fprintf(f, "%s %s\n", TP_TAG, call);
  fclose(f);
}

#ifndef TP_NO_TYPE
int mod_type(char* text) {
  journal("mod_type");
  strcpy(text, TP_TYPE);
  return 1;
}
#endif

int mod_ver(char* text) {
  journal("mod_ver");
  strcpy(text, "1.0");
  return 1;
}

int mod_name(char* text) {
  journal("mod_name");
#if defined(TP_EMPTY_NAME)
  (void)text;
#elif defined(TP_NAME_FROM_FILE)
  Dl_info info;
  const char* base = "unknown";
  if (dladdr((void*)&mod_name, &info) != 0 && info.dli_fname != NULL) {
    base = strrchr(info.dli_fname, '/');
    base = base ? base + 1 : info.dli_fname;
  }
  snprintf(text, CZ_MOD_TEXT_SIZE, "%s", base);
#else
  strcpy(text, TP_NAME);
#endif
  return 1;
}

#ifdef TP_COMMENT
int mod_author(char* text) {
  journal("mod_author");
  strcpy(text, "Test Author");
  return 1;
}

int mod_comment(char* text) {
  journal("mod_comment");
  strcpy(text, "Line one\tand~tilde \xC3\xA9\x7F\nLine two\r\n");
  return 1;
}
#endif

int mod_init(void) {
  journal("mod_init");
  return TP_INIT_RESULT;
}

void mod_shutdown(void) { journal("mod_shutdown"); }

#ifndef TP_NO_ERROR
void mod_error(char* text) {
  journal("mod_error");
  strcpy(text, "test error");
}
#endif

int mod_setparam(const char* key, void* value) {
  (void)key;
  (void)value;
  journal("mod_setparam");
  return 1;
}

int mod_engine(double* amplitude, double* phase, int sample) {
  (void)phase;
  (void)sample;
  *amplitude = 1.0;
  return 1;
}

#ifdef TP_BOTH_ENGINES
int mod_engine_2(unsigned char* marker, double* amplitude, double* phase, int sample) {
  (void)phase;
  (void)sample;
  *marker = 1;
  *amplitude = 1.0;
  return 1;
}
#endif

#ifdef TP_REPORT
#ifdef TP_STRICT_KEYS
static const char* const kReportTags[] = {
    "initreport", "closereport", "initentry", "finishentry", "set_seqname", "set_comment", "set_filename",
    "set_clock", "set_mseg_name", "set_mseg_comment", "set_mseg_filename", "set_pdelay", "set_prise", "set_pon",
    "set_pfall", "set_poff", "set_pprfpri", "set_fofs", "set_phofs", "set_levon", "set_levoff", "set_levdroop",
    "set_fmdev", "set_startt", "set_absstartt", "set_seqno", "set_repcnt", "set_repno", "set_msegno"};
#endif

int mod_setvalue(const char* tag, const void* value) {
  (void)value;
#ifdef TP_STRICT_KEYS
  char line[128];
  snprintf(line, sizeof line, "mod_setvalue %s", tag);
  journal(line);
  for (size_t k = 0; k < sizeof kReportTags / sizeof kReportTags[0]; ++k)
    if (strcmp(tag, kReportTags[k]) == 0) return 1;
  return 0;
#else
  (void)tag;
  journal("mod_setvalue");
  return 1;
#endif
}
#endif
