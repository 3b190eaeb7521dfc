# Assembles the Linux player bundle: the player, the Qt libraries and plugins it needs and what
# they need in turn, copied from the installed Debian packages, and a qt.conf.
#
#   cmake -DPLAYER=... [-DSOUND_MODULE=...] -DOUT=bin/linux-x86_64 -DQT_PLUGINS=... [-DSTRIP=strip]
#         -P linux_bundle.cmake
#
# OUT/torvana-player   the player, stripped; its DT_RPATH is $ORIGIN/lib
# OUT/modules/         its sound output module (Qt Multimedia), loaded once there is a sound
# OUT/lib/             every library it needs that a Linux desktop cannot be counted on to have
#                      in this version, each a plain file under the name programs ask for
# OUT/plugins/         platforms (xcb, Wayland) and what the Wayland platform loads
# OUT/qt.conf          the Qt paths inside the bundle
# OUT/licenses/        the Debian copyright file of each package a copied file comes from
#
# Left to the system (the usual exclusions of bundled Linux programs): the C library and the
# dynamic loader, which fix what the system runs; the C++ and GCC run-time libraries, which every
# desktop has in a version at least as new as the C library this one needs, and which a graphics
# driver of the system may need newer than ours in the same process; the graphics drivers'
# libraries (GL, EGL, GLX, DRM, GBM, Vulkan); the X11, xcb and Wayland client libraries and the
# font stack (fontconfig, FreeType, HarfBuzz, expat, zlib), which belong to the display and the
# system's font configuration; the clients of the system's services (sound server, message bus,
# systemd, udev, ALSA).

cmake_minimum_required(VERSION 3.25)

foreach(var PLAYER OUT QT_PLUGINS)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "linux_bundle.cmake: ${var} is not set")
  endif()
endforeach()

# Names (as programs ask for them) that stay the system's. Their own dependencies are not
# followed either.
set(system_libraries
  "^ld-linux" "^libc\\.so" "^libm\\.so" "^libmvec\\.so" "^libdl\\.so" "^libpthread\\.so" "^librt\\.so"
  "^libresolv\\.so" "^libutil\\.so" "^libanl\\.so" "^libnsl\\.so" "^libnss_" "^libthread_db\\.so"
  "^libstdc\\+\\+\\.so" "^libgcc_s\\.so"
  "^libGL\\.so" "^libGLX" "^libEGL" "^libOpenGL" "^libGLdispatch" "^libGLES" "^libglapi" "^libdrm"
  "^libgbm" "^libvulkan"
  "^libX11\\.so" "^libX11-xcb" "^libxcb\\.so" "^libXau" "^libXdmcp" "^libXext" "^libXrender" "^libXi\\.so"
  "^libSM\\.so" "^libICE\\.so" "^libwayland-"
  "^libfontconfig" "^libfreetype" "^libharfbuzz" "^libexpat" "^libz\\.so"
  "^libpulse" "^libasound" "^libdbus-1" "^libsystemd" "^libudev")

# The plugins the player needs: X11 and Wayland, and what the Wayland platform loads (its shell
# integration and window decorations); JPEG and ICO for pictures that are neither GIF (our own
# reader) nor BMP or PNG (built into Qt). Sounds play through Qt Multimedia's own output to the
# sound server, which needs no media plugin.
set(wanted_plugins
  platforms/libqxcb.so
  imageformats/libqjpeg.so
  imageformats/libqico.so
  platforms/libqwayland-generic.so
  wayland-shell-integration/libxdg-shell.so
  wayland-decoration-client/libbradient.so)

# A fresh bundle each time: a library left from an earlier run must not be found instead of the
# system's one while the dependencies are resolved.
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}/lib" "${OUT}/plugins")

set(plugins)
set(originals)  # the system's files the bundle copies
foreach(p ${wanted_plugins})
  if(EXISTS "${QT_PLUGINS}/${p}")
    get_filename_component(kind "${p}" DIRECTORY)
    file(MAKE_DIRECTORY "${OUT}/plugins/${kind}")
    file(COPY_FILE "${QT_PLUGINS}/${p}" "${OUT}/plugins/${p}")
    list(APPEND plugins "${OUT}/plugins/${p}")
    list(APPEND originals "${QT_PLUGINS}/${p}")
  elseif(p MATCHES "xcb")
    message(FATAL_ERROR "The Qt platform plugin ${QT_PLUGINS}/${p} is missing (Debian: qt6-qpa-plugins)")
  else()
    message(WARNING "${QT_PLUGINS}/${p} is missing (Debian: qt6-wayland): the Linux player is bundled without it")
  endif()
