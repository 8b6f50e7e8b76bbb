# Version information, manifests and packages of the Windows programs.
#   - the one version number is the project's (project(... VERSION ...) in CMakeLists.txt);
#   - quillmere.exe and quillmere-cli.exe carry a VERSIONINFO resource configured from it;
#   - quillmere.exe asks for administrator rights, everything else runs asInvoker;
#   - target "installer": quillmere-setup-VERSION.exe (NSIS, makensis), built with "all";
#   - target "portable_zip": quillmere-VERSION-portable.zip holding the two programs.
# Included at the end of CMakeLists.txt, once the program and test targets exist.
if(NOT WIN32)
  return()
endif()

set(QM_PUBLISHER "Quillmere")
set(QM_GENERATED_RESOURCES "${CMAKE_BINARY_DIR}/generated-resources")

# ---------------------------------------------------------------- version information
function(qm_version_resource target description)
  if(NOT TARGET ${target})
    return()
  endif()
  set(QM_VERSION_DESCRIPTION "${description}")
  set(QM_VERSION_INTERNAL_NAME "${target}")
  set(QM_VERSION_FILE_NAME "${target}.exe")
  set(rc "${QM_GENERATED_RESOURCES}/${target}-version.rc")
  configure_file("${CMAKE_SOURCE_DIR}/resources/version.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
qm_version_resource(quillmere "Quillmere registry cleaner")
qm_version_resource(quillmere-cli "Quillmere registry cleaner, command line")

# ---------------------------------------------------------------- the window program's manifest
# The same manifest as every other executable's but for the execution level: the highest
# rights its user has, so that an administrator is asked to elevate and an ordinary user
# runs as himself (and may repair his own entries).
if(TARGET quillmere)
  file(READ "${CMAKE_SOURCE_DIR}/resources/quillmere.manifest" manifest)
  string(REPLACE "level=\"asInvoker\"" "level=\"highestAvailable\"" window_manifest "${manifest}")
  if(window_manifest STREQUAL manifest)
    message(FATAL_ERROR "resources/quillmere.manifest has no level=\"asInvoker\" to replace")
  endif()
  file(CONFIGURE OUTPUT "${QM_GENERATED_RESOURCES}/quillmere-window.manifest"
       CONTENT "${window_manifest}" @ONLY)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${CMAKE_SOURCE_DIR}/resources/quillmere.manifest")
  target_compile_definitions(quillmere PRIVATE QM_HIGHEST_AVAILABLE)
  target_include_directories(quillmere PRIVATE "${QM_GENERATED_RESOURCES}")
endif()

# windres does not report the files a resource script names: rebuild the scripts that hold
# the manifest when it changes, and the application's script when the skin, its images or the
# icons change (the programs and the tests that link it read the skin from it).
set(qm_manifests "${CMAKE_SOURCE_DIR}/resources/quillmere.manifest;${QM_GENERATED_RESOURCES}/quillmere-window.manifest")
file(GLOB qm_app_resource_files CONFIGURE_DEPENDS
  "${CMAKE_SOURCE_DIR}/resources/Skin.ini" "${CMAKE_SOURCE_DIR}/resources/skin/*" "${CMAKE_SOURCE_DIR}/resources/icons/*")
set_source_files_properties("${CMAKE_SOURCE_DIR}/resources/manifest.rc" PROPERTIES OBJECT_DEPENDS "${qm_manifests}")
set_source_files_properties("${CMAKE_SOURCE_DIR}/resources/quillmere.rc"
  PROPERTIES OBJECT_DEPENDS "${qm_manifests};${qm_app_resource_files}")

# The package tests read both programs' version information and manifests.
if(TARGET package_tests AND TARGET quillmere AND TARGET quillmere-cli)
  add_dependencies(package_tests quillmere quillmere-cli)
  target_compile_definitions(package_tests PRIVATE
    QM_APP_EXE="${QM_HOST_PATH_PREFIX}$<TARGET_FILE:quillmere>"
    QM_CLI_EXE="${QM_HOST_PATH_PREFIX}$<TARGET_FILE:quillmere-cli>"
    QM_VERSION="${PROJECT_VERSION}")
endif()
if(TARGET package_tests)
  target_link_libraries(package_tests PRIVATE version)
endif()

# ---------------------------------------------------------------- installer and portable zip
if(TARGET quillmere AND TARGET quillmere-cli)
  set(QM_SETUP_NAME "quillmere-setup-${PROJECT_VERSION}.exe")
  set(QM_PORTABLE_NAME "quillmere-${PROJECT_VERSION}-portable.zip")
  find_program(QM_MAKENSIS makensis)
  if(QM_MAKENSIS)
    add_custom_command(
      OUTPUT "${CMAKE_BINARY_DIR}/${QM_SETUP_NAME}"
      COMMAND "${QM_MAKENSIS}" -V2 -NOCD
              "-DVERSION=${PROJECT_VERSION}"
              "-DAPP_EXE=$<TARGET_FILE:quillmere>"
              "-DCLI_EXE=$<TARGET_FILE:quillmere-cli>"
              "-DICON=${CMAKE_SOURCE_DIR}/resources/icons/quillmere.ico"
              "-DOUTFILE=${CMAKE_BINARY_DIR}/${QM_SETUP_NAME}"
              "${CMAKE_SOURCE_DIR}/installer/quillmere.nsi"
      DEPENDS quillmere quillmere-cli "${CMAKE_SOURCE_DIR}/installer/quillmere.nsi"
              "${CMAKE_SOURCE_DIR}/resources/icons/quillmere.ico"
      COMMENT "Building ${QM_SETUP_NAME}"
      VERBATIM)
    add_custom_target(installer ALL DEPENDS "${CMAKE_BINARY_DIR}/${QM_SETUP_NAME}")
  else()
    message(WARNING "makensis not found (Debian package nsis, tools/install-deps): no installer")
  endif()

  # The zip holds the two programs at its top level, as they run from any folder.
  set(stage "${CMAKE_BINARY_DIR}/portable")
  add_custom_command(
    OUTPUT "${CMAKE_BINARY_DIR}/${QM_PORTABLE_NAME}"
    COMMAND "${CMAKE_COMMAND}" -E rm -rf "${stage}"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${stage}"
    COMMAND "${CMAKE_COMMAND}" -E copy "$<TARGET_FILE:quillmere>" "$<TARGET_FILE:quillmere-cli>" "${stage}"
    COMMAND "${CMAKE_COMMAND}" -E chdir "${stage}"
            "${CMAKE_COMMAND}" -E tar cf "${CMAKE_BINARY_DIR}/${QM_PORTABLE_NAME}" --format=zip
            quillmere.exe quillmere-cli.exe
    DEPENDS quillmere quillmere-cli
    COMMENT "Building ${QM_PORTABLE_NAME}"
    VERBATIM)
  add_custom_target(portable_zip ALL DEPENDS "${CMAKE_BINARY_DIR}/${QM_PORTABLE_NAME}")
endif()

# The install/uninstall cycle under Wine, in a prefix of its own inside the build folder.
if(TARGET installer)
  add_test(NAME install_cycle
           COMMAND bash "${CMAKE_SOURCE_DIR}/tests/package/install_cycle.sh" "${CMAKE_SOURCE_DIR}"
                   "${CMAKE_BINARY_DIR}/test-work/install-cycle" "${CMAKE_BINARY_DIR}/${QM_SETUP_NAME}"
                   "$<TARGET_FILE:quillmere-cli>" "${PROJECT_VERSION}")
  set_tests_properties(install_cycle PROPERTIES TIMEOUT 600)
endif()

# A 32-bit Windows Installer package in Wine's 64-bit prefix (the registry's 32-bit view), in a
# prefix of its own inside the build folder. wixl (Debian package wixl, from msitools) builds it.
find_program(QM_WIXL wixl)
if(QM_WIXL)
  add_test(NAME msi32_cycle
           COMMAND bash "${CMAKE_SOURCE_DIR}/tests/package/msi32_cycle.sh" "${CMAKE_SOURCE_DIR}"
                   "${CMAKE_BINARY_DIR}/test-work/msi32-cycle" "$<TARGET_FILE:quillmere-cli>")
  set_tests_properties(msi32_cycle PROPERTIES TIMEOUT 600)
else()
  message(STATUS "wixl not found: the 32-bit package test msi32_cycle is not registered (tools/install-deps)")
endif()
