# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows program as its users get it: the icon and version information inside the
# .exe, the Qt and MinGW runtime DLLs beside it, an NSIS installer and a zip.
# Included from the top CMakeLists.txt when cross-building (cmake/mingw64-posix.cmake).

find_program(ICOTOOL icotool REQUIRED)

# The icon, every rendered size in one .ico; the large one stays PNG-compressed, as
# Windows Vista and later read it.
set(tarvenit_ico ${CMAKE_BINARY_DIR}/data/tarvenit.ico)
set(ico_inputs)
foreach(png IN LISTS TARVENIT_ICON_PNGS)
    if(png MATCHES "/256/")
        list(APPEND ico_inputs --raw=${png})
    else()
        list(APPEND ico_inputs ${png})
    endif()
endforeach()
add_custom_command(OUTPUT ${tarvenit_ico}
    COMMAND ${ICOTOOL} --create --output=${tarvenit_ico} ${ico_inputs}
    DEPENDS ${TARVENIT_ICON_PNGS}
    COMMENT "Making the Windows icon")
add_custom_target(tarvenit-ico DEPENDS ${tarvenit_ico})

# The resource script: icon and version information from the project's own version.
set(version_parts)
foreach(part MAJOR MINOR PATCH TWEAK) # FILEVERSION takes exactly four numbers
    if("${PROJECT_VERSION_${part}}" STREQUAL "")
        list(APPEND version_parts 0)
    else()
        list(APPEND version_parts ${PROJECT_VERSION_${part}})
    endif()
endforeach()
list(JOIN version_parts "," tarvenit_version_commas)
configure_file(${PROJECT_SOURCE_DIR}/data/windows/tarvenit.rc.in
    ${CMAKE_BINARY_DIR}/data/tarvenit.rc @ONLY)
target_sources(tarvenit PRIVATE ${CMAKE_BINARY_DIR}/data/tarvenit.rc)
set_source_files_properties(${CMAKE_BINARY_DIR}/data/tarvenit.rc PROPERTIES
    OBJECT_DEPENDS ${tarvenit_ico})
add_dependencies(tarvenit tarvenit-ico)
# A window program: Windows opens no console beside it.
set_target_properties(tarvenit PROPERTIES WIN32_EXECUTABLE TRUE)

# Qt's libraries and the two plugins the window needs: the platform and the native style.
install(FILES
    $<TARGET_FILE:Qt6::Core> $<TARGET_FILE:Qt6::Gui> $<TARGET_FILE:Qt6::Widgets>
    $<TARGET_FILE:Qt6::SerialPort>
    DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin>
    DESTINATION ${CMAKE_INSTALL_BINDIR}/platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin>
    DESTINATION ${CMAKE_INSTALL_BINDIR}/styles)

# Qt's own texts in Chinese (the file dialog, standard buttons, the reasons of errors),
# from the Debian package of Qt's translations: the same Qt, and .qm files are the same
# on every platform. English needs none.
find_file(TARVENIT_QTBASE_ZH qtbase_zh_CN.qm PATHS /usr/share/qt6/translations NO_DEFAULT_PATH
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
install(FILES ${TARVENIT_QTBASE_ZH} DESTINATION ${CMAKE_INSTALL_BINDIR}/translations)

# The compiler's runtime, where the compiler itself finds it, stripped (unstripped,
# libstdc++ alone is over 20 MB).
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
        OUTPUT_VARIABLE found OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${found}" OR NOT EXISTS "${found}")
        message(FATAL_ERROR "The MinGW runtime ${dll} was not found beside the compiler")
    endif()
    set(stripped ${CMAKE_BINARY_DIR}/runtime/${dll})
    add_custom_command(OUTPUT ${stripped}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/runtime
        COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${found}
        DEPENDS ${found})
    list(APPEND tarvenit_runtime ${stripped})
    install(FILES ${stripped} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()
add_custom_target(tarvenit-runtime ALL DEPENDS ${tarvenit_runtime})

# The installer: a Start-menu entry for the program, and an uninstaller (with its own
# Start-menu entry and an entry in the system's list of programs).
set(CPACK_GENERATOR NSIS ZIP)
# A 64-bit installer for a 64-bit program: it writes the 64-bit Program Files and
# registry without redirection, and needs no 32-bit layer (wine64 alone runs it).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tarvenit)
set(CPACK_PACKAGE_EXECUTABLES tarvenit Tarvenit)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_PACKAGE_NAME Tarvenit)
set(CPACK_NSIS_DISPLAY_NAME Tarvenit)
set(CPACK_NSIS_MUI_ICON ${tarvenit_ico})
set(CPACK_NSIS_MUI_UNIICON ${tarvenit_ico})
set(CPACK_NSIS_INSTALLED_ICON_NAME tarvenit.exe)
set(CPACK_NSIS_URL_INFO_ABOUT ${PROJECT_HOMEPAGE_URL})
