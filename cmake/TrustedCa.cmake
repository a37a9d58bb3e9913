# zyn_trusted_ca_source(out name pem_file): makes a source that defines zyn::TrustedCas() with
# the certificates of `pem_file` (none when it is empty: the system's roots) and puts its name
# into `out`. The certificates are read by the compiler, so a file holding anything but PEM
# certificates, or none, fails the build rather than giving a launcher that trusts nothing.
function(zyn_trusted_ca_source out name pem_file)
  set(ZYN_TRUSTED_CA_PEM "")
  set(ZYN_TRUSTED_CA_GIVEN false)
  if(pem_file)
    get_filename_component(pem_file ${pem_file} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    file(READ ${pem_file} ZYN_TRUSTED_CA_PEM)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
      ${pem_file})
    if(ZYN_TRUSTED_CA_PEM MATCHES "\\)zynca\"")
      message(FATAL_ERROR "${pem_file} is not a file of PEM certificates")
    endif()
    set(ZYN_TRUSTED_CA_GIVEN true)
  endif()
  set(source ${CMAKE_BINARY_DIR}/generated/${name}/TrustedCas.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/src/net/TrustedCas.cpp.in ${source} @ONLY)
  set(${out} ${source} PARENT_SCOPE)
endfunction()
