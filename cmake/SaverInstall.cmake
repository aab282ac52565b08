# Installation (make install), the Debian package (cpack -G DEB), the
# manuals and the shell completion, and the tests that check them.
#
# Layout under the prefix:
#   bin/saver-pack, bin/saver-inspect, bin/saver-effects
#   libexec/saver/saver              the player saver-pack copies
#   libexec/saver/quiet-places.scr   the demo saver, for the daemons
#   /usr/libexec/xscreensaver/saver-quiet-places  a link to it (prefix /usr only)
#   share/applications/screensavers/saver-quiet-places.desktop
#   share/man/man1/saver-{pack,inspect,effects}.1.gz, share/man/man6/saver.6.gz
#   share/bash-completion/completions/saver-{pack,inspect,effects}
#   share/doc/saver/ README.md, docs, copyright, changelog.gz
include(GNUInstallDirs)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(saver_shipping TRUE)
if(SAVER_SANITIZE OR SAVER_TSAN OR SAVER_FUZZ)
  set(saver_shipping FALSE)
endif()
set(pkg_dir ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${pkg_dir})

if(NOT TARGET saver OR NOT TARGET saver-pack)
  return()
endif()

# The player every saver carries, without its debug information: that goes
# to tools/saver.debug, which the stripped player names for debuggers.
# saver-pack in the build tree copies this one by default.
set(stripped_player ${CMAKE_BINARY_DIR}/tools/saver)
add_custom_command(OUTPUT ${stripped_player} ${stripped_player}.debug
  COMMAND ${CMAKE_OBJCOPY} --only-keep-debug $<TARGET_FILE:saver> saver.debug
  COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=saver.debug $<TARGET_FILE:saver> saver
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}/tools
  DEPENDS saver
  COMMENT "Splitting the player's debug information into tools/saver.debug")
add_custom_target(saver-stripped ALL DEPENDS ${stripped_player})
if(TARGET test_tools)
  add_dependencies(test_tools saver-stripped)
  # The tool tests reach saver-pack's workings directly too.
  target_link_libraries(test_tools PRIVATE saver_pack_core)
endif()

# Manuals, compressed as Debian wants them.
set(manuals saver.6 saver-pack.1 saver-inspect.1 saver-effects.1)
set(manual_archives "")
foreach(page ${manuals})
  add_custom_command(OUTPUT ${pkg_dir}/${page}.gz
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/man/${page} > ${pkg_dir}/${page}.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/man/${page}
    COMMENT "Compressing the manual ${page}")
  list(APPEND manual_archives ${pkg_dir}/${page}.gz)
endforeach()
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${pkg_dir}/changelog @ONLY)
add_custom_command(OUTPUT ${pkg_dir}/changelog.gz
  COMMAND gzip -9n -c ${pkg_dir}/changelog > ${pkg_dir}/changelog.gz
  DEPENDS ${pkg_dir}/changelog)
add_custom_target(saver-manuals ALL DEPENDS ${manual_archives} ${pkg_dir}/changelog.gz)

