# Package metadata shared by the install rules (dist/) and CPack: a Debian package on Linux,
# an NSIS installer (and a ZIP) on Windows. Everything is named and versioned from project().
set(QPX_APP_ID ru.norvelt.qpx)
set(QPX_HOMEPAGE "https://qpx.norvelt.example/" CACHE STRING "Project home page (metainfo, package)")
set(QPX_SCREENSHOT_URL "${QPX_HOMEPAGE}screenshots" CACHE STRING
    "Where the AppStream screenshots (the docs/*.png files) are published")
set(QPX_MAINTAINER "QPX developers <maintainers@qpx.norvelt.example>")

# The version and date of the newest entry of the package changelog: the changelog and the
# project version are bumped together, and the man pages and metainfo carry the same date.
file(STRINGS ${PROJECT_SOURCE_DIR}/dist/debian/changelog qpx_changelog_top LIMIT_COUNT 1)
string(REGEX MATCH "\\(([^)]*)\\)" qpx_changelog_version "${qpx_changelog_top}")
set(qpx_changelog_version "${CMAKE_MATCH_1}")
if(NOT qpx_changelog_version STREQUAL PROJECT_VERSION)
    message(WARNING "dist/debian/changelog starts with version ${qpx_changelog_version}, "
                    "the project is ${PROJECT_VERSION}: add a changelog entry")
endif()
file(STRINGS ${PROJECT_SOURCE_DIR}/dist/debian/changelog qpx_changelog_trailer
     REGEX "^ -- .*  [A-Z][a-z][a-z], [0-9][0-9] [A-Z][a-z][a-z] [0-9][0-9][0-9][0-9] " LIMIT_COUNT 1)
if(qpx_changelog_trailer MATCHES ", ([0-9][0-9]) ([A-Z][a-z][a-z]) ([0-9][0-9][0-9][0-9]) ")
    set(qpx_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
    list(FIND qpx_months ${CMAKE_MATCH_2} qpx_month)
    math(EXPR qpx_month "${qpx_month} + 1")
    if(qpx_month LESS 10)
        set(qpx_month "0${qpx_month}")
    endif()
    set(QPX_RELEASE_DATE "${CMAKE_MATCH_3}-${qpx_month}-${CMAKE_MATCH_1}")
else()
    message(FATAL_ERROR "dist/debian/changelog: no dated trailer line in the newest entry")
endif()

set(CPACK_PACKAGE_NAME qpx)
set(CPACK_PACKAGE_VENDOR Norvelt)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QPX_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${QPX_HOMEPAGE}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "operator's program for the LKT-DN7 weighing instrument")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${PROJECT_SOURCE_DIR}/dist/debian/description)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(CPACK_SOURCE_IGNORE_FILES "/\\\\.git/" "/build[^/]*/" "/\\\\.run/")

if(WIN32)
    set(CPACK_GENERATOR NSIS ZIP)
    set(CPACK_PACKAGE_FILE_NAME qpx-${PROJECT_VERSION}-win64)
    set(CPACK_PACKAGE_INSTALL_DIRECTORY QPX)
    set(CPACK_PACKAGE_EXECUTABLES qpx QPX)
    set(CPACK_NSIS_PACKAGE_NAME QPX)
    set(CPACK_NSIS_DISPLAY_NAME "QPX ${PROJECT_VERSION}")
    set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/dist/windows/qpx.ico)
    set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/dist/windows/qpx.ico)
    set(CPACK_NSIS_INSTALLED_ICON_NAME qpx.exe)
    set(CPACK_NSIS_URL_INFO_ABOUT "${QPX_HOMEPAGE}")
    set(CPACK_NSIS_CONTACT "${QPX_MAINTAINER}")
    set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
    set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
    # Program Files\QPX on 64-bit Windows; "QPX" in the Start menu; the options page offers a
    # desktop shortcut and qpx-cli on the PATH. The uninstaller is registered in "Programs and
    # Features" with the display name, the version and the program's icon.
    set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
    set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY QPX)
    set(CPACK_NSIS_MODIFY_PATH ON)
    set(CPACK_CREATE_DESKTOP_LINKS qpx)
    set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
    set(CPACK_NSIS_UNINSTALL_NAME Uninstall)
    set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
    # A 64-bit setup program for the 64-bit programs: it needs no 32-bit subsystem (WoW64 on
    # Windows, wine32 under Wine), and Unicode, so that folder names with Cyrillic letters
    # install whatever the system's code page.
    set(CPACK_NSIS_DEFINES "Unicode true\n  Target amd64-unicode")
else()
    set(CPACK_GENERATOR DEB)
    # The package installs where the build put its fixed paths (the manual's path).
    set(CPACK_PACKAGING_INSTALL_PREFIX "${CMAKE_INSTALL_PREFIX}")
    set(CPACK_STRIP_FILES ON)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION science)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
    # Shared libraries by dpkg-shlibdeps; besides them, what the program loads at run time:
    # Qt's own Russian texts (qtbase_ru.qm from Qt's translations folder, where the program
    # looks for them), and fonts metric-compatible with Arial for the report and the chart.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation2")
endif()

include(CPack)
