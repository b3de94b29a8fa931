# The message table of the launcher's events, compiled at build time from
# resources/event_messages.mc by the message compiler: Debian's windmc (which
# the toolchain file names in CMAKE_MC_COMPILER, as it names windres), or mc.exe
# of the Windows SDK. It makes, in the output directory:
#   event_messages.h               the event ids, plain numbers (no Windows header)
#   event_messages.rc              the MESSAGETABLE statement launcher.rc includes
#   event_messages_MSG00409.bin    the table itself, in UTF-16
#
#   qel_event_messages(<output directory> <variable for the generated files>)
function(qel_event_messages out_dir files_var)
  get_filename_component(root "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/.." ABSOLUTE)
  set(source ${root}/resources/event_messages.mc)
  if(NOT CMAKE_MC_COMPILER)
    find_program(CMAKE_MC_COMPILER NAMES mc x86_64-w64-mingw32-windmc windmc)
  endif()
  if(NOT CMAKE_MC_COMPILER)
    message(FATAL_ERROR "No message compiler (mc.exe of the Windows SDK, or windmc of mingw-w64's binutils) "
                        "to compile ${source} with: set CMAKE_MC_COMPILER.")
  endif()
  set(outputs ${out_dir}/event_messages.h ${out_dir}/event_messages.rc ${out_dir}/event_messages_MSG00409.bin)
  # -U: the table in UTF-16; -b: the .bin named after the .mc; -h, -r: where
  # the header and the resource script go. Both compilers take these.
  add_custom_command(OUTPUT ${outputs}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${out_dir}
    COMMAND ${CMAKE_MC_COMPILER} -U -b -h ${out_dir} -r ${out_dir} ${source}
    MAIN_DEPENDENCY ${source}
    COMMENT "Compiling the event messages"
    VERBATIM)
  set(${files_var} ${outputs} PARENT_SCOPE)
endfunction()
