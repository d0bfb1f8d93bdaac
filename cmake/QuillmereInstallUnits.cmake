# Installs the textfile timer's units and defaults file, run at install time
# so that the paths inside the units are those of where the files go: the
# .deb's (/usr, with /etc and /lib/systemd/system) when CPack packages for
# /usr, the prefix's for an install step. An archive's staging tree stands
# for the prefix the build was configured with.
# Needs QUILLMERE_SOURCE_DIR, QUILLMERE_BINARY_DIR, QUILLMERE_CONFIGURED_PREFIX.
set(QUILLMERE_PREFIX "${CMAKE_INSTALL_PREFIX}")
if(QUILLMERE_PREFIX MATCHES "/_CPack_Packages/")
  set(QUILLMERE_PREFIX "${QUILLMERE_CONFIGURED_PREFIX}")
endif()
if(QUILLMERE_PREFIX STREQUAL "/usr")
  set(QUILLMERE_SYSCONFDIR /etc)
  set(sysconf_destination /etc/default)
  set(unit_destination /lib/systemd/system)
else()
  set(QUILLMERE_SYSCONFDIR "${QUILLMERE_PREFIX}/etc")
  set(sysconf_destination "${CMAKE_INSTALL_PREFIX}/etc/default")
  set(unit_destination "${CMAKE_INSTALL_PREFIX}/lib/systemd/system")
endif()
set(QUILLMERE_LIBDIR "${QUILLMERE_PREFIX}/lib")

set(units "${QUILLMERE_BINARY_DIR}/units")
configure_file("${QUILLMERE_SOURCE_DIR}/packaging/quillmere-textfile.service.in"
  "${units}/quillmere-textfile.service" @ONLY)
file(INSTALL DESTINATION "${unit_destination}" TYPE FILE FILES
  "${units}/quillmere-textfile.service"
  "${QUILLMERE_SOURCE_DIR}/packaging/quillmere-textfile.timer")
file(INSTALL DESTINATION "${sysconf_destination}" TYPE FILE
  RENAME quillmere FILES "${QUILLMERE_SOURCE_DIR}/packaging/quillmere.default")
