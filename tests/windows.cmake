# The Windows picker under Wine: the end-to-end run on the unzipped package
# in a Wine prefix of its own. The widget tests are built (they link against
# Qt for Windows) but not run: under Wine they need its X driver even
# offscreen, and tst_scrm hangs there.

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
add_test(NAME picker_wine COMMAND ${e2e}/xsession.sh ${e2e}/picker.sh ${unzipped}/zorvi.exe
    ${unzipped}/zorvi-settings.exe frame_and_interior moves_and_captures keep_on_top display_change)
set_tests_properties(picker_wine PROPERTIES FIXTURES_REQUIRED windows_package TIMEOUT 600)
