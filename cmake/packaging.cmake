# What `cmake --install` puts where, and the Debian package made by CPack.
#
# `cmake --install` puts the game in ${CMAKE_INSTALL_BINDIR} (bin under the
# prefix), where a player looks for it and where PATH leads everywhere, for
# root too; -DCMAKE_INSTALL_BINDIR=games moves it. The Debian package is in
# section games and follows Debian's rule for it: /usr/games, whatever the
# install does (cmake/cpack-deb.cmake).
include(GNUInstallDirs)

if(WIN32)
  # The Windows download is one folder: the game beside a README.txt in
  # Chinese and the licence, both with the CRLF line ends Notepad wants, the
  # README with a byte order mark so that no code page garbles it.
  install(TARGETS my-dropix RUNTIME DESTINATION .)
  string(ASCII 239 187 191 _bom)
  set(_readme ${PROJECT_SOURCE_DIR}/docs/README-windows.txt)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${_readme})
  file(READ ${_readme} _text)
  file(CONFIGURE OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/zip/README.txt CONTENT "${_bom}${_text}" @ONLY NEWLINE_STYLE CRLF)
  configure_file(${PROJECT_SOURCE_DIR}/LICENSE ${CMAKE_CURRENT_BINARY_DIR}/zip/LICENSE.txt @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/zip/README.txt ${CMAKE_CURRENT_BINARY_DIR}/zip/LICENSE.txt DESTINATION .)
else()
  install(TARGETS my-dropix RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

if(UNIX)
  # Manual pages and the Debian changelog are installed compressed, as
  # Debian wants them: gzip -9n, so that the bytes do not change with the
  # time of the build.
  find_program(DROPIX_GZIP gzip)
  mark_as_advanced(DROPIX_GZIP)
  set(_dropix_gz)
  function(dropix_install_gz src out dest)
    get_filename_component(_dir ${out} DIRECTORY)
    add_custom_command(
      OUTPUT ${out}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_dir}
      COMMAND ${CMAKE_COMMAND} -D IN=${src} -D OUT=${out} -D GZIP=${DROPIX_GZIP}
              -P ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
      DEPENDS ${src} ${PROJECT_SOURCE_DIR}/cmake/gzip.cmake
      VERBATIM)
    install(FILES ${out} DESTINATION ${dest})
    set(_dropix_gz ${_dropix_gz} ${out} PARENT_SCOPE)
  endfunction()

  # The Chinese page, in the game's own language, is the one found by
  # default; man shows the English one in English locales.
  set(_gz ${CMAKE_CURRENT_BINARY_DIR}/gz)
  dropix_install_gz(${PROJECT_SOURCE_DIR}/docs/my-dropix.6 ${_gz}/man6/my-dropix.6.gz ${CMAKE_INSTALL_MANDIR}/man6)
  dropix_install_gz(${PROJECT_SOURCE_DIR}/docs/my-dropix.en.6 ${_gz}/en/man6/my-dropix.6.gz
                    ${CMAKE_INSTALL_MANDIR}/en/man6)

  # The package's changelog, in Debian's format, kept in the tree; its
  # newest entry must be this version's.
  set(_changelog ${PROJECT_SOURCE_DIR}/debian-changelog)
  file(STRINGS ${_changelog} _top LIMIT_COUNT 1)
  if(NOT _top MATCHES "^my-dropix \\(${PROJECT_VERSION}\\) ")
    message(FATAL_ERROR "debian-changelog: the newest entry is not for ${PROJECT_VERSION}: ${_top}")
  endif()
  dropix_install_gz(${_changelog} ${_gz}/changelog.gz ${CMAKE_INSTALL_DOCDIR})
  add_custom_target(dropix_gz ALL DEPENDS ${_dropix_gz})
endif()

if(NOT WIN32)
  install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION ${CMAKE_INSTALL_DOCDIR} RENAME copyright)
  install(FILES ${PROJECT_SOURCE_DIR}/CHANGELOG.md DESTINATION ${CMAKE_INSTALL_DOCDIR})
endif()

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
elseif(WIN32)
  # my-dropix-VERSION-windows-x86_64.zip, as a download page names it.
  set(CPACK_GENERATOR ZIP)
  string(TOLOWER "${CMAKE_SYSTEM_PROCESSOR}" _arch)
  if(_arch MATCHES "^(amd64|x86_64|x64)$")
    set(_arch x86_64)
  endif()
  set(CPACK_PACKAGE_FILE_NAME my-dropix-${PROJECT_VERSION}-windows-${_arch})
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
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/cpack-deb.cmake)
set(CPACK_DROPIX_BINDIR ${CMAKE_INSTALL_BINDIR})
set(CPACK_DROPIX_STRIP ${CMAKE_STRIP})
set(CPACK_DROPIX_SOURCE_DIR ${PROJECT_SOURCE_DIR})
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
