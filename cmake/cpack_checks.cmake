# Read by cpack for each package it makes (CPACK_PROJECT_CONFIG_FILE).
if(CPACK_GENERATOR STREQUAL "DEB")
  # Without dpkg-shlibdeps CPack would quietly make a .deb that depends on nothing.
  find_program(TERVANE_SHLIBDEPS dpkg-shlibdeps)
  if(NOT TERVANE_SHLIBDEPS)
    message(FATAL_ERROR "The .deb needs dpkg-shlibdeps to find its dependencies: apt-get install dpkg-dev")
  endif()
  # Debian ships position-independent executables (address space layout randomisation).
  if(NOT CPACK_TERVANE_PACKAGE_PIE)
    message(FATAL_ERROR "The .deb is made from a position-independent build: configure it with -DTERVANE_PIE=ON")
  endif()
endif()
