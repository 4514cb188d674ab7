# Warnings every target of ours compiles with; the build stays clean under them.
add_library(orvanta_warnings INTERFACE)
if(MSVC)
  # Visual Studio, building against the loader: its level 4, in standard conformance mode.
  target_compile_options(orvanta_warnings INTERFACE /W4 /permissive- /utf-8)
  return()
endif()
target_compile_options(orvanta_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast -Wcast-align
  -Woverloaded-virtual -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough
  # Designated initializers leave members at their defaults on purpose.
  -Wno-missing-field-initializers)
