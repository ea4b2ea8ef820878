# Debian packages through CPack, one per component:
#   orvana-cli  the command-line tool (component "cli"; no Qt)
#   orvana      the desktop application (component "gui")
# scripts/build-packages.sh configures a release tree and runs cpack.
set(CPACK_PACKAGE_NAME orvana)
set(CPACK_PACKAGE_VENDOR "The Orvana team")
set(CPACK_PACKAGE_CONTACT "The Orvana team <team@orvana.example.org>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_HOMEPAGE_URL "https://orvana.example.org")
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_CURRENT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
# The package trees get 0755 folders whatever the umask of the build.
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_COMPONENTS_ALL cli)
if(ORVANA_BUILD_GUI)
  list(APPEND CPACK_COMPONENTS_ALL gui)
endif()

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION web)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

set(CPACK_DEBIAN_CLI_PACKAGE_NAME orvana-cli)
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "command-line generator of small static web sites
Orvana builds mini-sites: a handful of static HTML pages cut out of one long
text. A project holds a site title, a page-size window, an output folder, an
HTML template with placeholders, an advertising block, a stylesheet, a list of
link addresses and the whole text.

orvana-cli creates projects from text files, shows them and builds their
sites: it cuts the text into pages at paragraph and sentence ends, builds a
menu and a pagination bar for every page, turns randomly chosen words into
links to the addresses and writes index.html, the numbered pages and
style.css. It needs no graphical libraries, so it runs on servers and in
scripts. The desktop application is in the package orvana.")

set(CPACK_DEBIAN_GUI_PACKAGE_NAME orvana)
# The desktop application carries its own copy of the engine; the command-line
# tool is a useful companion for the same project files, not a requirement.
set(CPACK_DEBIAN_GUI_PACKAGE_RECOMMENDS orvana-cli)
# Qt's own texts (file dialogs, the folder chooser, context menus) in Russian,
# like the program's; the libraries themselves come from dpkg-shlibdeps.
set(CPACK_DEBIAN_GUI_PACKAGE_DEPENDS qt6-translations-l10n)
set(CPACK_COMPONENT_GUI_DESCRIPTION
    "desktop generator of small static web sites
Orvana builds mini-sites: a handful of static HTML pages cut out of one long
text. A project holds a site title, a page-size window, an output folder, an
HTML template with placeholders, an advertising block, a stylesheet, a list of
link addresses and the whole text.

This package holds the desktop application (Qt 6): several projects open at
once in one window, each on five tabs (settings, template, links, text and
generation), saved as plain-text project files (*.orvana). The generation
cuts the text into pages, builds a menu and a pagination bar for every page,
turns randomly chosen words into links and writes the site into its folder.")

include(CPack)
