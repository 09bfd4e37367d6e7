# The form of the programs the MinGW builds ship: hardening, a reproducible
# image, a separate debug file, delay-loaded shell DLLs and an optional
# signature. Included before any target so that every object gets the same
# compile options. tools/check-pe.sh verifies the result.

# Canaries; with -static, libssp comes in as a static library (no DLL).
add_compile_options(-fstack-protector-strong)
add_link_options(-fstack-protector-strong)
# Line tables and function names for the separate debug file.
add_compile_options(-g1)
# No build folder in the objects (assert texts, debug info): two builds from
# different folders give the same bytes. The later map wins, so the build
# folder (often inside the sources) comes last.
add_compile_options(-ffile-prefix-map=${CMAKE_SOURCE_DIR}=src
                    -ffile-prefix-map=${CMAKE_BINARY_DIR}=build)

set(VLX_SIGN_CERT "" CACHE FILEPATH "PEM certificate (chain) to sign the shipped programs with")
set(VLX_SIGN_KEY "" CACHE FILEPATH "PEM private key of VLX_SIGN_CERT")

# Delay-import libraries for the DLLs that only a conversion, the message box,
# temporary names and the installation check's signature test need: Wine and
# Windows then map them on first use, not at every start. Each folder entry
# libNAME.a is a linker script that puts the delay-import library before the
# system's import library (which still provides NAME's data symbols), so
# every -lNAME of the program resolves to the delay thunks, the C runtime's
# own included.
set(VLX_DELAY_DIR ${CMAKE_BINARY_DIR}/delayload)
file(MAKE_DIRECTORY ${VLX_DELAY_DIR})
foreach(dll user32 shell32 ole32 wintrust)
  find_library(VLX_${dll}_IMPORT_LIB NAMES lib${dll}.a REQUIRED NO_CACHE)
  # Made again only when needed: a new library relinks the program.
  set(made ${VLX_DELAY_DIR}/${dll}_delay.a)
  if(EXISTS ${made} AND NOT ${VLX_${dll}_IMPORT_LIB} IS_NEWER_THAN ${made}
     AND NOT ${CMAKE_CURRENT_LIST_FILE} IS_NEWER_THAN ${made})
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_NM} -g --defined-only ${VLX_${dll}_IMPORT_LIB}
                  OUTPUT_VARIABLE symbols COMMAND_ERROR_IS_FATAL ANY)
  # __imp_Name (x86_64) or __imp__Name@N (i686) -> Name or Name@N.
  string(REGEX MATCHALL "__imp_[^\n]+" imports "${symbols}")
  list(TRANSFORM imports REPLACE "^__imp_" "")
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    list(TRANSFORM imports REPLACE "^_" "")
    set(kill_at -k)  # the DLL exports undecorated names
  else()
    set(kill_at "")
  endif()
  list(JOIN imports "\n" exports)
  file(WRITE ${VLX_DELAY_DIR}/${dll}.def "LIBRARY ${dll}.dll\nEXPORTS\n${exports}\n")
  # Relative names: dlltool names its symbols after the output file, and they
  # reach the debug file, whose checksum the program carries.
  execute_process(COMMAND ${CMAKE_DLLTOOL} ${kill_at} --input-def ${dll}.def
                          --dllname ${dll}.dll --output-delaylib ${dll}_delay.a
                  WORKING_DIRECTORY ${VLX_DELAY_DIR} COMMAND_ERROR_IS_FATAL ANY)
  # The linker orders import tables by library path: a path relative to the
  # build folder, where the program links, keeps that order the same
  # wherever the build folder lies.
  file(WRITE ${VLX_DELAY_DIR}/lib${dll}.a
       "INPUT(delayload/${dll}_delay.a ${VLX_${dll}_IMPORT_LIB})\n")
endforeach()

# Makes `target` a shipped program: delay-loaded shell DLLs, Windows 7 as the
# oldest system, no time stamp, ASLR and DEP, stripped with its debug file
# `<exe>.debug` beside it, and signed when VLX_SIGN_CERT is set.
function(vlx_shipped_exe target)
  if(NOT CMAKE_CURRENT_BINARY_DIR STREQUAL CMAKE_BINARY_DIR)
    message(FATAL_ERROR "${target}: shipped programs link in the top build folder")
  endif()
  target_link_directories(${target} BEFORE PRIVATE ${VLX_DELAY_DIR})
  set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS
               ${VLX_DELAY_DIR}/user32_delay.a ${VLX_DELAY_DIR}/shell32_delay.a
               ${VLX_DELAY_DIR}/ole32_delay.a ${VLX_DELAY_DIR}/wintrust_delay.a)
  target_link_options(${target} PRIVATE
    -Wl,--no-insert-timestamp
    -Wl,--major-subsystem-version,6 -Wl,--minor-subsystem-version,1
    -Wl,--major-os-version,6 -Wl,--minor-os-version,1
    -Wl,--dynamicbase -Wl,--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    # 4 GiB of address space on 64-bit Windows for large documents. Safe: no
    # code keeps an address in a signed 32-bit value or uses its top bit (the
    # allocator masks addresses as uintptr_t and keeps only in-page offsets,
    # below 64 KiB, in 32 bits; sizes are capped at 0x7FFFFFFF by themselves).
    target_link_options(${target} PRIVATE -Wl,--large-address-aware)
  else()
    target_link_options(${target} PRIVATE -Wl,--high-entropy-va)
  endif()
  set(exe $<TARGET_FILE:${target}>)
  # objcopy stamps the time into a PE it writes unless SOURCE_DATE_EPOCH is
  # set: 0, as the linker leaves it.
  set(objcopy ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0 ${CMAKE_OBJCOPY})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${objcopy} --only-keep-debug ${exe} ${exe}.debug
    COMMAND ${objcopy} --strip-all --add-gnu-debuglink=${exe}.debug ${exe}
    VERBATIM)
  if(VLX_SIGN_CERT)
    add_custom_command(TARGET ${target} POST_BUILD
      COMMAND ${CMAKE_COMMAND} -E env VLX_SIGN_CERT=${VLX_SIGN_CERT} VLX_SIGN_KEY=${VLX_SIGN_KEY}
              ${CMAKE_SOURCE_DIR}/tools/sign.sh ${exe}
      VERBATIM)
  endif()
endfunction()
