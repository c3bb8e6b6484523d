# Makes the Windows package and unzips it where the end-to-end run starts it.
#     cmake -DBUILD_DIR=… -DPACKAGE_DIR=… -DNAME=… -P unzip-package.cmake
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} -G ZIP -B ${PACKAGE_DIR}
    WORKING_DIRECTORY ${BUILD_DIR} RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "cpack failed")
endif()
file(REMOVE_RECURSE ${PACKAGE_DIR}/${NAME})
file(ARCHIVE_EXTRACT INPUT ${PACKAGE_DIR}/${NAME}.zip DESTINATION ${PACKAGE_DIR})
