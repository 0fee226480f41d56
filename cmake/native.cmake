# Native build: the portable cores with sanitizers, for unit tests and fuzzing.
find_package(GTest REQUIRED)
include(GoogleTest)
add_compile_options(-Wall -Wextra -fno-exceptions -fno-rtti)
option(CORE_SANITIZERS "Build the cores and unit tests with ASan and UBSan" ON)
if(CORE_SANITIZERS)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
