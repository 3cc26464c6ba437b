# Link with lld when the compiler can use it: the test build links some forty executables, and
# lld links each in about a third of the time the default linker takes.
option(VESK_LLD "Link with lld when available" ON)
if(VESK_LLD)
  include(CheckLinkerFlag)
  check_linker_flag(CXX "-fuse-ld=lld" VESK_HAVE_LLD)
  if(VESK_HAVE_LLD)
    add_link_options(-fuse-ld=lld)
  endif()
endif()
