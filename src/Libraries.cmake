# The window-free libraries, one per folder, shared by the editor's build and the fuzz
# build. Each library exports only its own folder's headers, as "<folder>/Name.h", and
# names the libraries it may use: an include of a layer it does not use fails to build.
#
#   base      transform type, chart item list                  (plain C++)
#   platform  dialogs interface, debug channel, INI, files     (QtCore)
#   anim      animation document and its controller, RTM       base platform
#   model     P3D reader, proxies, linking, names and colours,
#             the component forest and the model set-up        base platform
#   pose      pose, edit maths, 2D and 3D view geometry, OBJ
#             and glTF export                                  anim model tinygltf
#   editor    the editing session: models, animation, pose, view
#             options and the history of every change (the
#             command stack), as the window and the tools share it  pose
function(torvane_library name folder)
  cmake_parse_arguments(L "" "" "USES" ${ARGN})
  file(GLOB _src CONFIGURE_DEPENDS ${TORVANE_SRC}/${folder}/*.cpp ${TORVANE_SRC}/${folder}/*.h)
  add_library(${name} STATIC ${_src})
  set(_inc ${CMAKE_BINARY_DIR}/include/${folder})
  if(NOT EXISTS ${_inc}/${folder})
    file(MAKE_DIRECTORY ${_inc})
    file(CREATE_LINK ${TORVANE_SRC}/${folder} ${_inc}/${folder} SYMBOLIC)
  endif()
  target_include_directories(${name} PUBLIC ${_inc})
  target_link_libraries(${name} PUBLIC ${L_USES})
endfunction()

set(TORVANE_SRC ${CMAKE_CURRENT_LIST_DIR})
torvane_library(torvane_base base)
torvane_library(torvane_platform platform USES Qt6::Core)
torvane_library(torvane_anim anim USES torvane_base torvane_platform)
torvane_library(torvane_model model USES torvane_base torvane_platform)
torvane_library(torvane_pose pose USES torvane_anim torvane_model)
# glTF writing (the export) and reading (its tests): Debian's libtinygltf-dev.
find_package(TinyGLTF REQUIRED CONFIG)
target_link_libraries(torvane_pose PUBLIC TinyGLTF::TinyGLTF)
torvane_library(torvane_editor editor USES torvane_pose)
