# Installation: the program in bin/, its data (font.tga) in share/bspwalk/, where the program
# looks after the base folder, a man page made from --help, the licences, copyright and changelog
# in share/doc/bspwalk/; and a Debian package of the same (cpack -G DEB) with its dependencies
# declared.
include(GNUInstallDirs)

# The man page is the program's own --help and --version, put into man form by help2man; it and
# the changelog are installed compressed (gzip -9n: no name or time inside), as Debian's policy
# asks. The copyright file is in Debian's machine-readable form.
find_program(HELP2MAN help2man)
find_program(GZIP gzip REQUIRED)
set(BSPWALK_PACKAGE_MAINTAINER "bspwalk developers <bspwalk@users.noreply.invalid>" CACHE STRING
    "Maintainer of the Debian package and its changelog entry: Name <address>")
string(TIMESTAMP BSPWALK_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/cmake/debian/changelog.in ${CMAKE_CURRENT_BINARY_DIR}/changelog @ONLY)
set(changelog ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(
  OUTPUT ${changelog}
  COMMAND ${GZIP} -9nkf ${CMAKE_CURRENT_BINARY_DIR}/changelog
  DEPENDS ${CMAKE_CURRENT_BINARY_DIR}/changelog)
set(manpage_gz "")
if(HELP2MAN)
  set(manpage ${CMAKE_CURRENT_BINARY_DIR}/bspwalk.1)
  set(manpage_gz ${manpage}.gz)
  add_custom_command(
    OUTPUT ${manpage_gz}
    COMMAND ${HELP2MAN} --no-info --section=1 --source=bspwalk
            "--name=fly through a Quake 3 BSP level" --output=${manpage} $<TARGET_FILE:bspwalk>
    COMMAND ${GZIP} -9nkf ${manpage}
    DEPENDS bspwalk
    COMMENT "Writing the man page bspwalk.1 from --help")
else()
  message(WARNING "help2man not found (scripts/install-deps installs it): no man page")
endif()
add_custom_target(bspwalk_manpage ALL DEPENDS ${changelog} ${manpage_gz})

# Installing first builds what it installs when a build before made only part of it (scripts/run
# builds the program alone): the program, the man page and the changelog. After a full build there is
# nothing to do here, so `ninja install` never starts a second build inside its own.
set(program $<TARGET_FILE:bspwalk>)
install(CODE "
  set(stale FALSE)
  foreach(file IN ITEMS \"${program}\" \"${changelog}\" \"${manpage_gz}\")
    if(NOT file STREQUAL \"\" AND NOT EXISTS \"\${file}\")
      set(stale TRUE)
    endif()
  endforeach()
  if(NOT \"${manpage_gz}\" STREQUAL \"\" AND \"${program}\" IS_NEWER_THAN \"${manpage_gz}\")
    set(stale TRUE)
  endif()
  if(stale)
    set(config)
    if(CMAKE_INSTALL_CONFIG_NAME)
      set(config --config \"\${CMAKE_INSTALL_CONFIG_NAME}\")
    endif()
    execute_process(COMMAND \"${CMAKE_COMMAND}\" --build \"${CMAKE_BINARY_DIR}\"
                            --target bspwalk bspwalk_manpage \${config} RESULT_VARIABLE built)
    if(NOT built EQUAL 0)
      message(FATAL_ERROR \"building bspwalk and its man page for the installation failed\")
    endif()
  endif()")
install(TARGETS bspwalk RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${PROJECT_SOURCE_DIR}/font.tga DESTINATION ${CMAKE_INSTALL_DATADIR}/bspwalk)
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/THIRD-PARTY-NOTICES.txt
              ${PROJECT_SOURCE_DIR}/tools/makefont/LICENSE-font.txt
        DESTINATION ${CMAKE_INSTALL_DOCDIR})
install(FILES ${changelog} ${PROJECT_SOURCE_DIR}/cmake/debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
if(HELP2MAN)
  install(FILES ${manpage_gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

set(CPACK_PACKAGE_NAME bspwalk)
set(CPACK_PACKAGE_VENDOR "the bspwalk developers")
set(CPACK_PACKAGE_CONTACT "${BSPWALK_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fly through Quake 3 BSP levels with OpenGL")
set(CPACK_PACKAGE_DESCRIPTION "\
bspwalk opens a Quake 3 level (IBSP version 46), from a file or by its name in\n\
the game's .pk3 archives, and flies through it with mouse and keyboard, drawing\n\
its surface images and lightmaps with OpenGL. Without a display it writes\n\
screenshots and overview pictures and reports what a level holds.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The libraries it links, found by dpkg-shlibdeps; and the GL driver those libraries load, which
# no link names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libgl1-mesa-dri, libegl-mesa0")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "openarena-data")
include(CPack)
