# Third-party libraries, all from Debian packages.
find_package(fmt REQUIRED)
add_library(orvanta_fmt INTERFACE)
target_link_libraries(orvanta_fmt INTERFACE fmt::fmt)
