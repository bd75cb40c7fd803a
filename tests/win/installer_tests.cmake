# The setup and the portable zip under Wine: installer_wine.sh makes both with cpack from this
# build, then installs, runs, updates and removes the program in a throwaway copy of the build's
# Wine prefix, with the UPS simulator of the Linux build on a pseudo-terminal.

# Reads shortcuts the way Explorer does, and looks for the program's window.
add_executable(setupprobe setup_probe.cpp)
target_compile_definitions(setupprobe PRIVATE UNICODE _UNICODE)
target_link_options(setupprobe PRIVATE -municode)
target_link_libraries(setupprobe PRIVATE ole32 uuid)

add_test(NAME win.installer COMMAND bash ${CMAKE_CURRENT_SOURCE_DIR}/installer_wine.sh)
set_tests_properties(win.installer PROPERTIES
    ENVIRONMENT "ZELTO_WIN_BUILD=${CMAKE_BINARY_DIR};ZELTO_LINUX_BUILD=${ZELTO_LINUX_BUILD};ZELTO_SOURCE_DIR=${CMAKE_SOURCE_DIR};ZELTO_VERSION=${PROJECT_VERSION}"
    RUN_SERIAL TRUE TIMEOUT 300 DEPENDS "win.upszelto.end;win.prefix_server.stop")
