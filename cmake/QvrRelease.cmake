# qvr_release_program(TARGET [WINDOWED])
# A Windows program as it goes onto the medium: linked with its symbols, which then
# move into TARGET's file name plus ".debug" beside it (Setup.exe.debug). The program
# keeps no debug sections and no symbol table, only a link to that file (its name and
# checksum), through which gdb and addr2line find the symbols again. README.md says
# how to resolve a crash address with it.
#
# WINDOWED: a program without a console. The runtime's default answer to an uncaught
# exception writes its type and text to standard error, which such a program does not
# have, then calls abort(); it brings a name demangler and printf along, some 80 KB.
# There abort() itself is the handler.
function(qvr_release_program target)
  cmake_parse_arguments(P "WINDOWED" "" "" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  if(P_WINDOWED)
    # 32-bit Windows names C symbols with a leading underscore.
    if(CMAKE_SIZEOF_VOID_P EQUAL 4)
      set(u _)
    endif()
    target_link_options(${target} PRIVATE
      LINKER:--defsym,${u}_ZN9__gnu_cxx27__verbose_terminate_handlerEv=${u}abort)
  endif()
  set(program $<TARGET_FILE:${target}>)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_OBJCOPY} --only-keep-debug ${program} ${program}.debug
    COMMAND ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${program}.debug ${program}
    COMMENT "Moving the symbols of ${target} into its .debug file"
    VERBATIM)
endfunction()
