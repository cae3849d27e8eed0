# Puts a file into the program image as constant bytes, between the symbols
# <symbol> and <symbol>_end, with an assembler .incbin (fast even for
# megabytes, unlike a generated C array). An optional fourth argument names
# the generated file, for a symbol that several programs define differently.
function(vestrana_embed out_var symbol file)
  set(stem ${symbol})
  if(ARGC GREATER 3)
    set(stem ${ARGV3})
  endif()
  set(asm ${CMAKE_CURRENT_BINARY_DIR}/embed_${stem}.S)
  if(WIN32)
    set(section ".section .rdata,\"dr\"")
    set(note "")
  else()
    set(section ".section .rodata")
    set(note ".section .note.GNU-stack,\"\",@progbits")
  endif()
  file(WRITE ${asm}.in
"${section}
    .globl ${symbol}
    .balign 16
${symbol}:
    .incbin \"${file}\"
    .globl ${symbol}_end
${symbol}_end:
    .byte 0
${note}
")
  # The assembly file is written anew whenever the embedded file changes, so
  # its object is rebuilt in whichever directory's target compiles it (a
  # source property like OBJECT_DEPENDS would reach only targets defined in
  # this directory). A target of this directory must list the output, so the
  # rule is generated.
  add_custom_command(OUTPUT ${asm}
    COMMAND ${CMAKE_COMMAND} -E copy ${asm}.in ${asm}
    COMMAND ${CMAKE_COMMAND} -E touch ${asm}
    DEPENDS ${asm}.in ${file}
    VERBATIM)
  set(${out_var} ${asm} PARENT_SCOPE)
endfunction()
