// What each backend's event loop offers the framework's shared pieces: a worker thread whose
// result comes back as an event of the loop, one-shot alarms and the loop's clock.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sys {

// Runs `job` on a thread of its own; what it returns then runs on the loop's thread, as an event
// of the loop. The job shares nothing with the loop but what it captured by value; a program that
// ends does not wait for it. False when no thread could be started.
bool RunOnWorker(std::function<std::function<void()>()> job);

// Calls `fire` once on the loop's thread when LoopNowMs() reaches `dueMs`; another alarm of the
// same id (nonzero) replaces it.
void SetLoopAlarm(uint64_t id, uint64_t dueMs, std::function<void()> fire);
void CancelLoopAlarm(uint64_t id);
// Monotonic milliseconds.
uint64_t LoopNowMs();

// Each backend's name lookup, for a worker thread (it blocks): the IPv6 and IPv4 addresses of
// `host` in the resolver's order, as text; none when it does not resolve.
std::vector<std::string> LookUpAddresses(const std::string& host);

} // namespace sys
