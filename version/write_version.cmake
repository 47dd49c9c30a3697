# Writes OUTPUT with KORVEX_BUILD_VERSION: PROJECT_VERSION, and "+g" with the
# short commit id when SOURCE_DIR is a git checkout ("+dirty" after it when the
# tracked files differ from that commit). KORVEX_BUILD_VERSION in the
# environment replaces the whole text (release builds from a tarball).
set(version "${PROJECT_VERSION}")
if(DEFINED ENV{KORVEX_BUILD_VERSION} AND NOT "$ENV{KORVEX_BUILD_VERSION}" STREQUAL "")
  set(version "$ENV{KORVEX_BUILD_VERSION}")
else()
  find_program(GIT git)
  if(GIT AND EXISTS "${SOURCE_DIR}/.git")
    execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} rev-parse --short=7 HEAD
                    OUTPUT_VARIABLE commit OUTPUT_STRIP_TRAILING_WHITESPACE
                    RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND commit)
      set(version "${version}+g${commit}")
      execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} update-index -q --refresh
                      OUTPUT_QUIET ERROR_QUIET)
      execute_process(COMMAND ${GIT} -C ${SOURCE_DIR} diff-index --quiet HEAD --
                      RESULT_VARIABLE dirty ERROR_QUIET)
      if(dirty)
        set(version "${version}+dirty")
      endif()
    endif()
  endif()
endif()
set(text "// Generated at build time; do not edit.\n#define KORVEX_BUILD_VERSION \"${version}\"\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT "${old}" STREQUAL "${text}")
  file(WRITE "${OUTPUT}" "${text}")
endif()
