# Installation: the program in bin/, its data (font.tga) in share/bspwalk/, where the program
# looks after the base folder, a man page made from --help, the licences in share/doc/bspwalk/;
# and a Debian package of the same (cpack -G DEB) with its dependencies declared.
include(GNUInstallDirs)

install(TARGETS bspwalk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/font.tga DESTINATION ${CMAKE_INSTALL_DATADIR}/bspwalk)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt
              ${PROJECT_SOURCE_DIR}/tools/makefont/LICENSE-font.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The man page is the program's own --help and --version, put into man form by help2man.
find_program(HELP2MAN help2man)
if(HELP2MAN)
  set(manpage ${CMAKE_CURRENT_BINARY_DIR}/bspwalk.1)
  add_custom_command(
    OUTPUT ${manpage}
    COMMAND ${HELP2MAN} --no-info --section=1 --source=bspwalk
            "--name=fly through a Quake 3 BSP level" --output=${manpage} $<TARGET_FILE:bspwalk>
    DEPENDS bspwalk
    COMMENT "Writing the man page bspwalk.1 from --help")
  add_custom_target(bspwalk_manpage ALL DEPENDS ${manpage})
  install(FILES ${manpage} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
else()
  message(WARNING "help2man not found (scripts/install-deps installs it): no man page")
endif()

set(CPACK_PACKAGE_NAME bspwalk)
set(CPACK_PACKAGE_VENDOR "the bspwalk developers")
set(CPACK_PACKAGE_CONTACT "the bspwalk developers")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fly through Quake 3 BSP levels with OpenGL")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION games)
# The libraries it links, found by dpkg-shlibdeps; and the GL driver those libraries load, which
# no link names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libegl-mesa0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "openarena-data")
include(CPack)
