# Warnings are errors in every target of ours.
function(vq_warnings target)
  if(MSVC)
    target_compile_options(${target} PRIVATE /W4 /WX)
  else()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                             -Wnon-virtual-dtor -Wold-style-cast
                                             -Wimplicit-fallthrough -Werror)
    # GCC 12 at -O3 (Release) warns inside the standard library's own code: of overlapping
    # copies in string concatenation ("a" + std::string(b)) and of out-of-bounds moves in
    # vector::insert after a small initial list, copies that can do neither. Known false
    # positives of that compiler, not of the code.
    if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_GREATER_EQUAL 12
       AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
      target_compile_options(${target} PRIVATE -Wno-restrict
                                               $<$<CONFIG:Release>:-Wno-array-bounds>)
    endif()
  endif()
endfunction()
