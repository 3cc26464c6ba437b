# Project-wide compile flags: warnings everywhere, errors in CI, sanitizers on request.
add_compile_options(-Wall -Wextra)
if(VESK_WERROR)
  add_compile_options(-Werror)
endif()
if(VESK_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()
