# A Debian package of the installed files: `cpack -G DEB` in the build folder.
set(CPACK_PACKAGE_NAME gompertz)
set(CPACK_PACKAGE_VENDOR "Proyecto Gompertz")
set(CPACK_PACKAGE_CONTACT "Proyecto Gompertz <gompertz@users.noreply.github.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "growth curve fitting with the Gompertz model")
set(CPACK_PACKAGE_DESCRIPTION
    "Fits growth curves to measured points. The main window takes up to 20\n"
    "points in a table and fits the Gompertz curve a*exp(-exp(-c*(t-t0))) by\n"
    "gradient descent or by hand. The analysis window fits the table, or data\n"
    "sets of up to 10 000 values read from files (with replicates or means and\n"
    "SD), by least squares in one click with any of four models (Gompertz,\n"
    "Gompertz with a baseline, logistic, Richards), with standard errors,\n"
    "profile-likelihood intervals, confidence and prediction bands, a comparison\n"
    "of the models and of two sets, and the plot and results for a report. The\n"
    "interface is in Spanish.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own Spanish texts (file dialogs, context menus), loaded at start-up.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/gompertz/gompertz")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Debian's copyright and changelog files, added to the staging tree only.
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debian_docs.cmake)
set(GOMPERTZ_SOURCE_DIR ${PROJECT_SOURCE_DIR})
set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack_project.cmake)
file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/cpack_project.cmake
     "set(GOMPERTZ_SOURCE_DIR \"${PROJECT_SOURCE_DIR}\")\n")
include(CPack)
