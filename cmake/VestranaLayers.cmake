# The program's layers, lowest first: base helpers (results, clock, product
# names, text and command-line words), the system interfaces, the install
# and removal procedures (payload), painting, the window (ui), and on top the
# composition (the files directly in src/: command line, start-up, the run).
#
# Each layer is one static library that links the layer below it, and its
# sources are compiled against a view of the source tree that holds only its
# own folder and the folders of the layers below (symbolic links in the build
# folder). An include against the order ("payload/install.h" from src/system)
# is then not found and fails the build, instead of growing a back edge that
# nothing notices. Tests, tools and benchmarks see the whole tree.
set(VESTRANA_LAYERS base system payload paint ui)

# vestrana_layers(<composition sources>...): defines vestrana_<layer> for each
# layer and vestrana_core for the composition, which links them all.
function(vestrana_layers)
  set(visible "")
  set(below "")
  foreach(layer IN LISTS VESTRANA_LAYERS)
    list(APPEND visible ${layer})
    set(view ${CMAKE_BINARY_DIR}/layers/${layer})
    file(REMOVE_RECURSE ${view})
    file(MAKE_DIRECTORY ${view})
    foreach(folder IN LISTS visible)
      file(CREATE_LINK ${CMAKE_SOURCE_DIR}/src/${folder} ${view}/${folder} SYMBOLIC)
    endforeach()

    file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${layer}/*.cpp)
    if(NOT WIN32)
      # The thin Windows layer (files ending in _win32.cpp) exists only in the
      # Windows build; everything else builds and is tested natively.
      list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
    endif()
    add_library(vestrana_${layer} STATIC ${sources})
    target_include_directories(vestrana_${layer} PRIVATE ${view})
    if(below)
      target_link_libraries(vestrana_${layer} PUBLIC vestrana_${below})
    endif()
    vestrana_warnings(vestrana_${layer})
    set(below ${layer})
  endforeach()

  add_library(vestrana_core STATIC ${ARGN})
  target_include_directories(vestrana_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_link_libraries(vestrana_core PUBLIC vestrana_${below})
  vestrana_warnings(vestrana_core)
endfunction()
