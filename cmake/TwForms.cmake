# tw_embed_forms(target form.txt...): converts each text form into the binary
# form stream with the host tool and links it into target as an RCDATA
# resource named after the form's class in upper case (TMAINFORM).
function(tw_embed_forms target)
  if(NOT TW_HOST_TOOLS)
    message(FATAL_ERROR "tw_embed_forms needs TW_HOST_TOOLS (the host build's tools directory)")
  endif()
  set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}_forms.rc)
  set(content "")
  set(bins "")
  foreach(form ${ARGN})
    get_filename_component(abs ${form} ABSOLUTE)
    file(STRINGS ${abs} first REGEX "^object [A-Za-z_0-9]+ *: *[A-Za-z_0-9]+" LIMIT_COUNT 1)
    string(REGEX REPLACE "^object [A-Za-z_0-9]+ *: *([A-Za-z_0-9]+).*" "\\1" cls "${first}")
    if(cls STREQUAL "")
      message(FATAL_ERROR "${form} does not start with 'object Name: TClass'")
    endif()
    string(TOUPPER ${cls} res)
    set(bin ${CMAKE_CURRENT_BINARY_DIR}/forms/${target}/${res}.bin)
    add_custom_command(OUTPUT ${bin}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_CURRENT_BINARY_DIR}/forms/${target}
      COMMAND ${TW_HOST_TOOLS}/formconv -b ${abs} ${bin}
      DEPENDS ${abs} ${TW_HOST_TOOLS}/formconv
      COMMENT "Converting form ${form}")
    string(APPEND content "${res} RCDATA \"${bin}\"\n")
    list(APPEND bins ${bin})
  endforeach()
  file(GENERATE OUTPUT ${rc} CONTENT "${content}")
  set_source_files_properties(${rc} PROPERTIES OBJECT_DEPENDS "${bins}")
  target_sources(${target} PRIVATE ${rc})
endfunction()
