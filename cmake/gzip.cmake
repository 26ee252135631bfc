# cmake -D IN=<file> -D OUT=<file.gz> [-D GZIP=<gzip program>] -P gzip.cmake
# Compresses one file. With gzip, as Debian wants it: best compression, and
# neither name nor time in the header, so that the same file always gives
# the same bytes. Without it CMake alone does it, with a time in the header.
if(GZIP)
  execute_process(COMMAND "${GZIP}" -9 -n -c "${IN}" OUTPUT_FILE "${OUT}" RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${GZIP} failed on ${IN}: ${rc}")
  endif()
else()
  file(ARCHIVE_CREATE OUTPUT "${OUT}" PATHS "${IN}" FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
endif()
