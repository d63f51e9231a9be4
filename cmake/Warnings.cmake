# Every target of the project compiles with these warnings, all fatal.
add_library(easel_warnings INTERFACE)
target_compile_options(easel_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Werror -Wshadow -Wnon-virtual-dtor -Wcast-align
  -Woverloaded-virtual -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
