# zelk_add_version_resource(target file-name description): gives a Windows executable or DLL
# a VERSIONINFO resource made from the project's version at build time (windres), so the
# version reader and Explorer see the product version. Does nothing on other platforms.
function(zelk_add_version_resource target file_name description)
  if(NOT WIN32)
    return()
  endif()
  set(ZELK_RC_FILE_NAME "${file_name}")
  set(ZELK_RC_DESCRIPTION "${description}")
  get_filename_component(ZELK_RC_INTERNAL_NAME "${file_name}" NAME_WE)
  set(ZELK_RC_VERSION "${PROJECT_VERSION}")
  foreach(part MAJOR MINOR PATCH TWEAK)
    set(_v "${PROJECT_VERSION_${part}}")
    if(_v STREQUAL "")
      set(_v 0)
    endif()
    set(ZELK_RC_${part} ${_v})
  endforeach()
  set(ZELK_RC_TYPE "0x1L") # VFT_APP
  get_target_property(_type ${target} TYPE)
  if(_type STREQUAL "SHARED_LIBRARY")
    set(ZELK_RC_TYPE "0x2L") # VFT_DLL
  endif()
  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}_version.rc")
  configure_file("${CMAKE_CURRENT_FUNCTION_LIST_DIR}/ZelkVersion.rc.in" "${rc}" @ONLY)
  target_sources(${target} PRIVATE "${rc}")
endfunction()
