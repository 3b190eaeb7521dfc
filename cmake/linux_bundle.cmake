# Assembles the Linux player bundle: the player and the libraries it needs that a Linux desktop
# cannot be counted on to have, copied from the installed Debian packages.
#
#   cmake -DPLAYER=... -DOUT=bin/linux-x86_64 [-DSTRIP=strip] -P linux_bundle.cmake
#
# OUT/torvana-player   the player, stripped; its DT_RPATH is $ORIGIN/lib
# OUT/lib/             what the player (SDL2 linked in) needs beyond the system's, each a plain
#                      file under the name programs ask for
# OUT/licenses/        the Debian copyright file of each package a copied file comes from
#
# Left to the system (the usual exclusions of bundled Linux programs): the C library and the
# dynamic loader, which fix what the system runs; the GCC run-time library; the graphics
# drivers' libraries (GL, EGL, DRM, GBM, Vulkan); the X11, xcb and Wayland client libraries and
# the keyboard map library, which belong to the display; the clients of the system's services
# (sound server, ALSA, message bus, systemd, udev). The player links its C++ run time in.

cmake_minimum_required(VERSION 3.25)

foreach(var PLAYER OUT)
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
  "^libXcursor" "^libXfixes" "^libXrandr" "^libxkbcommon" "^libSM\\.so" "^libICE\\.so" "^libwayland-"
  "^libpulse" "^libasound" "^libdbus-1" "^libsystemd" "^libudev")

# A fresh bundle each time: a library left from an earlier run must not be found instead of the
# system's one while the dependencies are resolved.
file(REMOVE_RECURSE "${OUT}")
file(MAKE_DIRECTORY "${OUT}/lib")

set(originals)  # the system's files the bundle copies
# Our own program, stripped of what only a debugger needs.
file(COPY_FILE "${PLAYER}" "${OUT}/torvana-player")
if(STRIP)
  execute_process(COMMAND "${STRIP}" --strip-unneeded "${OUT}/torvana-player" RESULT_VARIABLE stripped)
  if(NOT stripped EQUAL 0)
    message(FATAL_ERROR "${STRIP} failed on ${OUT}/torvana-player")
  endif()
endif()

file(GET_RUNTIME_DEPENDENCIES
  EXECUTABLES "${OUT}/torvana-player"
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
  # Linked or built into the player: SDL2, stb (the font and picture readers) and the menu's
  # font, made from DejaVu Sans.
  list(APPEND packages libsdl2-2.0-0 libstb-dev fonts-dejavu-core)
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

message(STATUS "Linux player bundle: ${count} libraries: ${names}")
