# iconv: part of the C library on most systems, a library of its own on others.
find_package(Iconv REQUIRED)
target_link_libraries(dropix_core PUBLIC Iconv::Iconv)
# The terminfo library: ncurses' libtinfo where it stands alone, else the
# curses library that holds it.
find_package(PkgConfig QUIET)
if(PKG_CONFIG_FOUND)
  pkg_check_modules(TINFO QUIET IMPORTED_TARGET tinfo)
endif()
if(TINFO_FOUND)
  target_link_libraries(dropix_core PUBLIC PkgConfig::TINFO)
else()
  set(CURSES_NEED_NCURSES TRUE)
  find_package(Curses REQUIRED)
  target_include_directories(dropix_core PRIVATE ${CURSES_INCLUDE_DIRS})
  target_link_libraries(dropix_core PUBLIC ${CURSES_LIBRARIES})
endif()
