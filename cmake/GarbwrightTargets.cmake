# Per-target settings shared by every target of the project; nothing here is set
# directory-wide.

include("${CMAKE_CURRENT_LIST_DIR}/GarbwrightModule.cmake")

# The full paths of one of the source lists of GarbwrightModule.cmake.
function(garbwright_sources result)
  set(paths "")
  foreach(list ${ARGN})
    foreach(source ${${list}})
      list(APPEND paths "${PROJECT_SOURCE_DIR}/${source}")
    endforeach()
  endforeach()
  set(${result} ${paths} PARENT_SCOPE)
endfunction()

option(GARBWRIGHT_WERROR "Treat compiler warnings as errors" OFF)
option(GARBWRIGHT_SANITIZE "Build with AddressSanitizer and UndefinedBehaviorSanitizer" OFF)

# C++17, warnings on, and the sanitizers when asked for.
function(garbwright_target_defaults target)
  target_compile_features(${target} PRIVATE cxx_std_17)
  set_target_properties(${target} PROPERTIES CXX_EXTENSIONS OFF)
  target_compile_options(${target} PRIVATE ${GARBWRIGHT_WARNING_FLAGS})
  if(WIN32)
    target_compile_definitions(${target} PRIVATE ${GARBWRIGHT_WINDOWS_DEFINITIONS})
  endif()
  if(GARBWRIGHT_QT4 AND NOT WIN32)
    # The run path to the Qt 4 libraries (GarbwrightQt4.cmake) comes before LD_LIBRARY_PATH,
    # so that a program built here loads the libraries it was linked against.
    target_link_options(${target} PRIVATE -Wl,--disable-new-dtags)
  endif()
  if(GARBWRIGHT_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
  if(GARBWRIGHT_SANITIZE)
    target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer
                                             -fno-sanitize-recover=undefined)
    target_link_options(${target} PRIVATE -fsanitize=address,undefined)
  endif()
endfunction()

# Code that ends up inside the plug-in module: position independent, and hidden so that
# the module's dynamic symbol table carries nothing but its two exports.
function(garbwright_module_code target)
  garbwright_target_defaults(${target})
  target_compile_definitions(${target} PRIVATE ${GARBWRIGHT_MODULE_DEFINITIONS})
  set_target_properties(${target} PROPERTIES
    POSITION_INDEPENDENT_CODE ON
    CXX_VISIBILITY_PRESET hidden
    VISIBILITY_INLINES_HIDDEN ON)
endfunction()
