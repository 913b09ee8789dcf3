# SPDX-License-Identifier: MIT
# Installation (cmake --install, make install, and debian/rules for the
# Debian packages): the programs, their desktop entry, file type, icons and
# AppStream data, the manual pages, the language reference and the examples.
# Every destination is relative, so the same build installs under any prefix.
include(GNUInstallDirs)

# zan's player program is a helper, not a command of its own: it goes to
# <libexecdir>/zan, and zan looks for it there relative to its own folder.
set(ZAN_INSTALL_HELPERDIR ${CMAKE_INSTALL_LIBEXECDIR}/zan)
file(RELATIVE_PATH ZAN_PLAYER_DIR ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_FULL_LIBEXECDIR}/zan)
target_compile_definitions(zan PRIVATE ZAN_PLAYER_DIR="${ZAN_PLAYER_DIR}")

set(ZAN_DATA ${CMAKE_SOURCE_DIR}/data)
set(ZAN_APPSTREAM_ID io.github.zan.zanpad)

install(TARGETS zan RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS zan_play RUNTIME DESTINATION ${ZAN_INSTALL_HELPERDIR})
set(ZAN_MANUAL_PAGES zan)

if(TARGET zanpad)
  install(TARGETS zanpad RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  list(APPEND ZAN_MANUAL_PAGES zanpad)
  install(FILES ${ZAN_DATA}/zanpad.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${ZAN_DATA}/zan-mime.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME zan.xml)
  install(FILES ${ZAN_DATA}/${ZAN_APPSTREAM_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${ZAN_DATA}/zanpad.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

  # The bitmap icons are drawn from the SVG at build time.
  find_program(RSVG_CONVERT rsvg-convert)
  if(RSVG_CONVERT)
    set(icons)
    foreach(size 16 22 24 32 48 64 128 256)
      set(png ${CMAKE_BINARY_DIR}/icons/${size}x${size}/zanpad.png)
      add_custom_command(OUTPUT ${png}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}x${size}
        COMMAND ${RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${ZAN_DATA}/zanpad.svg
        DEPENDS ${ZAN_DATA}/zanpad.svg VERBATIM)
      list(APPEND icons ${png})
      install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    endforeach()
    add_custom_target(zanpad_icons ALL DEPENDS ${icons})
  else()
    message(WARNING "rsvg-convert not found (librsvg2-bin): only the SVG icon is installed")
  endif()
endif()

# Manual pages, compressed as Debian has them.
set(pages)
foreach(page ${ZAN_MANUAL_PAGES})
  set(gz ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND gzip -9n -c ${CMAKE_SOURCE_DIR}/docs/man/${page}.1 > ${gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/docs/man/${page}.1)
  list(APPEND pages ${gz})
  install(FILES ${gz} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${pages})

# Vim and Neovim: file type, syntax, :compiler zan and the ftplugin (made
# from the lexer's tables, see CMakeLists.txt). Debian's Vim looks in
# /usr/share/vim/vimfiles and nowhere under /usr/local; Debian's Neovim does
# not look there, but in /usr/share/nvim/site and /usr/local/share/nvim/site.
# So each gets its own copy: under the prefix /usr (the package, or make
# install PREFIX=/usr) both find them, under /usr/local Neovim does and Vim
# needs one line in the vimrc (docs/editors.md). The editors component alone
# (cmake --install BUILD --component editors) installs just these.
set(ZAN_VIM_RUNTIME_DIR ${CMAKE_INSTALL_DATADIR}/vim/vimfiles CACHE STRING "Where Vim's files for zan go (below the prefix)")
set(ZAN_NEOVIM_RUNTIME_DIR ${CMAKE_INSTALL_DATADIR}/nvim/site CACHE STRING "Where Neovim's files for zan go (below the prefix)")
foreach(kind ftdetect ftplugin syntax compiler)
  foreach(runtime ${ZAN_VIM_RUNTIME_DIR} ${ZAN_NEOVIM_RUNTIME_DIR})
    install(FILES ${ZAN_EDITOR_FILES_DIR}/vim/${kind}/zan.vim DESTINATION ${runtime}/${kind} COMPONENT editors)
  endforeach()
endforeach()

install(DIRECTORY ${CMAKE_SOURCE_DIR}/docs/reference/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/reference
  FILES_MATCHING PATTERN "*.md")
install(DIRECTORY ${CMAKE_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DOCDIR}/examples)

# The manual page and zan --help list the same options.
add_test(NAME manual_options COMMAND sh ${CMAKE_SOURCE_DIR}/tests/install/manual_options_test.sh
  $<TARGET_FILE:zan> ${CMAKE_SOURCE_DIR}/docs/man/zan.1)
# The Debian packages (debian/, make deb) install what this build installs,
# each file in one package; building and installing them is make deb-check's.
if(TARGET zanpad AND NOT ZAN_SANITIZE)
  add_test(NAME debian_files COMMAND Python3::Interpreter ${CMAKE_SOURCE_DIR}/tests/install/debian_files_test.py
    ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR})
endif()
