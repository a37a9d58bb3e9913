// Happy Eyeballs without sockets or clocks: address order, attempts, the winner, the failure.
#include "framework/ConnectRace.h"

#include "framework/AsyncSocket.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

// Feeds one event ("resolve AT ADDRESS...", "tick AT", "connect ATTEMPT", "refused ATTEMPT AT")
// and tells the step ("start ADDRESS", "win ADDRESS", "fail ERROR", "-"), then " @DEADLINE".
std::string Feed(sys::ConnectRace& race, const std::string& event) {
    std::istringstream in(event);
    std::string kind;
    uint64_t number = 0; // the time, or the attempt
    std::vector<std::string> words;
    in >> kind >> number;
    for (std::string word; in >> word;)
        words.push_back(word);
    const sys::ConnectRace::Step step =
        kind == "resolve"   ? race.Resolved(words, number)
        : kind == "tick"    ? race.Tick(number)
        : kind == "connect" ? race.Connected(number)
                            : race.Failed(number, SOCK_ERR_CONNREFUSED, std::stoull(words.at(0)));
    std::string told = step.start    ? "start " + race.Address(*step.start)
                       : step.winner ? "win " + race.Address(*step.winner)
                       : step.over   ? "fail " + std::to_string(step.error)
                                     : "-";
    if (std::optional<uint64_t> due = race.NextDeadline())
        told += " @" + std::to_string(*due);
    return told;
}

} // namespace

TEST(ConnectRace, FamiliesTakeTurnsFromIPv6OnInTheResolversOrder) {
    using List = std::vector<std::string>;
    const std::pair<List, List> cases[] = {
        {{"10.0.0.1", "10.0.0.2", "::1", "2001:db8::2"},
         {"::1", "10.0.0.1", "2001:db8::2", "10.0.0.2"}},
        {{"::1", "::2", "::3", "10.0.0.1"}, {"::1", "10.0.0.1", "::2", "::3"}},
        {{"10.0.0.2", "10.0.0.1"}, {"10.0.0.2", "10.0.0.1"}},
        {{}, {}},
    };
    for (const auto& [resolved, attempts] : cases)
        EXPECT_EQ(sys::OrderConnectionAttempts(resolved), attempts);
}

TEST(ConnectRace, StaggersAttemptsMovesOnFromARefusalAndEndsWithTheFirstToConnect) {
    using Script = std::vector<std::pair<std::string, std::string>>; // event, step told
    const std::pair<const char*, Script> cases[] = {
        {"IPv6 first, IPv4 250 ms later, the first to connect wins",
         {{"resolve 1000 127.0.0.1 ::1", "start ::1 @1250"},
          {"tick 1249", "- @1250"},
          {"tick 1250", "start 127.0.0.1"},
          {"connect 1", "win 127.0.0.1"},
          {"connect 0", "-"}}},
        {"a refused address hands on at once, the last refusal fails the connect",
         {{"resolve 0 ::1 127.0.0.1 127.0.0.2", "start ::1 @250"},
          {"refused 0 10", "start 127.0.0.1 @260"},
          {"refused 0 11", "- @260"},
          {"tick 260", "start 127.0.0.2"},
          {"refused 1 300", "-"},
          {"refused 2 301", "fail 10061"}}},
        {"a dead first address is waited for no longer than it takes the next to win",
         {{"resolve 0 ::1 127.0.0.1", "start ::1 @250"},
          {"tick 250", "start 127.0.0.1"},
          {"connect 0", "win ::1"},
          {"refused 1 300", "-"}}},
        {"a name without addresses", {{"resolve 5 ", "fail 11001"}, {"tick 30005", "-"}}},
        {"a lookup that does not answer within the limit, and its late answer",
         {{"tick 29999", "- @30000"}, {"tick 30000", "fail 11001"}, {"resolve 30001 ::1", "-"}}},
    };
    for (const auto& [name, script] : cases) {
        SCOPED_TRACE(name);
        sys::ConnectRace race(0);
        for (const auto& [event, told] : script)
            EXPECT_EQ(Feed(race, event), told) << event;
    }
}
