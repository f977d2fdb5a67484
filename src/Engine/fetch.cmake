# The fetch engine: registry, queues, engine thread, workers and the HTTP transport.
list(APPEND QUILLARA_ENGINE_SOURCES
  ${CMAKE_CURRENT_SOURCE_DIR}/Url/utlUrlParts.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/clsUrlInformation.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Core/clsQuillaraItem.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Core/clsBlockItem.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Core/clsAnalysisNodeFactory.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Core/clsEngineOptions.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/clsSendPacer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/clsRedirectChain.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/utlHttpResponse.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/clsCommunicationHttp.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/clsTransfer.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Http/clsCommunicationManager.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/Core/clsQuillaraEngine.cpp
)
