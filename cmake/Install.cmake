# What `cmake --install` and the Debian package put where: the programs, the read-me, the man pages,
# and the desktop integration (entry, icons, list file types, AppStream metainfo).
set(TV_APP_ID org.example.tallyvault)
set(TV_DATA ${CMAKE_SOURCE_DIR}/data)

# On Windows the zip holds one folder: the programs and the read-me side by side, as a user unpacks
# and starts them; the settings file goes beside the program too.
if(WIN32)
    install(TARGETS tallyvault-cli RUNTIME DESTINATION .)
    if(TARGET tallyvault)
        install(TARGETS tallyvault RUNTIME DESTINATION .)
    endif()
    install(FILES ${CMAKE_SOURCE_DIR}/data/Tallyvault.txt ${CMAKE_SOURCE_DIR}/data/Tallyvault.en.txt DESTINATION .)
    return()
endif()

install(TARGETS tallyvault-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
if(TARGET tallyvault)
    install(TARGETS tallyvault RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(FILES ${CMAKE_SOURCE_DIR}/data/Tallyvault.txt ${CMAKE_SOURCE_DIR}/data/Tallyvault.en.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# Debian keeps man pages compressed; -n leaves the time out so the package builds the same twice.
find_program(TV_GZIP gzip REQUIRED)
set(TV_MAN_PAGES tallyvault.1 tallyvault-cli.1)
set(TV_MAN_OUT)
foreach(page ${TV_MAN_PAGES})
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${page}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND ${TV_GZIP} -9nc ${TV_DATA}/man/${page} > ${CMAKE_BINARY_DIR}/man/${page}.gz
        DEPENDS ${TV_DATA}/man/${page} VERBATIM)
    list(APPEND TV_MAN_OUT ${CMAKE_BINARY_DIR}/man/${page}.gz)
endforeach()
add_custom_target(tallyvault_man ALL DEPENDS ${TV_MAN_OUT})
install(FILES ${TV_MAN_OUT} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)

if(TARGET tallyvault)
    install(FILES ${TV_DATA}/${TV_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${TV_DATA}/${TV_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
    install(FILES ${TV_DATA}/${TV_APP_ID}.mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages
            RENAME ${TV_APP_ID}.xml)
    install(FILES ${TV_DATA}/icons/${TV_APP_ID}.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # The bitmap sizes of the icon theme are drawn from the one SVG at build time.
    find_program(TV_RSVG_CONVERT rsvg-convert)
    if(TV_RSVG_CONVERT)
        set(TV_ICON_PNGS)
        foreach(size 16 22 24 32 48 64 128 256)
            set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${TV_APP_ID}.png)
            add_custom_command(OUTPUT ${png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
                COMMAND ${TV_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${TV_DATA}/icons/${TV_APP_ID}.svg
                DEPENDS ${TV_DATA}/icons/${TV_APP_ID}.svg VERBATIM)
            list(APPEND TV_ICON_PNGS ${png})
            install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
        endforeach()
        add_custom_target(tallyvault_icons ALL DEPENDS ${TV_ICON_PNGS})
    else()
        message(STATUS "rsvg-convert not found (librsvg2-bin): only the scalable icon is installed")
    endif()
endif()
