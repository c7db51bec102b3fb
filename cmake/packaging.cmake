# Installation (cmake --install, honouring --prefix and DESTDIR) and packages (cpack): a .deb
# and a .tar.gz on Linux, a .zip in the Windows build.
include(GNUInstallDirs)

# The packages carry the engine's own version, read from where the engine defines it.
file(STRINGS "${PROJECT_SOURCE_DIR}/src/uci/uci.h" TERVANE_VERSION_LINE
     REGEX "ENGINE_VERSION = \"[0-9.]+\"")
string(REGEX MATCH "[0-9]+(\\.[0-9]+)*" TERVANE_VERSION "${TERVANE_VERSION_LINE}")
if(NOT TERVANE_VERSION)
  message(FATAL_ERROR "No ENGINE_VERSION found in src/uci/uci.h")
endif()
# The changelog (Debian's format, installed with the package) starts with this version's
# entry, and the manual page is this version's.
file(STRINGS "${PROJECT_SOURCE_DIR}/doc/changelog" TERVANE_CHANGELOG_TOP LIMIT_COUNT 1)
if(NOT TERVANE_CHANGELOG_TOP MATCHES "^tervane \\(${TERVANE_VERSION}\\) ")
  message(FATAL_ERROR "doc/changelog does not start with an entry for ${TERVANE_VERSION}")
endif()
file(STRINGS "${PROJECT_SOURCE_DIR}/doc/tervane.6" TERVANE_MAN_TITLE REGEX "^\\.TH ")
if(NOT TERVANE_MAN_TITLE MATCHES "\"Tervane ${TERVANE_VERSION}\"")
  message(FATAL_ERROR "doc/tervane.6 is not the manual page of Tervane ${TERVANE_VERSION}")
endif()

set(CPACK_PACKAGE_NAME tervane)
set(CPACK_PACKAGE_VERSION ${TERVANE_VERSION})
set(CPACK_PACKAGE_VENDOR Orsolen)
# Not a real address: the project has none. The .invalid domain (RFC 2606) can never deliver.
set(CPACK_PACKAGE_CONTACT "Orsolen <orsolen@tervane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "UCI chess engine")
# The long description in lines of at most 80 characters, as Debian's tools want them.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "Tervane is a chess engine: a chess interface or a match manager starts it\n"
  "and talks to it over the Universal Chess Interface (UCI) protocol.\n"
  "It searches with iterative-deepening alpha-beta (null move, check\n"
  "extensions, killer and history move ordering, a quiescence search) over a\n"
  "hand-tuned evaluation, single-threaded, with no options and no files.\n"
  "A bench command gives the node count and speed that testing frameworks use.")
set(CPACK_STRIP_FILES ON)
# "make package_source": the sources only, without builds and installed test modules.
set(CPACK_SOURCE_GENERATOR TGZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/\\.git$" "/build[^/]*/" "/node_modules/" "/fuzz-out/")

if(WIN32)
  # A folder to unpack anywhere: the engine and its README side by side.
  install(TARGETS tervane RUNTIME DESTINATION .)
  install(FILES README.md DESTINATION .)
  set(CPACK_GENERATOR ZIP)
else()
  # games/, not bin/: Debian puts games and their engines in /usr/games (policy 11.11), and
  # the chess engines it ships (stockfish, gnuchess, toga2, ...) are there, beside the
  # interfaces that look for them; their manual pages are in section 6 like this one. A
  # packager who wants bin/ sets TERVANE_INSTALL_BINDIR.
  set(TERVANE_INSTALL_BINDIR games CACHE STRING "Where the engine goes under the prefix")
  install(TARGETS tervane RUNTIME DESTINATION ${TERVANE_INSTALL_BINDIR})

  # Manual page and changelog gzipped without name or time stamp (gzip -n): the same bytes
  # from every build, as Debian wants them.
  find_program(TERVANE_GZIP gzip REQUIRED)
  set(TERVANE_GZIPPED)
  foreach(doc tervane.6 changelog)
    add_custom_command(
      OUTPUT ${CMAKE_CURRENT_BINARY_DIR}/${doc}.gz
      COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/doc/${doc} ${doc}
      COMMAND ${TERVANE_GZIP} -9nf ${doc}
      DEPENDS ${PROJECT_SOURCE_DIR}/doc/${doc}
      WORKING_DIRECTORY ${CMAKE_CURRENT_BINARY_DIR}
      VERBATIM)
    list(APPEND TERVANE_GZIPPED ${CMAKE_CURRENT_BINARY_DIR}/${doc}.gz)
  endforeach()
  add_custom_target(tervane_docs ALL DEPENDS ${TERVANE_GZIPPED})
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/tervane.6.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man6)
  install(FILES README.md doc/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB TGZ)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION games)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  # The dependencies are the libraries the binary needs, as dpkg-shlibdeps finds them.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_SOURCE_DIR}/cmake/cpack_checks.cmake)
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  # lintian then finds no error and no warning. It notes, as information only, that the
  # binary keeps the compiler's .comment section (CPack's strip leaves it) and is built
  # without Debian's hardening flags (-D_FORTIFY_SOURCE, -Wl,-z,now): the package holds the
  # Release build that OpenBench and the speed measurements use, but position-independent
  # (TERVANE_PIE=ON), which costs the search nothing measurable and perft about a fifth.
  set(CPACK_TERVANE_PACKAGE_PIE ${TERVANE_PIE})
endif()

include(CPack)