endforeach()

# Our own programs, stripped of what only a debugger needs.
set(ours "${OUT}/torvana-player")
file(COPY_FILE "${PLAYER}" "${OUT}/torvana-player")
if(SOUND_MODULE)
  get_filename_component(module_name "${SOUND_MODULE}" NAME)
  file(MAKE_DIRECTORY "${OUT}/modules")
  file(COPY_FILE "${SOUND_MODULE}" "${OUT}/modules/${module_name}")
  # The module's libraries come through the player's run path, as every library of the process.
  file(RPATH_REMOVE FILE "${OUT}/modules/${module_name}")
  list(APPEND ours "${OUT}/modules/${module_name}")
  list(APPEND plugins "${OUT}/modules/${module_name}")
endif()
if(STRIP)
  foreach(file ${ours})
    execute_process(COMMAND "${STRIP}" --strip-unneeded "${file}" RESULT_VARIABLE stripped)
    if(NOT stripped EQUAL 0)
      message(FATAL_ERROR "${STRIP} failed on ${file}")
    endif()
  endforeach()
endif()

file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES "${OUT}/torvana-player"
  MODULES ${plugins}
  RESOLVED_DEPENDENCIES_VAR resolved
  UNRESOLVED_DEPENDENCIES_VAR unresolved
  PRE_EXCLUDE_REGEXES ${system_libraries}
  DIRECTORIES /lib/x86_64-linux-gnu /usr/lib/x86_64-linux-gnu /lib64 /usr/lib64 /lib /usr/lib)
if(unresolved)
  message(FATAL_ERROR "Libraries of the Linux player not found: ${unresolved}")
endif()

set(names)
foreach(library ${resolved})
  get_filename_component(name "${library}" NAME)
  if(name IN_LIST names)
    continue()  # the same library found through /lib and /usr/lib
  endif()
  list(APPEND names "${name}")
  # A plain file under the asked-for name: a disc's file systems need not keep links.
  file(REAL_PATH "${library}" real)
  file(COPY_FILE "${real}" "${OUT}/lib/${name}")
  list(APPEND originals "${real}")
  # A library with a run path of its own would look for its dependencies there and in the
  # system's folders, not through the player's run path.
  file(READ_ELF "${OUT}/lib/${name}" RUNPATH runpath RPATH rpath)
  if(runpath OR rpath)
    file(RPATH_REMOVE FILE "${OUT}/lib/${name}")
  endif()
endforeach()
list(LENGTH names count)

# The licence of every Debian package a bundled file comes from travels with it, in licenses/.
find_program(DPKG_QUERY dpkg-query)
if(DPKG_QUERY)
  set(paths)
  foreach(file ${originals})
    # dpkg knows a file by the path its package installed, /usr/lib or /lib.
    string(REGEX REPLACE "^/usr/lib/" "/lib/" other "${file}")
    if(other STREQUAL file)
      string(REGEX REPLACE "^/lib/" "/usr/lib/" other "${file}")
    endif()
    list(APPEND paths "${file}" "${other}")
  endforeach()
  execute_process(COMMAND ${DPKG_QUERY} -S ${paths} OUTPUT_VARIABLE owners ERROR_QUIET)
  string(REGEX MATCHALL "(^|\n)[^:\n]+" packages "${owners}")
  file(MAKE_DIRECTORY "${OUT}/licenses")
  set(missing)
  foreach(package ${packages})
    string(STRIP "${package}" package)
    if(EXISTS "/usr/share/doc/${package}/copyright")
      file(COPY_FILE "/usr/share/doc/${package}/copyright" "${OUT}/licenses/${package}")
    else()
      list(APPEND missing ${package})
    endif()
  endforeach()
  if(missing)
    message(WARNING "No copyright file for: ${missing}")
  endif()
else()
  message(WARNING "dpkg-query missing: the Linux player bundle has no licence files")
endif()

file(WRITE "${OUT}/qt.conf" "[Paths]\nPrefix = .\nLibraries = lib\nPlugins = plugins\n")
message(STATUS "Linux player bundle: ${count} libraries, plugins: ${wanted_plugins}")
