# cmake -D IN=<file> -D OUT=<file.gz> -P gzip.cmake
# Compresses one file with CMake alone, so building needs no gzip program.
file(ARCHIVE_CREATE OUTPUT "${OUT}" PATHS "${IN}" FORMAT raw COMPRESSION GZip COMPRESSION_LEVEL 9)
