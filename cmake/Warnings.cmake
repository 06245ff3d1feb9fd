# Warnings are errors in every target of ours.
function(vq_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                             -Wnon-virtual-dtor -Wold-style-cast
                                             -Wimplicit-fallthrough -Werror)
  endif()
endfunction()
