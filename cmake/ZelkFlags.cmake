# Common flags of every target of ours, carried by one INTERFACE target.
add_library(zelk_flags INTERFACE)
target_compile_features(zelk_flags INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_definitions(zelk_flags INTERFACE
  QT_NO_CAST_FROM_ASCII
  QT_NO_CAST_TO_ASCII
  QT_NO_CAST_FROM_BYTEARRAY
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_CONTEXTLESS_CONNECT
  QT_USE_QSTRINGBUILDER
  QT_NO_KEYWORDS
)
target_include_directories(zelk_flags INTERFACE
  ${PROJECT_SOURCE_DIR}
  ${PROJECT_BINARY_DIR}/generated)
target_compile_options(zelk_flags INTERFACE -Wall -Wextra -Wpedantic)
if(ZELK_WERROR)
  target_compile_options(zelk_flags INTERFACE -Werror)
endif()
if(ZELK_SANITIZE)
  target_compile_options(zelk_flags INTERFACE
    -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  target_link_options(zelk_flags INTERFACE -fsanitize=address,undefined)
  # Tests that compare timings say nothing about a program slowed down several times.
  target_compile_definitions(zelk_flags INTERFACE ZELK_SANITIZED)
endif()
