#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "threading/sigslot.h"

namespace {

struct Sender {
    sigslot::signal0<> done;
    sigslot::signal1<unsigned int> error;
    sigslot::signal2<const char*, unsigned long> data;
};

struct Receiver : sigslot::has_slots<> {
    explicit Receiver(std::vector<std::string>* log, std::string name)
        : log_(log), name_(std::move(name)) {}
    ~Receiver() override { disconnect_all(); }
    void OnDone() { log_->push_back(name_ + ":done"); }
    void OnError(unsigned int code) { log_->push_back(name_ + ":error " + std::to_string(code)); }
    void OnData(const char* p, unsigned long n) {
        log_->push_back(name_ + ":" + std::string(p, n));
    }

    std::vector<std::string>* log_;
    std::string name_;
};

TEST(Sigslot, EmitCallsSlotsInConnectionOrderWithTheirArguments) {
    std::vector<std::string> log;
    Sender sender;
    Receiver a(&log, "a"), b(&log, "b");
    sender.done.connect(&b, &Receiver::OnDone);
    sender.done.connect(&a, &Receiver::OnDone);
    sender.error.connect(&a, &Receiver::OnError);
    sender.data.connect(&b, &Receiver::OnData);
    sender.done.emit();
    sender.error(7);
    sender.data("xyz", 2);
    EXPECT_EQ(log, (std::vector<std::string>{"b:done", "a:done", "a:error 7", "b:xy"}));
}

TEST(Sigslot, DestroyingEitherSideDisconnects) {
    std::vector<std::string> log;
    auto sender = std::make_unique<Sender>();
    {
        Receiver gone(&log, "gone");
        sender->done.connect(&gone, &Receiver::OnDone);
        EXPECT_TRUE(sender->done.connected());
    }
    EXPECT_FALSE(sender->done.connected());
    sender->done.emit();
    EXPECT_TRUE(log.empty());

    Receiver stays(&log, "stays");
    sender->done.connect(&stays, &Receiver::OnDone);
    sender.reset();  // the receiver must forget the destroyed signal
    stays.disconnect_all();
    EXPECT_TRUE(log.empty());
}

struct SelfDisconnecting : sigslot::has_slots<> {
    sigslot::signal0<>* signal = nullptr;
    int calls = 0;
    void OnDone() {
        ++calls;
        signal->disconnect(this);
    }
};

TEST(Sigslot, ASlotMayDisconnectItselfDuringEmit) {
    Sender sender;
    SelfDisconnecting r;
    r.signal = &sender.done;
    sender.done.connect(&r, &SelfDisconnecting::OnDone);
    sender.done.emit();
    sender.done.emit();
    EXPECT_EQ(r.calls, 1);
}

struct Counter : sigslot::has_slots<> {
    ~Counter() override { disconnect_all(); }
    void OnError(unsigned int n) { total += n; }
    std::atomic<unsigned long> total{0};
};

TEST(Sigslot, EmittingFromManyThreadsWhileReceiversComeAndGo) {
    Sender sender;
    Counter stable;
    sender.error.connect(&stable, &Counter::OnError);
    std::atomic<bool> stop{false};
    std::vector<std::thread> emitters;
    for (int t = 0; t < 3; ++t)
        emitters.emplace_back([&] {
            for (int i = 0; i < 2000; ++i) sender.error.emit(1);
        });
    std::thread churn([&] {
        while (!stop) {
            Counter transient;
            sender.error.connect(&transient, &Counter::OnError);
        }  // destroyed while emissions run: must wait for them and disconnect
    });
    for (std::thread& e : emitters) e.join();
    stop = true;
    churn.join();
    EXPECT_EQ(stable.total.load(), 6000u);
}

}  // namespace
