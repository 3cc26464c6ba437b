# Precompiled Qt, QCoro and standard headers: most of a translation unit's compile time
# is spent in these, and every library and test binary includes them.
option(VESK_PCH "Use precompiled headers" ON)

set(VESK_PCH_HEADERS
  <QByteArray> <QDateTime> <QDir> <QFile> <QHash> <QJsonArray> <QJsonDocument> <QJsonObject>
  <QJsonValue> <QList> <QMap> <QObject> <QPointer> <QString> <QStringList> <QUrl> <QVariant>
  <chrono> <functional> <memory> <optional> <vector>)

# vesk_use_pch(target [extra headers...]); targets linking QCoro also get its task header.
function(vesk_use_pch target)
  if(NOT VESK_PCH)
    return()
  endif()
  set(headers ${VESK_PCH_HEADERS} ${ARGN})
  get_target_property(links ${target} LINK_LIBRARIES)
  if(links AND "QCoro6::Core" IN_LIST links)
    list(APPEND headers <qcoro/qcorotask.h>)
  endif()
  target_precompile_headers(${target} PRIVATE ${headers})
endfunction()
