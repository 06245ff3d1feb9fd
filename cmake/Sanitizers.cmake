if(VQ_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(VQ_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT VQ_SANITIZE STREQUAL "")
  message(FATAL_ERROR "VQ_SANITIZE must be '', 'address' or 'thread'")
endif()

# The fuzz harnesses: every target compiled for libFuzzer's coverage, with ASan and UBSan.
if(VQ_BUILD_FUZZ)
  if(NOT VQ_SANITIZE STREQUAL "")
    message(FATAL_ERROR "VQ_BUILD_FUZZ brings its own sanitizers: leave VQ_SANITIZE empty")
  endif()
  add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer
                      -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
