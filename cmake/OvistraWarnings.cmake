# Warnings as errors for our own code only; third-party headers come in as system includes.
add_library(ovistra_warnings INTERFACE)
target_compile_options(ovistra_warnings INTERFACE -Wall -Wextra -Werror)
