# Building the mod for the game: ORVANTA_UE4SS_DIR names a checkout of the UE4SS loader
# (RE-UE4SS), whose own UE4SS target the mod then links, as the loader's C++ mod template
# does. The stand-in, the simulator, the benchmarks and the tests are left out; the mod's
# sources are the same, found through the loader's include paths.
if(NOT EXISTS "${ORVANTA_UE4SS_DIR}/CMakeLists.txt")
  message(FATAL_ERROR "ORVANTA_UE4SS_DIR (${ORVANTA_UE4SS_DIR}) is not a checkout of the UE4SS loader: it has no CMakeLists.txt")
endif()

set(ORVANTA_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(ORVANTA_BUILD_SIM OFF CACHE BOOL "" FORCE)
set(ORVANTA_BUILD_BENCH OFF CACHE BOOL "" FORCE)
set(ORVANTA_BUILD_FUZZ OFF CACHE BOOL "" FORCE)

add_subdirectory("${ORVANTA_UE4SS_DIR}" RE-UE4SS)

# The loader brings {fmt} with its UE4SS target; mods format with that copy.
add_library(orvanta_fmt INTERFACE)

# The mod takes the loader's runtime library: two C runtimes in one process would each keep
# their own heap, and the loader frees what the mod allocates.
function(orvanta_match_loader_runtime)
  get_target_property(runtime UE4SS MSVC_RUNTIME_LIBRARY)
  if(runtime)
    set_target_properties(${ARGN} PROPERTIES MSVC_RUNTIME_LIBRARY "${runtime}")
  endif()
endfunction()
