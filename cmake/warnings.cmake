add_library(quarnel_warnings INTERFACE)
target_compile_options(quarnel_warnings INTERFACE -Wall -Wextra -Wpedantic -Werror)
