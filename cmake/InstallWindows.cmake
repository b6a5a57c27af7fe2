# What the Windows build's `cmake --install` adds to the library's own files
# (cmake/Install.cmake): everything a user copies to a Windows machine, laid
# out as in the build tree, so every relative path keeps its meaning:
#   bin/       tessik.exe, TessikClient.dll, WordNetEn.dll and the DLLs they
#              need; samples.conf; resource/WordNetDict (the dictionary)
#   bin/Plugins/  files.dll, sqlite.dll, xapian.dll, each with its .conf
#   sample/    the sample indexes (and the quotations they were made of)
# The test plugins and test programs stay out.
install(TARGETS tessik WordNetEn RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS ${reference_plugins} LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR}/Plugins
                                     RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}/Plugins)
# The DLLs the program loads at start (the library's and Xerces-C's).
install(FILES $<TARGET_RUNTIME_DLLS:tessik> $<TARGET_RUNTIME_DLLS:TessikClient> DESTINATION ${CMAKE_INSTALL_BINDIR})
foreach(plugin ${reference_plugins})
  install(FILES ${TESSIK_PLUGIN_DIR}/${plugin}.conf DESTINATION ${CMAKE_INSTALL_BINDIR}/Plugins)
endforeach()
install(DIRECTORY ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/resource/WordNetDict DESTINATION ${CMAKE_INSTALL_BINDIR}/resource)
if(TARGET sample_data)
  install(FILES ${CMAKE_RUNTIME_OUTPUT_DIRECTORY}/samples.conf DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(DIRECTORY ${TESSIK_SAMPLE_DIR}/glosses.xapian ${TESSIK_SAMPLE_DIR}/quotes DESTINATION sample)
  install(FILES ${TESSIK_SAMPLE_DIR}/manpages.sqlite ${TESSIK_SAMPLE_DIR}/quotes.index DESTINATION sample)
endif()
