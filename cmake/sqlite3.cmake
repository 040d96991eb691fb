# SQLite, built from its amalgamation: scripts/setup.sh fetches sqlite3.c and
# sqlite3.h at a pinned version; nothing of it is committed.
set(RTRILLEX_SQLITE_DIR ${PROJECT_SOURCE_DIR}/deps/sqlite3 CACHE PATH "Folder holding SQLite's amalgamation (sqlite3.c, sqlite3.h)")
if(NOT EXISTS ${RTRILLEX_SQLITE_DIR}/sqlite3.c OR NOT EXISTS ${RTRILLEX_SQLITE_DIR}/sqlite3.h)
  message(FATAL_ERROR "SQLite's amalgamation is not in ${RTRILLEX_SQLITE_DIR}. "
                      "Run scripts/setup.sh, which fetches it at the pinned version, or put sqlite3.c and sqlite3.h "
                      "of the same SQLite version (see the version in scripts/setup.sh) from sqlite.org's "
                      "amalgamation download there, or point RTRILLEX_SQLITE_DIR at them.")
endif()

add_library(rtrillex_sqlite STATIC ${RTRILLEX_SQLITE_DIR}/sqlite3.c)
target_include_directories(rtrillex_sqlite SYSTEM PUBLIC ${RTRILLEX_SQLITE_DIR})
target_compile_definitions(rtrillex_sqlite PRIVATE
  # Each connection is used by one thread at a time: no locks per call.
  SQLITE_THREADSAFE=2
  # sqlite.org's recommended options, which its amalgamation supports, and
  # none of what the store never uses: extensions, shared cache, JSON.
  SQLITE_DQS=0
  SQLITE_DEFAULT_MEMSTATUS=0
  SQLITE_DEFAULT_WAL_SYNCHRONOUS=1
  SQLITE_LIKE_DOESNT_MATCH_BLOBS
  SQLITE_SECURE_DELETE=1
  SQLITE_TEMP_STORE=2
  SQLITE_TRUSTED_SCHEMA=0
  SQLITE_USE_URI=0
  SQLITE_MAX_EXPR_DEPTH=0
  SQLITE_OMIT_DECLTYPE
  SQLITE_OMIT_DEPRECATED
  SQLITE_OMIT_LOAD_EXTENSION
  SQLITE_OMIT_PROGRESS_CALLBACK
  SQLITE_OMIT_SHARED_CACHE
  SQLITE_OMIT_JSON
  SQLITE_UNTESTABLE
)
# Third-party code: its own warnings are not ours to fix, and it is not ours
# to debug either, so it is optimized in every configuration (the tests and
# benchmarks see its real speed) and kept small in the shipped exe. (MSVC's
# Debug checks at run time refuse optimization: there it keeps its flags.)
if(MSVC)
  target_compile_options(rtrillex_sqlite PRIVATE /W0)
else()
  target_compile_options(rtrillex_sqlite PRIVATE -w $<IF:$<CONFIG:Debug>,-O2,-Os> -g0)
endif()
if(NOT WIN32)
  find_package(Threads REQUIRED)
  target_link_libraries(rtrillex_sqlite PUBLIC Threads::Threads m)
endif()
