# The Windows package, a folder to unzip and run: the two programs with the
# DLLs they load beside them. In the build folder: cpack -G ZIP

# Qt's DLLs load the compiler's runtime (the cross-built programs link it
# statically).
set(ZORVI_WINDOWS_RUNTIME_DLLS)
if(MINGW)
    foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
            OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
            message(FATAL_ERROR "${CMAKE_CXX_COMPILER} knows no ${dll}")
        endif()
        get_filename_component(path "${path}" REALPATH)
        list(APPEND ZORVI_WINDOWS_RUNTIME_DLLS "${path}")
    endforeach()
else()
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION ${CMAKE_INSTALL_BINDIR})
    include(InstallRequiredSystemLibraries)
endif()

install(FILES $<TARGET_FILE:Qt5::Core> $<TARGET_FILE:Qt5::Gui> $<TARGET_FILE:Qt5::Widgets>
    ${ZORVI_WINDOWS_RUNTIME_DLLS} DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/COPYING DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME COPYING.txt)
# Qt looks for its plugins in these folders beside the program.
install(FILES $<TARGET_FILE:Qt5::QWindowsIntegrationPlugin>
    DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
if(TARGET Qt5::QWindowsVistaStylePlugin)
    install(FILES $<TARGET_FILE:Qt5::QWindowsVistaStylePlugin>
        DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)
endif()

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME zorvi)
set(ZORVI_PACKAGE_NAME zorvi-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_FILE_NAME ${ZORVI_PACKAGE_NAME})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)

# The installer, beside the zip: cmake --build BUILD_DIR --target zorvi_installer
add_custom_target(zorvi_installer
    COMMAND ${CMAKE_COMMAND} -DBUILD_DIR=${CMAKE_BINARY_DIR} -DVERSION=${PROJECT_VERSION}
        -P ${CMAKE_CURRENT_LIST_DIR}/windows-installer.cmake
    DEPENDS zorvi zorvi-settings
    VERBATIM)
