# The distribution's hardening for release builds: the editor parses files from anywhere,
# so it carries the stack protector, fortified libc calls, stack clash and control-flow
# protection, and read-only relocations bound at start, as a distribution's own build would.
# On by default on Debian; scripts/package.sh always asks for it. Debug builds (the
# sanitizer build among them) go without: fortification needs optimisation and the
# sanitizers check more. The fuzz build is a project of its own and is not touched.
#
# The flags are what dpkg-buildflags gives with every hardening feature on, narrowed to
# the hardening ones (its -O2 and -g would change the build type's optimisation); where the
# distribution's dpkg predates stack clash and control-flow protection, the compiler is
# asked for them directly. Without dpkg-buildflags the same set is used as written here.
if(EXISTS /etc/debian_version)
  set(_hardening_default ON)
else()
  set(_hardening_default OFF)
endif()
option(TORVANE_HARDENING "Release builds with the distribution's hardening flags" ${_hardening_default})

set(TORVANE_HARDENING_FLAGS "")
string(TOUPPER "${CMAKE_BUILD_TYPE}" _build_type)
if(TORVANE_HARDENING AND NOT TORVANE_SANITIZE AND _build_type MATCHES "^(RELEASE|RELWITHDEBINFO|MINSIZEREL)$")
  include(CheckCXXCompilerFlag)
  set(_compile -fstack-protector-strong -D_FORTIFY_SOURCE=2 -Wformat -Werror=format-security)
  set(_link -Wl,-z,relro -Wl,-z,now)
  find_program(DPKG_BUILDFLAGS dpkg-buildflags)
  mark_as_advanced(DPKG_BUILDFLAGS)
  if(DPKG_BUILDFLAGS)
    set(_compile)
    set(_link)
    foreach(_kind CPPFLAGS CXXFLAGS LDFLAGS)
      execute_process(COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                              ${DPKG_BUILDFLAGS} --get ${_kind}
                      OUTPUT_VARIABLE _flags OUTPUT_STRIP_TRAILING_WHITESPACE)
      separate_arguments(_flags UNIX_COMMAND "${_flags}")
      foreach(_flag IN LISTS _flags)
        if(_flag MATCHES "^-Wl,-z,|^-Wl,-pie$|^-pie$")
          list(APPEND _link ${_flag})
        elseif(_flag MATCHES "^-fstack-protector|^-fstack-clash-protection$|^-fcf-protection|^-mbranch-protection=|^-D_FORTIFY_SOURCE=|^-Wformat|^-Werror=format-security$|^-fPIE$")
          list(APPEND _compile ${_flag})
        endif()
      endforeach()
    endforeach()
  endif()
  foreach(_flag -fstack-clash-protection -fcf-protection)
    string(MAKE_C_IDENTIFIER "TORVANE_HAS${_flag}" _has)
    if(NOT _flag IN_LIST _compile AND NOT "${_compile}" MATCHES "${_flag}=")
      check_cxx_compiler_flag(${_flag} ${_has})
      if(${_has})
        list(APPEND _compile ${_flag})
      endif()
    endif()
  endforeach()
  list(REMOVE_DUPLICATES _compile)
  list(REMOVE_DUPLICATES _link)
  add_compile_options(${_compile})
  add_link_options(${_link})
  set(TORVANE_HARDENING_FLAGS ${_compile} ${_link})
  message(STATUS "Hardening: ${TORVANE_HARDENING_FLAGS}")
endif()
# scripts/check-install.sh reads this to know whether the package it checks was hardened.
set(TORVANE_HARDENING_FLAGS "${TORVANE_HARDENING_FLAGS}" CACHE INTERNAL "Hardening flags of this build")
