# The Windows picker under Wine: the arithmetic's tests, and the end-to-end
# run on the unzipped package in a Wine prefix of its own. The widget test
# stays on Linux: under Wine it hangs before its first test.

# Wine looks for a program's DLLs beside it first.
add_custom_target(zorvi_test_dlls ALL
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:Qt5::Core> $<TARGET_FILE:Qt5::Gui>
        $<TARGET_FILE:Qt5::Widgets> $<TARGET_FILE:Qt5::Test> ${ZORVI_WINDOWS_RUNTIME_DLLS}
        ${CMAKE_CURRENT_BINARY_DIR}
    VERBATIM)

# The end-to-end run needs an X server: Wine's, on a Linux machine.
if(NOT CMAKE_CROSSCOMPILING)
    return()
endif()
set(package_dir ${CMAKE_BINARY_DIR}/package-test)
add_test(NAME package COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
    -DPACKAGE_DIR=${package_dir} -DNAME=${ZORVI_PACKAGE_NAME}
    -P ${CMAKE_CURRENT_SOURCE_DIR}/unzip-package.cmake)
set_tests_properties(package PROPERTIES FIXTURES_SETUP windows_package)

set(unzipped ${package_dir}/${ZORVI_PACKAGE_NAME})
add_test(NAME picker_wine COMMAND ${PROJECT_SOURCE_DIR}/tools/xsession.sh ${e2e}/picker.sh ${unzipped}/zorvi.exe
    ${unzipped}/zorvi-settings.exe frame_and_interior moves_and_captures moved_by_others keep_on_top display_change)
set_tests_properties(picker_wine PROPERTIES FIXTURES_REQUIRED windows_package TIMEOUT 600)
# The installer, run as a user runs it; the installed picker passes the same
# end-to-end run.
add_test(NAME installer COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR}
    -DVERSION=${PROJECT_VERSION} -P ${PROJECT_SOURCE_DIR}/cmake/windows-installer.cmake)
set_tests_properties(installer PROPERTIES FIXTURES_SETUP windows_installer TIMEOUT 300)
add_test(NAME installer_wine COMMAND ${PROJECT_SOURCE_DIR}/tools/xsession.sh
    ${CMAKE_CURRENT_SOURCE_DIR}/packages/installer.sh
    ${CMAKE_BINARY_DIR}/zorvi-${PROJECT_VERSION}-win64-setup.exe ${unzipped} ${PROJECT_VERSION}
    frame_and_interior moves_and_captures keep_on_top display_change)
set_tests_properties(installer_wine PROPERTIES FIXTURES_REQUIRED "windows_package;windows_installer"
    TIMEOUT 900)
# The capture button records: the recorder the picker starts, its take.
if(ZORVI_FFMPEG_PREFIX)
    add_test(NAME record_wine COMMAND ${PROJECT_SOURCE_DIR}/tools/xsession.sh ${e2e}/record_wine.sh
        ${unzipped}/zorvi.exe ${unzipped}/zorvi-settings.exe)
    set_tests_properties(record_wine PROPERTIES FIXTURES_REQUIRED windows_package TIMEOUT 300)
endif()
