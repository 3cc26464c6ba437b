#include "fleetd/storage/StoreStatus.h"

#include <ostream>

namespace vesk::fleetd {

const char *toString(StoreStatus::Code code)
{
    switch (code) {
    case StoreStatus::Code::Ok:
        return "Ok";
    case StoreStatus::Code::Missing:
        return "Missing";
    case StoreStatus::Code::NotADatabase:
        return "NotADatabase";
    case StoreStatus::Code::NotAFleetDatabase:
        return "NotAFleetDatabase";
    case StoreStatus::Code::NewerSchema:
        return "NewerSchema";
    case StoreStatus::Code::QueryFailed:
        return "QueryFailed";
    case StoreStatus::Code::NotFound:
        return "NotFound";
    case StoreStatus::Code::Conflict:
        return "Conflict";
    case StoreStatus::Code::Invalid:
        return "Invalid";
    }
    return "?";
}

std::ostream &operator<<(std::ostream &stream, const StoreStatus &status)
{
    stream << toString(status.code());
    if (!status.message().isEmpty())
        stream << ": " << status.message().toStdString();
    return stream;
}

} // namespace vesk::fleetd
