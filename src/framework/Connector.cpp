// The lookup and the race's bookkeeping of a connect, written once for both backends.
#include "framework/Connector.h"

#include "formats/IpAddress.h"
#include "framework/AsyncSocket.h"
#include "framework/LoopServices.h"

#include <map>

namespace {
// The connectors that exist, by id: a lookup's answer or an alarm that comes after its
// connector has gone finds nothing here and is dropped.
std::map<uint64_t, Connector*>& Live() {
    // Never destroyed: a socket left open as the program ends is destroyed after it.
    static auto* live = new std::map<uint64_t, Connector*>;
    return *live;
}

uint64_t g_nextId = 1;
int g_lookups = 0; // sent to a worker and not yet answered

Connector* Find(uint64_t id) {
    auto it = Live().find(id);
    return it == Live().end() ? nullptr : it->second;
}
} // namespace

Connector::Connector() : m_id(g_nextId++), m_race(sys::LoopNowMs()) {
    Live()[m_id] = this;
}

Connector::~Connector() {
    Live().erase(m_id);
    sys::CancelLoopAlarm(m_id);
}

void Connector::Start(const std::string& host, unsigned port) {
    m_port = port;
    m_race = sys::ConnectRace(sys::LoopNowMs());
    formats::Ipv4Bytes v4;
    formats::Ipv6Bytes v6;
    if (host.empty() || formats::ParseIpv4(host, v4) || formats::ParseIpv6(host, v6)) {
        Apply(m_race.Resolved(host.empty() ? std::vector<std::string>{} : std::vector{host},
                              sys::LoopNowMs()));
        return;
    }
    const uint64_t id = m_id;
    const bool started = sys::RunOnWorker([id, host]() -> std::function<void()> {
        std::vector<std::string> addresses = sys::LookUpAddresses(host);
        return [id, addresses = std::move(addresses)] {
            --g_lookups;
            if (Connector* connector = Find(id))
                connector->Apply(connector->m_race.Resolved(addresses, sys::LoopNowMs()));
        };
    });
    g_lookups += started;
    Apply(started ? sys::ConnectRace::Step{} : m_race.Resolved({}, sys::LoopNowMs()));
}

bool CAsyncSocket::AnyLookupPending() {
    return g_lookups > 0;
}

void Connector::AttemptEnded(size_t attempt, int error) {
    Apply(error == 0 ? m_race.Connected(attempt) : m_race.Failed(attempt, error, sys::LoopNowMs()));
}

void Connector::Apply(sys::ConnectRace::Step step) {
    // An attempt that fails at once hands on to the next at once.
    while (step.start) {
        const size_t attempt = *step.start;
        const int error = OpenAttempt(attempt, m_race.Address(attempt), m_port);
        if (error == 0)
            break;
        step = m_race.Failed(attempt, error, sys::LoopNowMs());
    }
    if (step.over) {
        sys::CancelLoopAlarm(m_id);
        Finish(step.winner, step.error);
        return;
    }
    const std::optional<uint64_t> due = m_race.NextDeadline();
    if (!due) {
        sys::CancelLoopAlarm(m_id);
        return;
    }
    const uint64_t id = m_id;
    sys::SetLoopAlarm(id, *due, [id] {
        if (Connector* connector = Find(id))
            connector->Apply(connector->m_race.Tick(sys::LoopNowMs()));
    });
}
