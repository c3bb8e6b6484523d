# Makes the Windows installer, BUILD_DIR/zorvi-VERSION-win64-setup.exe, from
# what the build installs (the zip's files) with makensis (Debian: nsis).
#     cmake -DBUILD_DIR=… -DVERSION=… -P windows-installer.cmake
set(stage ${BUILD_DIR}/installer-stage)
file(REMOVE_RECURSE ${stage})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${stage}
    OUTPUT_QUIET RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "installing into ${stage} failed")
endif()

# The uninstaller removes what the installer put there and nothing else, so
# that a file of the user's in that folder survives it.
file(GLOB_RECURSE files LIST_DIRECTORIES false RELATIVE ${stage} ${stage}/*)
list(SORT files)
set(install)
set(uninstall)
set(folders)
set(folder .)
foreach(file ${files})
    get_filename_component(dir ${file} DIRECTORY)
    if(dir STREQUAL "")
        set(dir .)
    endif()
    string(REPLACE / \\ target ${file})
    if(NOT dir STREQUAL folder)
        set(folder ${dir})
        if(dir STREQUAL .)
            string(APPEND install "SetOutPath \"$INSTDIR\"\n")
        else()
            string(REPLACE / \\ out ${dir})
            string(APPEND install "SetOutPath \"$INSTDIR\\${out}\"\n")
            list(APPEND folders ${out})
        endif()
    endif()
    string(APPEND install "File \"${stage}/${file}\"\n")
    string(APPEND uninstall "Delete \"$INSTDIR\\${target}\"\n")
endforeach()
list(REMOVE_DUPLICATES folders)
list(SORT folders ORDER DESCENDING) # a folder's subfolders first
foreach(out ${folders})
    string(APPEND uninstall "RMDir \"$INSTDIR\\${out}\"\n")
endforeach()
file(WRITE ${BUILD_DIR}/installer-files.nsh "${install}")
file(WRITE ${BUILD_DIR}/installer-unfiles.nsh "${uninstall}")

# VIProductVersion takes four numbers: 1.0 is 1.0.0.0.
string(REPLACE . ";" numbers ${VERSION})
list(LENGTH numbers count)
while(count LESS 4)
    list(APPEND numbers 0)
    math(EXPR count "${count} + 1")
endwhile()
list(JOIN numbers . version4)

find_program(MAKENSIS makensis)
if(NOT MAKENSIS)
    message(FATAL_ERROR "no makensis (apt install nsis)")
endif()
get_filename_component(source_dir ${CMAKE_CURRENT_LIST_DIR}/.. ABSOLUTE)
set(output ${BUILD_DIR}/zorvi-${VERSION}-win64-setup.exe)
execute_process(COMMAND ${MAKENSIS} -V2 -WX -DVERSION=${VERSION} -DVERSION4=${version4}
    -DOUTFILE=${output} -DICON=${source_dir}/resources/zorvi.ico
    -DLICENCE=${source_dir}/COPYING
    -DFILES=${BUILD_DIR}/installer-files.nsh -DUNFILES=${BUILD_DIR}/installer-unfiles.nsh
    ${CMAKE_CURRENT_LIST_DIR}/windows-installer.nsi
    RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "makensis failed")
endif()
