# Run by CPack on its staging tree after the install and before the package
# is made from it: what Debian asks of a package beyond the install rules.
if(NOT CPACK_GENERATOR STREQUAL "DEB")
  return()
endif()
set(_root "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr")

# A package of section games keeps its programs in /usr/games, wherever
# `cmake --install` puts them.
if(NOT CPACK_DROPIX_BINDIR STREQUAL "games")
  file(MAKE_DIRECTORY "${_root}/games")
  file(RENAME "${_root}/${CPACK_DROPIX_BINDIR}/my-dropix" "${_root}/games/my-dropix")
  file(GLOB _left "${_root}/${CPACK_DROPIX_BINDIR}/*")
  if(NOT _left)
    file(REMOVE_RECURSE "${_root}/${CPACK_DROPIX_BINDIR}")
  endif()
endif()

# What the compiler's notes and the debug sections would add is of no use
# to a player; this is what Debian's own packaging strips.
if(CPACK_DROPIX_STRIP)
  execute_process(
    COMMAND "${CPACK_DROPIX_STRIP}" --remove-section=.comment --remove-section=.note --strip-unneeded
            "${_root}/games/my-dropix"
    RESULT_VARIABLE _rc)
  if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "strip failed on my-dropix: ${_rc}")
  endif()
endif()

# Seconds since 1970 at the date of the newest entry of a Debian changelog.
function(dropix_changelog_epoch file out)
  file(STRINGS "${file}" _line REGEX "^ -- " LIMIT_COUNT 1)
  set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
  if(NOT _line MATCHES ">  ..., ([0-9]+) (...) ([0-9]+) ([0-9]+):([0-9]+):([0-9]+) ([-+])([0-9][0-9])([0-9][0-9])$")
    message(FATAL_ERROR "${file}: no date in: ${_line}")
  endif()
  set(d ${CMAKE_MATCH_1})
  list(FIND _months ${CMAKE_MATCH_2} m)
  set(y ${CMAKE_MATCH_3})
  # Days since 1970-01-01 in a calendar whose year starts in March.
  math(EXPR m "${m} + 1")
  if(m LESS_EQUAL 2)
    math(EXPR y "${y} - 1")
    math(EXPR m "${m} + 9")
  else()
    math(EXPR m "${m} - 3")
  endif()
  math(EXPR days "${y} * 365 + ${y} / 4 - ${y} / 100 + ${y} / 400 + (153 * ${m} + 2) / 5 + ${d} - 1 - 719468")
  math(EXPR secs "${days} * 86400 + ${CMAKE_MATCH_4} * 3600 + ${CMAKE_MATCH_5} * 60 + ${CMAKE_MATCH_6}
                  - (${CMAKE_MATCH_7}1) * (${CMAKE_MATCH_8} * 3600 + ${CMAKE_MATCH_9} * 60)")
  set(${out} ${secs} PARENT_SCOPE)
endfunction()

# Every date in the package is that of the last commit (or, out of git, of
# the newest changelog entry), so that the same tree gives the same bytes.
if(NOT DEFINED ENV{SOURCE_DATE_EPOCH})
  execute_process(
    COMMAND git -C "${CPACK_DROPIX_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE _epoch OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE _rc ERROR_QUIET)
  if(NOT _rc EQUAL 0 OR NOT _epoch MATCHES "^[0-9]+$")
    dropix_changelog_epoch("${CPACK_DROPIX_SOURCE_DIR}/debian-changelog" _epoch)
  endif()
  set(ENV{SOURCE_DATE_EPOCH} "${_epoch}")
endif()
