# The build against Qt 4.8, the host's own Qt (GARBWRIGHT_QT4), found by FindQt4 through
# QT_QMAKE_EXECUTABLE. Its libraries are named through the same Qt:: targets as Qt 5's, so
# that no folder names a Qt version; Qt 4 keeps its widgets in QtGui. For Windows (the
# windows-qt4 presets) the same Qt is cross-built with mingw-w64 and has no QtNetwork, which
# only some of the Linux suites use.
if(CMAKE_CROSSCOMPILING)
  # Its folder is where the cross build finds its libraries and headers, under the name
  # qmake reports it by (the folder as named, which may run through a link) and under its
  # real name too.
  get_filename_component(qt4_prefix "${QT_QMAKE_EXECUTABLE}/../.." ABSOLUTE)
  get_filename_component(qt4_real_prefix "${qt4_prefix}" REALPATH)
  list(APPEND CMAKE_FIND_ROOT_PATH "${qt4_prefix}" "${qt4_real_prefix}")
endif()
if(WIN32)
  set(qt4_libraries QtCore QtGui QtScript)
else()
  set(qt4_libraries QtCore QtGui QtScript QtNetwork)
endif()
find_package(Qt4 4.8 REQUIRED ${qt4_libraries})
# FindQt4 adds mkspecs/default as an include folder; where that is a file naming the
# platform's folder rather than a link to it, name the folder itself.
set(default_mkspec "${QT_MKSPECS_DIR}/default")
if(NOT IS_DIRECTORY "${default_mkspec}")
  get_target_property(folders Qt4::QtCore INTERFACE_INCLUDE_DIRECTORIES)
  list(REMOVE_ITEM folders "${default_mkspec}")
  file(STRINGS "${default_mkspec}" platform LIMIT_COUNT 1)
  if(IS_DIRECTORY "${QT_MKSPECS_DIR}/${platform}")
    list(APPEND folders "${QT_MKSPECS_DIR}/${platform}")
  endif()
  set_target_properties(Qt4::QtCore PROPERTIES INTERFACE_INCLUDE_DIRECTORIES "${folders}")
endif()
if(WIN32)
  # The Windows Qt's DLLs import and export their symbols as qmake would build against them;
  # its programs find the DLLs on their search path (the Wine run sets it).
  set_property(TARGET Qt4::QtCore APPEND PROPERTY INTERFACE_COMPILE_DEFINITIONS QT_DLL UNICODE)
  set(GARBWRIGHT_QT4_ENVIRONMENT "")
else()
  # The programs link against, and load, the libraries through a folder of links of their own
  # (their run path), under the names the libraries record: the prefix's own links may have
  # been copied as small files that only name their target.
  set(GARBWRIGHT_QT4_LIBRARY_DIR "${PROJECT_BINARY_DIR}/qt4-lib")
  file(MAKE_DIRECTORY "${GARBWRIGHT_QT4_LIBRARY_DIR}")
  foreach(library ${qt4_libraries})
    set(file "${QT_LIBRARY_DIR}/lib${library}.so.${QT_VERSION_MAJOR}.${QT_VERSION_MINOR}.${QT_VERSION_PATCH}")
    if(NOT EXISTS "${file}")
      message(FATAL_ERROR "Qt 4: ${file} is missing")
    endif()
    set(link "${GARBWRIGHT_QT4_LIBRARY_DIR}/lib${library}.so.${QT_VERSION_MAJOR}")
    file(CREATE_LINK "${file}" "${link}" SYMBOLIC)
    set_target_properties(Qt4::${library} PROPERTIES
      IMPORTED_LOCATION "${link}" IMPORTED_LOCATION_RELEASE "${link}" IMPORTED_LOCATION_DEBUG "${link}")
  endforeach()
  # What a program built here needs to find at run time: the headless platform and its font.
  set(GARBWRIGHT_QT4_ENVIRONMENT
    "QT_PLUGIN_PATH=${QT_PLUGINS_DIR}" "QT_QPA_FONTDIR=${QT_LIBRARY_DIR}/fonts")
endif()
foreach(pair Core:QtCore Gui:QtGui Widgets:QtGui Script:QtScript Network:QtNetwork)
  string(REPLACE ":" ";" pair "${pair}")
  list(GET pair 0 name)
  list(GET pair 1 library)
  if(NOT TARGET Qt4::${library})
    continue()
  endif()
  add_library(Qt::${name} INTERFACE IMPORTED)
  set_target_properties(Qt::${name} PROPERTIES INTERFACE_LINK_LIBRARIES Qt4::${library})
endforeach()
