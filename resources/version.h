/* The program's version: the one place it is written. rTrillex.rc, the
   version window and CMake's release archive all take it from here, so keep
   these plain #defines that windres, rc.exe, C++ and a regular expression
   can all read. */
#ifndef RTRILLEX_VERSION_H
#define RTRILLEX_VERSION_H

#define RTRILLEX_VERSION_MAJOR 1
#define RTRILLEX_VERSION_MINOR 1
#define RTRILLEX_VERSION_PATCH 0

#define RTRILLEX_STRINGIZE_(x) #x
#define RTRILLEX_STRINGIZE(x) RTRILLEX_STRINGIZE_(x)

/* "1.1.0", as the version window shows it. */
#define RTRILLEX_VERSION_TEXT \
  RTRILLEX_STRINGIZE(RTRILLEX_VERSION_MAJOR) "." RTRILLEX_STRINGIZE(RTRILLEX_VERSION_MINOR) "." \
  RTRILLEX_STRINGIZE(RTRILLEX_VERSION_PATCH)

/* "1.00", as the version record's strings have always read: the minor
   number in two digits, the patch number left out. */
#if RTRILLEX_VERSION_MINOR < 10
#define RTRILLEX_VERSION_RECORD_TEXT \
  RTRILLEX_STRINGIZE(RTRILLEX_VERSION_MAJOR) ".0" RTRILLEX_STRINGIZE(RTRILLEX_VERSION_MINOR)
#else
#define RTRILLEX_VERSION_RECORD_TEXT \
  RTRILLEX_STRINGIZE(RTRILLEX_VERSION_MAJOR) "." RTRILLEX_STRINGIZE(RTRILLEX_VERSION_MINOR)
#endif

#endif
