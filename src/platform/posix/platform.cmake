# iconv: part of the C library on most systems, a library of its own on others.
find_package(Iconv REQUIRED)
target_link_libraries(dropix_core PUBLIC Iconv::Iconv)
