#pragma once

#include <QByteArray>

#include <optional>

namespace vesk {

// The answer to a read sent with If-None-Match: the value when the server sent one, nothing
// when it answered 304 Not Modified (the copy the caller holds is still current).
template <class T> struct ConditionalAnswer {
    std::optional<T> value;
    // The ETag of the answer, to send back next time; empty when the server named none.
    QByteArray etag;

    bool notModified() const { return !value.has_value(); }
};

} // namespace vesk
