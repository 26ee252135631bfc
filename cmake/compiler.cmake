# Compiler flags, in one place per compiler: warnings (errors with
# DROPIX_WERROR), the sanitizers (DROPIX_SANITIZE), and the hardening Debian
# builds its packages with.
if(MSVC)
  add_compile_options(/W4 /utf-8)
  if(DROPIX_WERROR)
    add_compile_options(/WX)
  endif()
elseif(CMAKE_CXX_COMPILER_ID MATCHES "Clang")
  add_compile_options(-Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion)
elseif(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
  add_compile_options(-Wall -Wextra -Wpedantic -Wshadow=local -Wconversion -Wno-sign-conversion)
endif()
if(DROPIX_WERROR AND NOT MSVC)
  add_compile_options(-Werror)
endif()

if(DROPIX_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
  add_link_options(-fsanitize=address,undefined)
elseif(CMAKE_SYSTEM_NAME STREQUAL "Linux")
  # Fortified C library calls, a stack protector, and relocations resolved
  # and made read-only at start, in the optimised builds.
  set(_opt "$<CONFIG:Release,RelWithDebInfo,MinSizeRel>")
  # Some compilers define their own level first.
  add_compile_options("$<${_opt}:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2;-fstack-protector-strong>")
  add_link_options("$<${_opt}:LINKER:-z,relro,-z,now>")
endif()
