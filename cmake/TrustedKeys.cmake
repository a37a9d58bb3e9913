# zyn_trusted_keys_source(out name pem_file): makes a source that defines zyn::TrustedKeys()
# with the keys of `pem_file` (none when it is empty) and puts its name into `out`. The keys are
# read by the compiler, so a file holding anything but P-256 public keys, or no key at all,
# fails the build rather than giving a launcher that trusts no key and so takes any state.
function(zyn_trusted_keys_source out name pem_file)
  set(ZYN_TRUSTED_KEYS_PEM "")
  set(ZYN_TRUSTED_KEYS_GIVEN false)
  if(pem_file)
    set(ZYN_TRUSTED_KEYS_GIVEN true)
    get_filename_component(pem_file ${pem_file} ABSOLUTE BASE_DIR ${CMAKE_SOURCE_DIR})
    file(READ ${pem_file} ZYN_TRUSTED_KEYS_PEM)
    set_property(DIRECTORY ${CMAKE_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS
      ${pem_file})
    if(ZYN_TRUSTED_KEYS_PEM MATCHES "\\)zynkeys\"")
      message(FATAL_ERROR "${pem_file} is not a file of PEM public keys")
    endif()
  endif()
  set(source ${CMAKE_BINARY_DIR}/generated/${name}/TrustedKeys.cpp)
  configure_file(${CMAKE_SOURCE_DIR}/src/config/TrustedKeys.cpp.in ${source} @ONLY)
  set(${out} ${source} PARENT_SCOPE)
endfunction()
