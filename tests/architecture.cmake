# Checks the layering of the sources (README, "Layout"):
#
#   core      torvana_core and torvana_disc: the folders below and the files of hotspot, staging
#             and settings outside their ui/ sub-folders. No Qt header. Inside the core every
#             folder is a part of its own with the parts it may include, lowest first:
#               project   project file and state, paths, files, text, integers
#               gif       the GIF model, reader and compositor            project
#               media     what a picture or sound is by its content, the  project, gif
#                         BMP/PNG/JPEG and WAV readers
#               menu      the menu engine of every player                 project, gif, media
#               settings  the settings file                               project
#               hotspot   the hotspot editor's hand-off files             project
#               staging   the build, its copy rule, the web page menu     project, gif, menu, media
#               disc      the disc check, tree, image and burn            ... media, staging
#               cli       the command line                                ... staging, settings, disc
#             The menu engine includes no platform header either (Windows, SDL, X11, POSIX); no
#             core part includes a player's folder.
#   gif/qt    drawing and animating GIF pictures on Qt: project, gif and gif/qt only.
#   toolkit   the windowing layer: core and toolkit only, nothing of the windows.
#   player, player_win   the menu players: the menu engine, media, gif, project and their own folder,
#             no Qt.
#   document  the open project and its one history of changes (Qt, no windows): core and
#             document only.
#   hotspot/ui, staging/ui, disc/ui, settings/ui: the folder's windows, on core, gif/qt, toolkit and
#             the document; never app, nor another folder's windows.
#   app       main(), the main window and its commands: anything of the editor.
#
# Only src/toolkit may use the Qt classes that talk to the user or the
# desktop directly (message boxes, file dialogs, shell opening, processes). The main window's
# methods are implemented in src/app only. And no circle: the parts include one another
# without a cycle, the core's folders included.
cmake_minimum_required(VERSION 3.25)
file(GLOB_RECURSE sources RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/src/*.cpp ${SOURCE_DIR}/src/*.h)

# The core files named by the folders' CMakeLists.txt.
set(core_stems "")
file(GLOB lists ${SOURCE_DIR}/src/*/CMakeLists.txt)
foreach(list IN LISTS lists)
  file(READ ${list} text)
  get_filename_component(folder ${list} DIRECTORY)
  file(RELATIVE_PATH folder ${SOURCE_DIR} ${folder})
  string(REGEX MATCHALL "(target_sources\\(torvana_(core|disc)|add_library\\(torvana_disc)[^)]*\\)" blocks "${text}")
  foreach(block IN LISTS blocks)
    string(REGEX MATCHALL "[A-Za-z_0-9/]+\\.cpp" files "${block}")
    foreach(cpp IN LISTS files)
      string(REGEX REPLACE "\\.cpp$" "" stem ${cpp})
      list(APPEND core_stems ${folder}/${stem})
    endforeach()
  endforeach()
endforeach()

# The core's layers: each part may include itself and the parts listed.
set(core_parts project gif media menu settings hotspot staging disc cli)
set(allowed_project project)
set(allowed_gif project gif)
set(allowed_menu project gif media menu)
set(allowed_media project gif media)
set(allowed_settings project settings)
set(allowed_hotspot project hotspot)
set(allowed_staging project gif menu media staging)
set(allowed_disc project gif menu media staging disc)
set(allowed_cli project gif menu media settings staging disc cli)

# part_of(file): the part a source file belongs to: its folder, or gif/qt and the folders' ui/
# sub-folders; a core file outside the core's folders is "core?" and has no layer.
function(part_of f out)
  string(REGEX REPLACE "\\.(cpp|h)$" "" stem ${f})
  string(REGEX MATCH "^src/([a-z_]+)/" _ ${f})
  set(folder ${CMAKE_MATCH_1})
  if(f MATCHES "^src/gif/qt/")
    set(part gif/qt)
  elseif(f MATCHES "^src/(hotspot|staging|disc|settings)/ui/")
    set(part ${folder}/ui)
  elseif(stem IN_LIST core_stems AND NOT folder IN_LIST core_parts)
    set(part core?)
  else()
    set(part ${folder})
  endif()
  set(${out} ${part} PARENT_SCOPE)
endfunction()

set(allowed_gif/qt project gif gif/qt)
set(allowed_toolkit ${core_parts} toolkit)
set(allowed_document ${core_parts} document)
# The players stand on the menu engine and what it stands on, never on the editor's build.
set(allowed_player project gif media menu player)
set(allowed_player_win project gif media menu player_win)
foreach(folder hotspot staging disc settings)
  set(allowed_${folder}/ui ${core_parts} gif/qt toolkit document ${folder}/ui)
endforeach()
set(allowed_app ${core_parts} gif/qt toolkit document hotspot/ui staging/ui disc/ui settings/ui app)

set(failures "")
set(parts "")
foreach(f IN LISTS sources)
  file(READ ${SOURCE_DIR}/${f} text)
  part_of(${f} part)
  list(APPEND parts ${part})
  if(NOT f MATCHES "^src/toolkit/")
    string(REGEX MATCH "QMessageBox|QFileDialog|QDesktopServices|QProcess" hit "${text}")
    if(hit)
      string(APPEND failures "${f} uses ${hit} outside src/toolkit\n")
    endif()
  endif()
  if(f MATCHES "^src/(player|player_win)/")
    string(REGEX MATCH "#include <Q[A-Za-z]*>" hit "${text}")
    if(hit)
      string(APPEND failures "${f} is a player on the disc and includes ${hit}\n")
    endif()
  endif()
  if(f MATCHES "^src/menu/")
    string(REGEX MATCH "#include <(windows|SDL|X11/|unistd|sys/)[^>]*>" hit "${text}")
    if(hit)
      string(APPEND failures "${f} is the menu engine and includes the platform header ${hit}\n")
    endif()
  endif()
  if(NOT f MATCHES "^src/app/" AND text MATCHES "TForm1::")
    string(APPEND failures "${f} implements the main window's methods outside src/app\n")
  endif()
  if(NOT DEFINED allowed_${part})
    string(APPEND failures "${f} is in ${part}, which has no place in the layers\n")
  endif()
  if(part IN_LIST core_parts)
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

# No circle: take away parts that include no part left, and parts no part left includes, until
# none can go; what stays lies on a circle.
list(REMOVE_DUPLICATES parts)
set(left ${parts})
set(progress TRUE)
while(progress)
  set(progress FALSE)
  foreach(part IN LISTS left)
    set(includes FALSE)
    foreach(to IN LISTS edges_${part})
      if(to IN_LIST left)
        set(includes TRUE)
      endif()
    endforeach()
    set(included FALSE)
    foreach(from IN LISTS left)
      if(part IN_LIST edges_${from})
        set(included TRUE)
      endif()
    endforeach()
    if(NOT includes OR NOT included)
      list(REMOVE_ITEM left ${part})
      set(progress TRUE)
    endif()
  endforeach()
endwhile()
foreach(part IN LISTS left)
  set(targets "")
  foreach(to IN LISTS edges_${part})
    if(to IN_LIST left)
      list(APPEND targets ${to})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES targets)
  string(APPEND failures "circle: ${part} includes ${targets}\n")
endforeach()

if(failures)
  message(FATAL_ERROR "Layering rules broken:\n${failures}")
endif()
list(LENGTH sources n)
message(STATUS "Layering rules hold for ${n} source files; parts: ${parts}")
