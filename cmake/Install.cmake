# The release: a ready program folder. The prefix is the program folder itself, so
# `cmake --install build --prefix ~/wendro` or the TGZ from cpack both give:
# wendro, wendro-sim, prog.cfg, settings.cfg, logs/, html/template.asp, Excel/, a launcher, and
# the service unit with the script that installs it.
install(TARGETS wendro wendro-sim RUNTIME DESTINATION .)
install(FILES dist/prog.cfg dist/settings.cfg DESTINATION .)
install(DIRECTORY dist/logs dist/Excel dist/html DESTINATION .)
install(FILES dist/share/wendro.desktop dist/share/wendro.svg DESTINATION .)
install(PROGRAMS dist/share/install-launcher dist/share/install-service DESTINATION .)
install(FILES dist/wendro.service DESTINATION .)

set(CPACK_GENERATOR TGZ)
set(CPACK_PACKAGE_NAME wendro)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME "wendro-${PROJECT_VERSION}-linux-${CMAKE_SYSTEM_PROCESSOR}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Data logger for a battery-charging wind plant")
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)

add_test(NAME release_folder COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-release ${CMAKE_BINARY_DIR})
add_test(NAME dashboard COMMAND bash ${CMAKE_SOURCE_DIR}/scripts/check-dashboard ${CMAKE_BINARY_DIR})
