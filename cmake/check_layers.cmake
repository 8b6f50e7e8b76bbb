# The layers the build enforces: a folder may include headers only of the
# folders below it (platform <- emulation <- engine <- repair <- control;
# ui <- platform; control above all; the command line, cli/, on platform,
# emulation, engine and repair without the window's ui/ and control/), and
# <windows.h> appears only in *_win32.* files.
#
# Included by CMakeLists.txt, which fails to configure on a breach; also a
# script: cmake -DQM_LAYER_ROOT=DIR -P cmake/check_layers.cmake
if(CMAKE_SCRIPT_MODE_FILE)
  cmake_policy(SET CMP0057 NEW)  # if(IN_LIST)
endif()
set(QM_LAYER_ALLOWED_platform platform)
set(QM_LAYER_ALLOWED_emulation platform emulation)
set(QM_LAYER_ALLOWED_engine platform emulation engine)
set(QM_LAYER_ALLOWED_repair platform emulation engine repair)
set(QM_LAYER_ALLOWED_ui platform ui)
set(QM_LAYER_ALLOWED_control platform emulation engine repair ui control)
set(QM_LAYER_ALLOWED_cli platform emulation engine repair cli)

# Sets `out` to one line per breach found below `root` ("" when none).
function(qm_check_layers root out)
  set(problems)
  foreach(layer platform emulation engine repair ui control cli)
    file(GLOB files "${root}/${layer}/*.h" "${root}/${layer}/*.cpp")
    list(SORT files)
    foreach(f IN LISTS files)
      get_filename_component(name "${f}" NAME)
      file(STRINGS "${f}" lines REGEX "^[ \t]*#[ \t]*include")
      foreach(line IN LISTS lines)
        if(line MATCHES "#[ \t]*include[ \t]*\"(platform|emulation|engine|repair|ui|control|cli)/")
          set(target "${CMAKE_MATCH_1}")
          if(NOT target IN_LIST QM_LAYER_ALLOWED_${layer})
            set(article a)
            if(target MATCHES "^e")
              set(article an)
            endif()
            list(APPEND problems "${layer}/${name} includes ${article} ${target}/ header")
          endif()
        endif()
        if(line MATCHES "<windows\\.h>" AND NOT name MATCHES "_win32\\.(h|cpp)$")
          list(APPEND problems "${layer}/${name} includes <windows.h> (only *_win32 files may)")
        endif()
      endforeach()
    endforeach()
  endforeach()
  set(${out} "${problems}" PARENT_SCOPE)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE)
  if(NOT QM_LAYER_ROOT)
    message(FATAL_ERROR "usage: cmake -DQM_LAYER_ROOT=DIR -P check_layers.cmake")
  endif()
  qm_check_layers("${QM_LAYER_ROOT}" problems)
  if(problems)
    list(JOIN problems "\n  " text)
    message(FATAL_ERROR "layer breaches:\n  ${text}")
  endif()
endif()
