# Firmware sources made at build time: the built-in fonts, rendered with FreeType from free
# faces in Debian's font packages, and the built-in key pictures. They go into the build tree
# (never into the repository) and join VMOD_FIRMWARE_SOURCES in every build.
#
# The generator runs on the build host. The host builds (plain, sanitizer, fuzz) compile it as
# an ordinary target before their own compile options are set. The target build cannot use its
# cross compiler for it, so it builds tools/fontgen as a separate host project through
# ExternalProject, with the host's default compiler and nothing of the cross toolchain.

set(VMOD_LIBERATION_DIR /usr/share/fonts/truetype/liberation CACHE PATH "Liberation fonts (fonts-liberation)")
set(VMOD_DEJAVU_DIR /usr/share/fonts/truetype/dejavu CACHE PATH "DejaVu fonts (fonts-dejavu-core)")

if(CMAKE_SYSTEM_NAME STREQUAL "Generic")
  include(ExternalProject)
  set(VMOD_FONTGEN ${CMAKE_BINARY_DIR}/host-tools/vmod-fontgen)
  ExternalProject_Add(vmod-fontgen-host
    SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/fontgen
    BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE= -DCMAKE_CXX_COMPILER=c++
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON  # a no-op when the generator is up to date; catches changes to its source
    BUILD_BYPRODUCTS ${VMOD_FONTGEN})
  set(VMOD_FONTGEN_DEPENDS vmod-fontgen-host ${VMOD_FONTGEN})
else()
  add_subdirectory(${CMAKE_SOURCE_DIR}/tools/fontgen ${CMAKE_BINARY_DIR}/tools/fontgen)
  set(VMOD_FONTGEN $<TARGET_FILE:vmod-fontgen>)
  set(VMOD_FONTGEN_DEPENDS vmod-fontgen)
endif()

set(VMOD_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
file(MAKE_DIRECTORY ${VMOD_GENERATED_DIR})
set(VMOD_GENERATED_SOURCES)

# symbol, face file, cell height, bits per pixel, fit ("full": every character fits the cell;
# "ascii": the ASCII ink fills it, for the tiny one-bit faces)
set(VMOD_SANS ${VMOD_LIBERATION_DIR}/LiberationSans-Regular.ttf)
set(VMOD_SANS_B ${VMOD_LIBERATION_DIR}/LiberationSans-Bold.ttf)
set(VMOD_MONO ${VMOD_LIBERATION_DIR}/LiberationMono-Regular.ttf)
set(VMOD_MONO_B ${VMOD_LIBERATION_DIR}/LiberationMono-Bold.ttf)
set(VMOD_FONT_LIST
  GUI_FontArial8 ${VMOD_SANS} 8 1 ascii
  GUI_FontArial8B ${VMOD_SANS_B} 8 1 ascii
  GUI_FontArial10 ${VMOD_SANS} 10 1 ascii
  GUI_FontArial10B ${VMOD_SANS_B} 10 1 ascii
  GUI_Font16_1 ${VMOD_DEJAVU_DIR}/DejaVuSans.ttf 16 1 full
  GUI_Font16B_1 ${VMOD_DEJAVU_DIR}/DejaVuSans-Bold.ttf 16 1 full
  GUI_FontMono48 ${VMOD_MONO} 48 1 full
  GUI_FontMono64 ${VMOD_MONO} 64 1 full)
foreach(size 10 12 14 16 20 24 32)
  list(APPEND VMOD_FONT_LIST GUI_FontArial${size}AA4 ${VMOD_SANS} ${size} 4 full
                             GUI_FontArial${size}BAA4 ${VMOD_SANS_B} ${size} 4 full)
endforeach()
foreach(size 8 10 12 14 16 20 24 32)
  list(APPEND VMOD_FONT_LIST GUI_FontMono${size}AA4 ${VMOD_MONO} ${size} 4 full
                             GUI_FontMono${size}BAA4 ${VMOD_MONO_B} ${size} 4 full)
endforeach()

list(LENGTH VMOD_FONT_LIST n)
math(EXPR last "${n} - 1")
foreach(i RANGE 0 ${last} 5)
  math(EXPR i1 "${i} + 1")
  math(EXPR i2 "${i} + 2")
  math(EXPR i3 "${i} + 3")
  math(EXPR i4 "${i} + 4")
  list(GET VMOD_FONT_LIST ${i} symbol)
  list(GET VMOD_FONT_LIST ${i1} face)
  list(GET VMOD_FONT_LIST ${i2} height)
  list(GET VMOD_FONT_LIST ${i3} bpp)
  list(GET VMOD_FONT_LIST ${i4} fit)
  set(fitArg)
  if(fit STREQUAL "ascii")
    set(fitArg ascii)
  endif()
  if(NOT EXISTS ${face})
    message(FATAL_ERROR "Font face ${face} is missing: run scripts/setup.sh")
  endif()
  set(out ${VMOD_GENERATED_DIR}/${symbol}.cpp)
  add_custom_command(OUTPUT ${out}
    COMMAND ${VMOD_FONTGEN} font ${out} ${symbol} ${face} ${height} ${bpp} ${fitArg}
    DEPENDS ${VMOD_FONTGEN_DEPENDS} ${face}
    COMMENT "Rendering ${symbol}" VERBATIM)
  list(APPEND VMOD_GENERATED_SOURCES ${out})
endforeach()

set(out ${VMOD_GENERATED_DIR}/GUI_ButtonPictures.cpp)
add_custom_command(OUTPUT ${out}
  COMMAND ${VMOD_FONTGEN} buttons ${out}
  DEPENDS ${VMOD_FONTGEN_DEPENDS}
  COMMENT "Drawing the key pictures" VERBATIM)
list(APPEND VMOD_GENERATED_SOURCES ${out})

list(APPEND VMOD_FIRMWARE_SOURCES ${VMOD_GENERATED_SOURCES})
