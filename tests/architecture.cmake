# Checks the layering of the sources (README, "Layout"):
#
#   core      torvana_core and torvana_disc: src/project, src/gif (not gif/qt), src/disc, the
#             files of hotspot, staging and settings outside their ui/ sub-folders, and the
#             Windows player's files that torvana_core lists. No Qt header; includes only core
#             headers.
#   gif/qt    drawing and animating GIF pictures on Qt: core and gif/qt only.
#   toolkit   the windowing layer: core and toolkit only, nothing of the windows.
#   player    the menu player: core, gif/qt and player only, never the editor's windows.
#   hotspot, staging, settings (their ui/ sub-folders): the folder's windows, on core, gif/qt
#             and toolkit; never app, nor another folder's windows.
#   app       main(), the main window and its commands: anything of the editor.
#
# Only src/toolkit and the player's launcher may use the Qt classes that talk to the user or the
# desktop directly (message boxes, file dialogs, shell opening, processes). The main window's
# methods are implemented in src/app only. And no circle: the parts include one another
# without a cycle.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)

# The core files named by the folders' CMakeLists.txt.
set(core_stems "")
file(GLOB lists ${SOURCE_DIR}/src/*/CMakeLists.txt)
foreach(list IN LISTS lists)
  file(READ ${list} text)
  get_filename_component(folder ${list} DIRECTORY)
  file(RELATIVE_PATH folder ${SOURCE_DIR} ${folder})
  string(REGEX MATCHALL "(target_sources\\(torvana_core|add_library\\(torvana_disc)[^)]*\\)" blocks "${text}")
  foreach(block IN LISTS blocks)
    string(REGEX MATCHALL "[A-Za-z_0-9/]+\\.cpp" files "${block}")
    foreach(cpp IN LISTS files)
      string(REGEX REPLACE "\\.cpp$" "" stem ${cpp})
      list(APPEND core_stems ${folder}/${stem})
    endforeach()
  endforeach()
endforeach()

# part_of(file): the part a source file belongs to.
function(part_of f out)
  file(READ ${SOURCE_DIR}/${f} text)
  string(REGEX REPLACE "\\.(cpp|h)$" "" stem ${f})
  string(REGEX MATCH "^src/([a-z_]+)/" _ ${f})
  set(folder ${CMAKE_MATCH_1})
  if(f MATCHES "^src/gif/qt/")
    set(part gif/qt)
  elseif(f MATCHES "^src/(hotspot|staging|settings)/ui/")
    set(part ${folder})
  elseif(f MATCHES "^src/(project|gif|disc|hotspot|staging|settings)/" OR stem IN_LIST core_stems)
    set(part core)
  else()
    set(part ${folder})
  endif()
  set(${out} ${part} PARENT_SCOPE)
endfunction()

set(allowed_core core)
set(allowed_gif/qt core gif/qt)
set(allowed_toolkit core toolkit)
set(allowed_player core gif/qt player)
set(allowed_player_win core player_win)
foreach(folder hotspot staging settings)
  set(allowed_${folder} core gif/qt toolkit ${folder})
endforeach()
set(allowed_app core gif/qt toolkit hotspot staging settings app)

set(failures "")
set(parts "")
foreach(f IN LISTS sources)
  file(READ ${SOURCE_DIR}/${f} text)
  part_of(${f} part)
  list(APPEND parts ${part})
  if(NOT f MATCHES "^src/(toolkit/|player/launcher\\.)")
    string(REGEX MATCH "QMessageBox|QFileDialog|QDesktopServices|QProcess" hit "${text}")
    if(hit)
      string(APPEND failures "${f} uses ${hit} outside src/toolkit and the player's launcher\n")
    endif()
  endif()
  if(NOT f MATCHES "^src/app/" AND text MATCHES "TForm1::")
    string(APPEND failures "${f} implements the main window's methods outside src/app\n")
  endif()
  if(part STREQUAL "core")
    string(REGEX MATCH "#include <Q[A-Za-z]*>" hit "${text}")
    if(hit)
      string(APPEND failures "${f} is core code and includes ${hit}\n")
    endif()
  endif()
  string(REGEX MATCHALL "#include \"[^\"]+\"" includes "${text}")
  foreach(line IN LISTS includes)
    string(REGEX REPLACE "#include \"([^\"]+)\"" "src/\\1" header "${line}")
    if(NOT EXISTS ${SOURCE_DIR}/${header})
      continue()  # generated or beside the file
    endif()
    part_of(${header} to)
    if(DEFINED allowed_${part} AND NOT to IN_LIST allowed_${part})
      string(APPEND failures "${f} (${part}) includes ${header} (${to})\n")
    endif()
    if(NOT to STREQUAL part)
      list(APPEND edges_${part} ${to})
    endif()
  endforeach()
endforeach()

# No circle: take away parts that include no part left, until none can go.
list(REMOVE_DUPLICATES parts)
set(left ${parts})
set(progress TRUE)
while(progress)
  set(progress FALSE)
  foreach(part IN LISTS left)
    set(blocked FALSE)
    foreach(to IN LISTS edges_${part})
      if(to IN_LIST left)
        set(blocked TRUE)
      endif()
    endforeach()
    if(NOT blocked)
      list(REMOVE_ITEM left ${part})
      set(progress TRUE)
    endif()
  endforeach()
endwhile()
if(left)
  foreach(part IN LISTS left)
    set(targets ${edges_${part}})
    list(REMOVE_DUPLICATES targets)
    string(APPEND failures "circle: ${part} includes ${targets}\n")
  endforeach()
endif()

if(failures)
  message(FATAL_ERROR "Layering rules broken:\n${failures}")
endif()
list(LENGTH sources n)
message(STATUS "Layering rules hold for ${n} source files; parts: ${parts}")
