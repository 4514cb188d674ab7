# The release a player unzips into the game's Mods folder: Orvanta/dlls/main.dll (the folder
# name the loader looks in), Orvanta/enabled.txt (which switches the mod on) and the player's
# README. Only a Windows build, for the game or with MinGW-w64, makes one: `cpack -G ZIP`.
if(NOT WIN32)
  return()
endif()

# The DLL alone: the import library and the debug files are of no use to a player.
install(FILES $<TARGET_FILE:main> DESTINATION Orvanta/dlls)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/enabled.txt ${PROJECT_SOURCE_DIR}/packaging/README.txt DESTINATION Orvanta)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Orvanta)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "Orvanta-${PROJECT_VERSION}-win64")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
