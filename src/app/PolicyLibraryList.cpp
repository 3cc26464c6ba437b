#include "app/PolicyLibraryList.h"

#include "policy/PolicyEngine.h"

namespace vesk {

PolicyLibraryList::PolicyLibraryList(QString storageDir, PolicyEngine *engine)
    : m_files(std::move(storageDir)), m_engine(engine)
{
}

QList<DevicePolicy> PolicyLibraryList::items() const
{
    return m_engine ? m_engine->files().readLibrary().value_or(QList<DevicePolicy>())
                    : m_files.readLibrary().value_or(QList<DevicePolicy>());
}

void PolicyLibraryList::replace(const QList<DevicePolicy> &items)
{
    if (!m_engine) {
        m_files.saveLibrary(items);
        return;
    }
    m_engine->savePolicies(items);
    m_engine->loadInitialPolicy();
}

} // namespace vesk
