# Our own code builds with every warning as an error; dependencies do not.
function(vestrana_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  if(WIN32)
    # Size without cost in speed: unused functions and data are dropped at link time.
    target_compile_options(${target} PRIVATE -ffunction-sections -fdata-sections)
  endif()
endfunction()
