# The Windows installer, made by CPack with NSIS: it installs the program,
# Qt's DLLs and plugins into Program Files, with a Start-menu entry and an
# uninstaller.
set(CPACK_GENERATOR NSIS)
# A 64-bit installer for a 64-bit program: it runs where the program runs.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_PACKAGE_NAME Tarnwick)
set(CPACK_PACKAGE_VENDOR Kestrane)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Find the text files that do not contain a phrase")
set(CPACK_PACKAGE_FILE_NAME tarnwick-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_INSTALL_DIRECTORY Tarnwick)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Tarnwick)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME Tarnwick)
set(CPACK_NSIS_PACKAGE_NAME Tarnwick)
set(CPACK_PACKAGE_EXECUTABLES tarnwick Tarnwick)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALLED_ICON_NAME tarnwick.exe)
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_STRIP_FILES ON)
if(TARNWICK_HOME_PAGE)
    set(CPACK_NSIS_URL_INFO_ABOUT "${TARNWICK_HOME_PAGE}")
endif()
include(CPack)
