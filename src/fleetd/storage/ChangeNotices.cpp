#include "fleetd/storage/ChangeNotices.h"

#include "fleetd/FleetdLog.h"
#include "fleetd/storage/SqlStatement.h"
#include "fleetd/storage/StoreDialect.h"

#include <QSqlDriver>

namespace vesk::fleetd {

ChangeNotices::~ChangeNotices()
{
    QObject::disconnect(m_subscription);
}

bool ChangeNotices::listen(const QSqlDatabase &db)
{
    QSqlDriver *driver = db.driver();
    if (!driver || !driver->hasFeature(QSqlDriver::EventNotifications))
        return false;
    const int slot = driver->metaObject()->indexOfMethod("_q_handleNotification()");
    if (slot < 0)
        return false;
    m_readNotices = driver->metaObject()->method(slot);
    m_subscription = QObject::connect(driver, &QSqlDriver::notification, driver,
                                      [this](const QString &name) {
                                          if (name == QLatin1String(kChannel))
                                              ++m_notices;
                                      });
    if (!driver->subscribeToNotification(QString::fromLatin1(kChannel))) {
        QObject::disconnect(m_subscription);
        return false;
    }
    m_driver = driver;
    return true;
}

StoreResult<qint64> ChangeNotices::version(const Probe &probe)
{
    // The driver reads its socket for notices when the event loop sees it readable; reading
    // here as well makes a notice that already arrived count for this very request.
    if (!m_driver || !m_readNotices.invoke(m_driver.data(), Qt::DirectConnection))
        return probe();
    if (!m_lastProbe || !m_sinceProbe.isValid() || m_sinceProbe.elapsed() >= kProbeIntervalMs) {
        const StoreResult<qint64> probed = probe();
        if (!probed.status.isOk())
            return probed;
        if (m_lastProbe && *m_lastProbe != probed.value)
            ++m_probeChanges;
        m_lastProbe = probed.value;
        m_sinceProbe.start();
    }
    return {StoreStatus::ok(), m_notices + m_probeChanges};
}

void announceChange(StoreConnection &connection)
{
    const StoreDialect *dialect = connection.dialect();
    if (!dialect || dialect->changeNotice().isEmpty())
        return;
    SqlStatement notice(connection, dialect->changeNotice(), QStringLiteral("cannot send a change notice"));
    if (const StoreStatus sent = notice.run(); !sent.isOk())
        qCWarning(lcFleetd) << sent.message();
}

} // namespace vesk::fleetd
