# qvr_reproducible_build()
# Makes the targets defined after it, here and in the folders added after it, depend on
# the sources alone: two builds of one commit give the same bytes wherever the checkout
# and the build folder lie and whenever they run (README.md, "Rebuilding a release").
# - source names in the debug information, __FILE__ and std::source_location are the
#   tree's own (src/shell/WbemScripting_TLB.cpp); the folder that the compiler runs in,
#   the target's build folder (Makefiles) or the top one (Ninja), becomes ".", so
#   addr2line prints ./src/... and gdb started in the checkout finds the sources;
# - the Windows programs carry the time stamp zero instead of the time of linking.
function(qvr_reproducible_build)
  add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                      -fdebug-prefix-map=${CMAKE_BINARY_DIR}=.
                      -fdebug-prefix-map=$<TARGET_PROPERTY:BINARY_DIR>=.)
  if(WIN32)
    add_link_options(LINKER:--no-insert-timestamp)
  endif()
endfunction()

# qvr_release_program(TARGET [WINDOWED])
# A Windows program as it goes onto the medium: linked with its symbols, which then
# move into TARGET's file name plus ".debug" beside it (Setup.exe.debug). The program
# keeps no debug sections and no symbol table, only a link to that file (its name and
# checksum), through which gdb and addr2line find the symbols again. README.md says
# how to resolve a crash address with it. Last, the program is padded to where a
# signature's certificate table would begin (scripts/peimage.py), so that removing the
# signature from a signed copy gives back the bytes of this build.
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
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(program $<TARGET_FILE:${target}>)
  # objcopy stamps the PE files it writes with the time it runs, or SOURCE_DATE_EPOCH:
  # zero, as the linker does (qvr_reproducible_build).
  set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${objcopy} --only-keep-debug ${program} ${program}.debug
    COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${program}.debug ${program}
    COMMAND Python3::Interpreter ${PROJECT_SOURCE_DIR}/scripts/peimage.py pad ${program}
    COMMENT "Moving the symbols of ${target} into its .debug file, padding it for signing"
    VERBATIM)
endfunction()
