# Third-party libraries, all from Debian packages.
if(WIN32 AND CMAKE_CROSSCOMPILING)
  include(OrvantaMingw)
  return()
endif()

find_package(fmt REQUIRED)
add_library(orvanta_fmt INTERFACE)
target_link_libraries(orvanta_fmt INTERFACE fmt::fmt)

# Render targets written out as pictures; the Windows build goes without.
find_package(PNG REQUIRED)
# The screen's texts, in the DejaVu fonts; the Windows build goes without.
find_package(Freetype REQUIRED)
