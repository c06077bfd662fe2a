# Every program answers --version with the project's version.
foreach(program qrm284 kvx512-sim qrm284-updater)
  if(TARGET ${program})
    target_compile_definitions(${program} PRIVATE QRM284_VERSION="${PROJECT_VERSION}")
  endif()
endforeach()
