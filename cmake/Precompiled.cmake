# Precompiled Qt and standard headers: most of a translation unit's compile time is spent in
# these. Each precompiled header is ~170 MB with debug information, so one is built per kind of
# target (the product's libraries, the test binaries) and every target of that kind reuses it;
# a copy per target would take gigabytes of disk per build.
option(VESK_PCH "Use precompiled headers" ON)

set(VESK_PCH_HEADERS
  <QByteArray> <QDateTime> <QDir> <QFile> <QHash> <QJsonArray> <QJsonDocument> <QJsonObject>
  <QJsonValue> <QList> <QMap> <QObject> <QPointer> <QString> <QStringList> <QUrl> <QVariant>
  <chrono> <functional> <memory> <optional> <vector>)

# vesk_add_pch(name LIBS ... HEADERS ...): the target that builds one shared precompiled header.
# LIBS are linked only for their include paths and definitions.
function(vesk_add_pch name)
  if(NOT VESK_PCH)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "LIBS;HEADERS" ${ARGN})
  add_library(${name} OBJECT ${PROJECT_SOURCE_DIR}/cmake/pch_stub.cpp)
  set_target_properties(${name} PROPERTIES AUTOMOC OFF)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  target_precompile_headers(${name} PRIVATE ${VESK_PCH_HEADERS} ${ARG_HEADERS})
endfunction()

# vesk_use_pch(target pch): compile target against the shared header built by pch.
function(vesk_use_pch target pch)
  if(VESK_PCH)
    target_precompile_headers(${target} REUSE_FROM ${pch})
  endif()
endfunction()
