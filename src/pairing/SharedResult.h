#pragma once

#include <coroutine>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

namespace vesk {

// A result that any number of coroutines await while one of them produces it: the
// producer calls publish(), which resumes every waiter with a copy. Held through a
// shared_ptr so waiters keep it alive.
template <class T> class SharedResult : public std::enable_shared_from_this<SharedResult<T>> {
public:
    class Awaiter {
    public:
        explicit Awaiter(std::shared_ptr<SharedResult> shared) : m_shared(std::move(shared)) {}
        bool await_ready() const { return m_shared->m_value.has_value(); }
        void await_suspend(std::coroutine_handle<> waiter) { m_shared->m_waiters.push_back(waiter); }
        T await_resume() const { return *m_shared->m_value; }

    private:
        std::shared_ptr<SharedResult> m_shared;
    };

    Awaiter wait() { return Awaiter(this->shared_from_this()); }

    void publish(T value)
    {
        m_value = std::move(value);
        const std::vector<std::coroutine_handle<>> waiters = std::exchange(m_waiters, {});
        for (const std::coroutine_handle<> waiter : waiters)
            waiter.resume();
    }

private:
    std::optional<T> m_value;
    std::vector<std::coroutine_handle<>> m_waiters;
};

} // namespace vesk
