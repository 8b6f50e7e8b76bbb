# cli_rights_tests calls the commands of quillmere-cli in its own process, with the
# platform services replaced by fakes, so it compiles the command sources itself
# (everything in cli/ but main.cpp).
if(TARGET cli_rights_tests)
  set(qm_cli_command_sources ${QM_CLI_SOURCES})
  list(FILTER qm_cli_command_sources EXCLUDE REGEX "/main\\.cpp$")
  target_sources(cli_rights_tests PRIVATE ${qm_cli_command_sources})
endif()
