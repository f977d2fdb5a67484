# The fetch engine: registry, queues, engine thread, workers and the HTTP transport.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/utlUrlParts.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsUrlInformation.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsQuillaraItem.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsBlockItem.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsAnalysisNodeFactory.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsEngineOptions.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsSendPacer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsRedirectChain.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsCommunicationHttp.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsCommunicationManager.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/clsQuillaraEngine.cpp
)
