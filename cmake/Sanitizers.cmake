# EASEL_SANITIZE applies to every target: address,undefined or thread.
if(EASEL_SANITIZE)
  add_compile_options(-fsanitize=${EASEL_SANITIZE} -fno-omit-frame-pointer -g)
  add_link_options(-fsanitize=${EASEL_SANITIZE})
  if(EASEL_SANITIZE MATCHES "undefined")
    add_compile_options(-fno-sanitize-recover=undefined)
  endif()
endif()

# Fuzzing: coverage instrumentation everywhere, the fuzzer's main only in the fuzz targets.
if(EASEL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()
