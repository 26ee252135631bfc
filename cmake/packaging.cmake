# What `cmake --install` puts where, and the Debian package made by CPack.
#
# The game goes to ${CMAKE_INSTALL_BINDIR} (bin under the prefix), in the
# Debian package too: /usr/games is not on root's PATH nor on that of many
# minimal systems, and a game that cannot be found after installing it is
# worse than one in an unusual place. -DCMAKE_INSTALL_BINDIR=games moves it,
# for `cmake --install` and the package alike.
include(GNUInstallDirs)

install(TARGETS my-dropix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX)
  # Manual pages are installed compressed, as Debian wants them. The Chinese
  # page, in the game's own language, is the one found by default; man shows
  # the English one in English locales.
  set(_dropix_man ${CMAKE_CURRENT_BINARY_DIR}/man)
  set(_dropix_man_pages)
  foreach(_page IN ITEMS zh en)
    if(_page STREQUAL "zh")
      set(_src ${PROJECT_SOURCE_DIR}/docs/my-dropix.6)
      set(_dir ${_dropix_man}/man6)
      set(_dest ${CMAKE_INSTALL_MANDIR}/man6)
    else()
      set(_src ${PROJECT_SOURCE_DIR}/docs/my-dropix.en.6)
      set(_dir ${_dropix_man}/en/man6)
      set(_dest ${CMAKE_INSTALL_MANDIR}/en/man6)
    endif()
    add_custom_command(
      OUTPUT ${_dir}/my-dropix.6.gz
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
      COMMAND ${CMAKE_COMMAND} -D IN=${_src} -D OUT=${_dir}/my-dropix.6.gz
              -P ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
      DEPENDS ${_src} ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
      VERBATIM)
    list(APPEND _dropix_man_pages ${_dir}/my-dropix.6.gz)
    install(FILES ${_dir}/my-dropix.6.gz DESTINATION ${_dest})
  endforeach()
  add_custom_target(dropix_man ALL DEPENDS ${_dropix_man_pages})
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_PACKAGE_NAME my-dropix)
set(CPACK_PACKAGE_VENDOR "the my-dropix developers")
set(CPACK_PACKAGE_CONTACT "my-dropix developers <dev@my-dropix.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "falling-block puzzle game for the text console")
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Pieces of four cells fall into a walled well of a size the player chooses;\n"
  "move and turn them with the arrow keys so that they fill whole rows, which\n"
  "then vanish and score. The game speeds up as the score grows. All texts\n"
  "are in Simplified Chinese; it runs in any terminal in a UTF-8, GBK or\n"
  "GB18030 locale.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  set(CPACK_GENERATOR DEB)
else()
  set(CPACK_GENERATOR TGZ)
endif()
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build/")

set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION games)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Dependencies are read off the binary when dpkg-shlibdeps (dpkg-dev) is
# there; without it they are stated, unversioned.
find_program(DROPIX_DPKG_SHLIBDEPS dpkg-shlibdeps)
mark_as_advanced(DROPIX_DPKG_SHLIBDEPS)
if(DROPIX_DPKG_SHLIBDEPS)
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6, libgcc-s1, libstdc++6")
endif()

include(CPack)
