# zyn_trusted_keys_source(out name pem_file) and zyn_trusted_ca_source(out name pem_file) make a
# source that compiles the public keys (zyn::TrustedKeys()) or CA certificates (zyn::TrustedCas())
# of `pem_file` into a program (none when it is empty) and put its name into `out`. The compiler
# reads the file, so one holding anything else, or nothing, fails the build rather than giving a
# launcher that trusts nothing, or anything.
function(zyn_pem_source out name pem_file template delimiter what)
  set(ZYN_PEM "")
  set(ZYN_PEM_GIVEN false)
  if(pem_file)
    set(ZYN_PEM_GIVEN true)
    get_filename_component(pem_file ${pem_file} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    file(READ ${pem_file} ZYN_PEM)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
      ${pem_file})
    if(ZYN_PEM MATCHES "\\)${delimiter}\"")
      message(FATAL_ERROR "${pem_file} is not a file of PEM ${what}")
    endif()
  endif()
  get_filename_component(base ${template} NAME_WE)
  set(source ${CMAKE_BINARY_DIR}/generated/${name}/${base}.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/${template} ${source} @ONLY)
  set(${out} ${source} PARENT_SCOPE)
endfunction()

function(zyn_trusted_keys_source out name pem_file)
  zyn_pem_source(source ${name} "${pem_file}" src/config/TrustedKeys.cpp.in zynkeys "public keys")
  set(${out} ${source} PARENT_SCOPE)
endfunction()

function(zyn_trusted_ca_source out name pem_file)
  zyn_pem_source(source ${name} "${pem_file}" src/net/TrustedCas.cpp.in zynca certificates)
  set(${out} ${source} PARENT_SCOPE)
endfunction()
