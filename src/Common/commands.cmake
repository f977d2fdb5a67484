# Commands, help topics and time values.
list(APPEND QUILLARA_COMMON_SOURCES
  utlCommandRoot.cpp
  utlHelp.cpp
  kivaTime.cpp
)
