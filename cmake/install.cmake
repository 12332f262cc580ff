# Where a Linux desktop looks for the program, its menu entry and its icon.
include(GNUInstallDirs)

install(FILES ${CMAKE_CURRENT_LIST_DIR}/../resources/quillory.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 32 48 64 128 256)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/../resources/icons/hicolor/${size}x${size}/apps/quillory.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../resources/quillory.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
# The program finds its help here from its own folder (QUILLORY_DATA_FROM_BIN).
install(FILES ${CMAKE_CURRENT_LIST_DIR}/../resources/help/QLRY.hlp
        DESTINATION ${CMAKE_INSTALL_DATADIR}/quillory)

# The program may be defined before or after this file is read, so its rule
# is settled once the top-level directory is complete.
function(quillory_install_program)
    if(TARGET quillory-app)
        install(TARGETS quillory-app RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    endif()
endfunction()
cmake_language(DEFER DIRECTORY ${CMAKE_SOURCE_DIR} CALL quillory_install_program)
