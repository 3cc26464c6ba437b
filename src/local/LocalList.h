#pragma once

#include <QList>

namespace vesk {

// One of this machine's own lists that a settings import replaces: the local policy library,
// the cleanup rules, the network shares. The service that owns the list implements it, so a
// replacement lands in the running service as well as in its file.
template <class T>
class LocalList {
public:
    virtual ~LocalList() = default;
    // The list as kept now; empty when there is none.
    virtual QList<T> items() const = 0;
    // Takes `items` as the whole list and writes its file; a write that fails is dropped.
    virtual void replace(const QList<T> &items) = 0;
};

} // namespace vesk
