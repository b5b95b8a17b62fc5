# Installing Tovel, and its Debian package.
#
# The program finds its series files, help page, read-me file and settings
# beside itself, so everything of its own goes into one program folder,
# <prefix>/lib/tovel, and <prefix>/bin/tovel is a relative symbolic link to
# the program there. The desktop entry, the icons and the manual page go to
# the usual places under <prefix>/share.
#
#   cmake --install build/release --prefix ~/.local     per user
#   sudo cmake --install build/release --prefix /usr/local
#   cpack -G DEB (in the build folder)                   tovel_2.00-1_amd64.deb

set(TOVEL_PROGRAM_FOLDER lib/tovel)
set(_tovel_staging "${PROJECT_BINARY_DIR}/packaging")
file(MAKE_DIRECTORY "${_tovel_staging}/bin")

set(_tovel_data_permissions OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(_tovel_dir_permissions
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The program folder.
install(TARGETS tovel tovelcheck tovelconv tovel-search RUNTIME DESTINATION ${TOVEL_PROGRAM_FOLDER})
foreach(_dir units tovelhelp)
  install(DIRECTORY "${PROJECT_SOURCE_DIR}/${_dir}" DESTINATION ${TOVEL_PROGRAM_FOLDER}
    FILE_PERMISSIONS ${_tovel_data_permissions}
    DIRECTORY_PERMISSIONS ${_tovel_dir_permissions}
    PATTERN ".*" EXCLUDE)
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/readme.txt" DESTINATION ${TOVEL_PROGRAM_FOLDER} OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/ui/icons/tovel.svg" DESTINATION ${TOVEL_PROGRAM_FOLDER})
install(FILES "${PROJECT_SOURCE_DIR}/ui/icons/tovel-256.png" DESTINATION ${TOVEL_PROGRAM_FOLDER}
  RENAME tovel.png)

# The command: a relative link, so the installed tree can move (DESTDIR, the
# package) and the program, which follows /proc/self/exe, still finds its
# folder. The link is made here and installed as a link.
# tovelcheck, the series-file checker, checks the units folder beside itself
# when given no file, and tovelconv converts with the units folder beside
# itself, so they live in the program folder too.
foreach(_command tovel tovelcheck tovelconv)
  file(CREATE_LINK "../${TOVEL_PROGRAM_FOLDER}/${_command}" "${_tovel_staging}/bin/${_command}" SYMBOLIC)
  install(FILES "${_tovel_staging}/bin/${_command}" DESTINATION bin)
endforeach()

# The application menu. The entry starts "tovel" from the PATH when the
# command lands in /usr/bin or /usr/local/bin; any other prefix (~/.local)
# gets the command's full path, since a session started before the first
# install does not have <prefix>/bin on its PATH yet. (A path with a blank
# is quoted; one with a character the desktop entry reserves keeps "tovel".)
install(CODE "
  set(_entry \"${PROJECT_BINARY_DIR}/packaging/tovel.desktop\")
  file(READ \"${PROJECT_SOURCE_DIR}/packaging/tovel.desktop\" _text)
  set(_command \"\${CMAKE_INSTALL_PREFIX}/bin/tovel\")
  if(NOT CMAKE_INSTALL_PREFIX MATCHES \"^/usr(/local)?/?$\"
     AND NOT _command MATCHES \"[\\\"`$%\\\\\\\\]\")
    if(_command MATCHES \"[ \\t]\")
      set(_command \"\\\"\${_command}\\\"\")
    endif()
    string(REPLACE \"\\nExec=tovel\\n\" \"\\nExec=\${_command}\\n\" _text \"\${_text}\")
  endif()
  file(WRITE \"\${_entry}\" \"\${_text}\")
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/applications\" TYPE FILE
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES \"\${_entry}\")
")
install(FILES "${PROJECT_SOURCE_DIR}/ui/icons/tovel.svg"
  DESTINATION share/icons/hicolor/scalable/apps)
foreach(_size 16 32 48 64 128 256)
  install(FILES "${PROJECT_SOURCE_DIR}/ui/icons/tovel-${_size}.png"
    DESTINATION share/icons/hicolor/${_size}x${_size}/apps RENAME tovel.png)
endforeach()

# The desktop's search: tovel-search, which the session bus starts when
# GNOME Shell or KRunner first asks (its service file names the program by
# its full installed path), and how each desktop finds it.
install(CODE "
  set(_service \"${PROJECT_BINARY_DIR}/packaging/org.example.tovel.SearchProvider.service\")
  set(TOVEL_SEARCH_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/${TOVEL_PROGRAM_FOLDER}/tovel-search\")
  if(TOVEL_SEARCH_PROGRAM MATCHES \"[ \t]\")
    set(TOVEL_SEARCH_PROGRAM \"\\\"\${TOVEL_SEARCH_PROGRAM}\\\"\")
  endif()
  configure_file(\"${PROJECT_SOURCE_DIR}/packaging/org.example.tovel.SearchProvider.service\" \"\${_service}\" @ONLY)
  file(INSTALL DESTINATION \"\${CMAKE_INSTALL_PREFIX}/share/dbus-1/services\" TYPE FILE
    PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES \"\${_service}\")
")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/org.example.tovel.SearchProvider.ini"
  DESTINATION share/gnome-shell/search-providers PERMISSIONS ${_tovel_data_permissions})
install(FILES "${PROJECT_SOURCE_DIR}/packaging/org.example.tovel.SearchProvider.krunner.desktop"
  DESTINATION share/krunner/dbusplugins RENAME org.example.tovel.SearchProvider.desktop
  PERMISSIONS ${_tovel_data_permissions})

# What software centres list: the AppStream metadata of the desktop entry.
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/packaging/org.example.tovel.metainfo.xml")
configure_file("${PROJECT_SOURCE_DIR}/packaging/org.example.tovel.metainfo.xml"
  "${_tovel_staging}/org.example.tovel.metainfo.xml" @ONLY)
install(FILES "${_tovel_staging}/org.example.tovel.metainfo.xml" DESTINATION share/metainfo
  PERMISSIONS ${_tovel_data_permissions})

# Compressed documents (gzip -9n: no name or time stamp inside, so the
# package is the same at every build).
find_program(TOVEL_GZIP gzip)
function(_tovel_gzip source output)
  if(TOVEL_GZIP)
    execute_process(COMMAND "${TOVEL_GZIP}" -9nc "${source}" OUTPUT_FILE "${output}"
      RESULT_VARIABLE _result)
    if(NOT _result EQUAL 0)
      message(FATAL_ERROR "gzip ${source} failed")
    endif()
  endif()
endfunction()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
  "${PROJECT_SOURCE_DIR}/packaging/tovel.1" "${PROJECT_SOURCE_DIR}/packaging/tovelcheck.1"
  "${PROJECT_SOURCE_DIR}/packaging/tovelconv.1"
  "${PROJECT_SOURCE_DIR}/packaging/changelog.Debian")

foreach(_page tovel tovelcheck tovelconv)
  _tovel_gzip("${PROJECT_SOURCE_DIR}/packaging/${_page}.1" "${_tovel_staging}/${_page}.1.gz")
  install(FILES "${_tovel_staging}/${_page}.1.gz" DESTINATION share/man/man1 OPTIONAL)
endforeach()

# tovelconv's completion for bash, where bash-completion loads it on demand
# (for a prefix of one's own it looks in <prefix>/share too, beside the bin
# folder on the PATH).
install(FILES "${PROJECT_SOURCE_DIR}/packaging/tovelconv.bash-completion"
  DESTINATION share/bash-completion/completions RENAME tovelconv)

# Debian's own documents go into the package only, not into a plain install.
configure_file("${PROJECT_SOURCE_DIR}/packaging/copyright" "${_tovel_staging}/copyright" @ONLY)
configure_file("${PROJECT_SOURCE_DIR}/packaging/changelog.Debian"
  "${_tovel_staging}/changelog.Debian" @ONLY)
_tovel_gzip("${_tovel_staging}/changelog.Debian" "${_tovel_staging}/changelog.Debian.gz")
install(FILES "${_tovel_staging}/copyright" "${_tovel_staging}/changelog.Debian.gz"
  DESTINATION share/doc/tovel COMPONENT debian EXCLUDE_FROM_ALL OPTIONAL)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/lintian-overrides"
  DESTINATION share/lintian/overrides RENAME tovel COMPONENT debian EXCLUDE_FROM_ALL)

# The Debian package. cpack installs what the build made; it builds nothing
# itself (the package test runs it beside running tests).
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tovel)
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_VENDOR "Tovel developers")
set(CPACK_PACKAGE_CONTACT "Tovel developers <${TOVEL_AUTHOR_MAIL}>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop unit converter with a Japanese interface")
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified debian)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TOVEL_AUTHOR_URL}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Qt's own texts (the value box's context menu, standard buttons) in Japanese.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n")
# Without a Japanese font every caption is a row of boxes; without
# xdg-open, help (F1) and the About window's links open nothing.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk | fonts-ipafont-gothic, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
"Tovel converts a value between the units of one series: length, area,
volume, mass, time, speed, temperature, pressure, energy, power, data size,
angle, force, and number bases from 2 to 36. Each series is a small text
file, so series can be added or changed without building the program.
.
Tovel は長さ・面積・体積・質量・時間・速度・温度・圧力・エネルギー・仕事率・
データ量・角度・力の単位と、2 進数から 36 進数までを変換するデスクトップ用の
単位変換ツールです。単位系はテキストファイルなので、プログラムを作り直さずに
追加や変更ができます。")
include(CPack)