install(TARGETS saver-pack saver-inspect saver-effects RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS saver RUNTIME DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/saver)
foreach(page ${manuals})
  string(REGEX MATCH "[0-9]$" section ${page})
  install(FILES ${pkg_dir}/${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man${section})
endforeach()
install(FILES completion/saver-pack completion/saver-inspect completion/saver-effects
        DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
install(FILES README.md docs/manifest.md docs/settings.md docs/performance.md
              packaging/copyright ${pkg_dir}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DOCDIR})

# The demo saver, installed where the screen-saver daemons find it. It is
# packed from the stripped player, so it carries no debug information; the
# desktop entry names it by the prefix it is installed under.
if(saver_shipping)
  set(demo_saver ${pkg_dir}/quiet-places.scr)
  file(GLOB demo_assets CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/assets/*)
  add_custom_command(OUTPUT ${demo_saver}
    COMMAND saver-pack -q --player ${stripped_player} -o ${demo_saver}
            ${PROJECT_SOURCE_DIR}/assets/demo.toml
    DEPENDS saver-pack ${stripped_player} ${demo_assets}
    COMMENT "Packing the demo saver quiet-places.scr")
  add_custom_target(saver-demo-saver ALL DEPENDS ${demo_saver})
  install(PROGRAMS ${demo_saver} DESTINATION ${CMAKE_INSTALL_LIBEXECDIR}/saver)
  # mate-screensaver runs only programs in its own folders and XScreenSaver's:
  # installed under /usr (the package), the saver is linked into the latter
  # and its desktop entry runs it from there. Under another prefix the entry
  # runs it where it is (the README tells how to link it by hand). The prefix
  # is the one installed to, which cpack sets.
  install(CODE "
    set(SAVER \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_LIBEXECDIR}/saver/quiet-places.scr\")
    set(RUN \"\${SAVER}\")
    if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
      set(RUN /usr/libexec/xscreensaver/saver-quiet-places)
      file(MAKE_DIRECTORY \"\$ENV{DESTDIR}/usr/libexec/xscreensaver\")
      file(CREATE_LINK ../saver/quiet-places.scr \"\$ENV{DESTDIR}\${RUN}\" SYMBOLIC)
    endif()
    set(TITLE \"Quiet Places\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/screensaver.desktop.in\"
                   \"${pkg_dir}/saver-quiet-places.desktop\" @ONLY)
    file(INSTALL \"${pkg_dir}/saver-quiet-places.desktop\"
         DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/applications/screensavers\")
  ")
endif()

# The Debian package: cpack -G DEB in the build tree. Its dependencies are
# those dpkg-shlibdeps finds in the linked libraries, plus what is loaded at
# run time (libmpv, opened with dlopen) and the fonts the captions need; the
# debug information goes into a separate -dbgsym package.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME saver)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The saver developers")
set(CPACK_PACKAGE_CONTACT "The saver developers <saver@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "slideshow screen saver with transitions and music")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"A saver is one generic player executable with pictures, music, captions
and settings appended. It shows the pictures full screen, each coming in
through one of 116 transition effects, while the music plays, and runs
under XScreenSaver, xsecurelock, mate-screensaver and xfce4-screensaver.

This package holds the player, a demo saver, and the tools that make
savers from pictures or a TOML manifest (saver-pack), look inside them
(saver-inspect) and render the transitions (saver-effects).")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libmpv2, fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, fonts-wine, qt6-wayland")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "xscreensaver | mate-screensaver | xsecurelock | xss-lock | swayidle")
set(CPACK_DEBIAN_DEBUGINFO_PACKAGE ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_SET_DESTDIR ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/packaging/finish-dbgsym.cmake)
include(CPack)

if(SAVER_TESTS)
  # What is built from the install prefix lives in one source file: no
  # compile command carries it, so `make install PREFIX=...` with a new
  # prefix recompiles that file alone.
  if(CMAKE_GENERATOR MATCHES "Ninja")
    add_test(NAME PrefixInOneFile
      COMMAND sh -c "! ${CMAKE_MAKE_PROGRAM} -C '${CMAKE_BINARY_DIR}' -t commands | grep -e -DSAVER_INFO_URL -e -DSAVER_PROJECT_URL -e -DSAVER_SYSTEM_DIR")
  endif()
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  # The manuals render without a warning and say what --help says.
  add_test(NAME Manuals COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/install/check_manuals.py
           ${PROJECT_SOURCE_DIR}/man ${CMAKE_BINARY_DIR}/tools)
  # The completion scripts load in bash and complete what the tools accept.
  add_test(NAME BashCompletion COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/completion_test.sh
           ${PROJECT_SOURCE_DIR}/completion ${CMAKE_BINARY_DIR}/tools)
  # The package builds, holds what it should, and its tools run from a
  # scratch root it is unpacked into.
  if(saver_shipping)
    add_test(NAME DebianPackage COMMAND bash ${PROJECT_SOURCE_DIR}/tests/install/package_test.sh
             ${CMAKE_BINARY_DIR} ${PROJECT_SOURCE_DIR})
    set_tests_properties(DebianPackage PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
  endif()
endif()
