// Signals and slots with a lock per signal and per receiver ("multi-threaded local" policy).
// A signal calls its connected member functions in connection order on the emitting thread,
// under the signal's own lock. Destroying a signal disconnects its receivers; destroying a
// receiver disconnects it from every signal. A receiver whose slots may run on other threads
// calls disconnect_all() first thing in its own destructor, so that no slot runs on a
// half-destroyed object.
#pragma once

#include <functional>
#include <list>
#include <mutex>
#include <set>
#include <utility>

namespace sigslot {

class multi_threaded_local {
  public:
    multi_threaded_local() = default;
    // A copy gets a lock of its own.
    multi_threaded_local(const multi_threaded_local&) {}
    multi_threaded_local& operator=(const multi_threaded_local&) { return *this; }
    virtual ~multi_threaded_local() = default;
    void lock() { mutex_.lock(); }
    void unlock() { mutex_.unlock(); }

  private:
    std::recursive_mutex mutex_;
};

typedef multi_threaded_local SIGSLOT_DEFAULT_MT_POLICY;

template <class mt_policy>
class lock_block {
  public:
    explicit lock_block(mt_policy* mtx) : mutex_(mtx) { mutex_->lock(); }
    ~lock_block() { mutex_->unlock(); }
    lock_block(const lock_block&) = delete;
    lock_block& operator=(const lock_block&) = delete;

  private:
    mt_policy* mutex_;
};

template <class mt_policy>
class has_slots;

template <class mt_policy>
class _signal_base : public mt_policy {
  public:
    virtual void slot_disconnect(has_slots<mt_policy>* receiver) = 0;
};

template <class mt_policy = SIGSLOT_DEFAULT_MT_POLICY>
class has_slots : public mt_policy {
  public:
    typedef _signal_base<mt_policy> sender_type;

    has_slots() = default;
    has_slots(const has_slots&) = delete;
    has_slots& operator=(const has_slots&) = delete;
    virtual ~has_slots() { disconnect_all(); }

    void signal_connect(sender_type* sender) {
        lock_block<mt_policy> lock(this);
        senders_.insert(sender);
    }

    void signal_disconnect(sender_type* sender) {
        lock_block<mt_policy> lock(this);
        senders_.erase(sender);
    }

    // Waits for running emissions of each signal (their locks), then removes the connections.
    void disconnect_all() {
        std::set<sender_type*> senders;
        {
            lock_block<mt_policy> lock(this);
            senders.swap(senders_);
        }
        // The receiver's lock is not held here, so this never inverts the signal-then-receiver
        // order that connect and a signal's destruction use.
        for (sender_type* sender : senders) sender->slot_disconnect(this);
    }

  private:
    std::set<sender_type*> senders_;
};

template <class mt_policy, class... Args>
class _signal_n : public _signal_base<mt_policy> {
  public:
    typedef has_slots<mt_policy> receiver_type;

    _signal_n() = default;
    _signal_n(const _signal_n&) = delete;
    _signal_n& operator=(const _signal_n&) = delete;
    ~_signal_n() override { disconnect_all(); }

    template <class Dest>
    void connect(Dest* receiver, void (Dest::*method)(Args...)) {
        lock_block<mt_policy> lock(this);
        connections_.push_back(Connection{
            receiver, [receiver, method](Args... args) { (receiver->*method)(args...); }});
        receiver->signal_connect(this);
    }

    void disconnect(receiver_type* receiver) {
        lock_block<mt_policy> lock(this);
        bool found = false;
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (it->receiver == receiver) {
                it = connections_.erase(it);
                found = true;
            } else {
                ++it;
            }
        }
        if (found) receiver->signal_disconnect(this);
    }

    void disconnect_all() {
        lock_block<mt_policy> lock(this);
        for (Connection& c : connections_) c.receiver->signal_disconnect(this);
        connections_.clear();
    }

    void slot_disconnect(receiver_type* receiver) override {
        lock_block<mt_policy> lock(this);
        for (auto it = connections_.begin(); it != connections_.end();) {
            if (it->receiver == receiver)
                it = connections_.erase(it);
            else
                ++it;
        }
    }

    bool connected() {
        lock_block<mt_policy> lock(this);
        return !connections_.empty();
    }

    void emit(Args... args) {
        lock_block<mt_policy> lock(this);
        // The next position is taken before the call, so a slot may disconnect itself.
        for (auto it = connections_.begin(); it != connections_.end();) {
            auto next = std::next(it);
            it->call(args...);
            it = next;
        }
    }

    void operator()(Args... args) { emit(args...); }

  private:
    struct Connection {
        receiver_type* receiver;
        std::function<void(Args...)> call;
    };
    std::list<Connection> connections_;
};

template <class mt_policy = SIGSLOT_DEFAULT_MT_POLICY>
class signal0 : public _signal_n<mt_policy> {};

template <class A1, class mt_policy = SIGSLOT_DEFAULT_MT_POLICY>
class signal1 : public _signal_n<mt_policy, A1> {};

template <class A1, class A2, class mt_policy = SIGSLOT_DEFAULT_MT_POLICY>
class signal2 : public _signal_n<mt_policy, A1, A2> {};

}  // namespace sigslot
