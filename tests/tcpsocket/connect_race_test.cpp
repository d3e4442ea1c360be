// The race of connection attempts over a fake clock: attempts scripted to
// connect or fail some time after they start.
#include "tcpsocket/connect_race.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace tcp {
namespace {

struct Attempt {
  bool connects;
  std::uint32_t afterMs;  // from its start
  int error = 10061;
};

struct Race {
  std::vector<std::string> log;  // "start 1 at 250", "win 1 at 300", "close 0", "lost 10060"
};

// Plays the race to its end: the timer and the attempts' outcomes in the
// order of the fake clock, the timer first on a tie.
Race play(const std::vector<Attempt>& attempts) {
  Race race;
  ConnectRace machine(attempts.size());
  std::multimap<std::uint32_t, std::size_t> outcomes;  // time -> attempt
  std::optional<std::uint32_t> timer;
  std::uint32_t now = 0;
  const auto apply = [&](const ConnectRace::Step& step) {
    if (step.start) {
      race.log.push_back("start " + std::to_string(*step.start) + " at " + std::to_string(now));
      outcomes.emplace(now + attempts[*step.start].afterMs, *step.start);
    }
    timer = step.waitMs ? std::optional<std::uint32_t>(now + *step.waitMs) : std::nullopt;
  };
  apply(machine.begin());
  while (!machine.won() && !machine.lost()) {
    if (timer && (outcomes.empty() || *timer <= outcomes.begin()->first)) {
      now = *timer;
      apply(machine.timerExpired());
      continue;
    }
    const auto [time, index] = *outcomes.begin();
    outcomes.erase(outcomes.begin());
    now = time;
    if (attempts[index].connects) {
      if (machine.connected(index)) race.log.push_back("win " + std::to_string(index) + " at " + std::to_string(now));
    } else {
      apply(machine.failed(index, attempts[index].error));
    }
  }
  for (const std::size_t loser : machine.running()) race.log.push_back("close " + std::to_string(loser));
  if (machine.lost()) race.log.push_back("lost " + std::to_string(machine.lastError()));
  return race;
}

TEST(ConnectRace, StaggersFailsFastAndLetsTheFirstToConnectWin) {
  struct Case {
    const char* name;
    std::vector<Attempt> attempts;
    std::vector<std::string> log;
  };
  const Case cases[] = {
      {"one address", {{true, 10}}, {"start 0 at 0", "win 0 at 10"}},
      {"the first connects before the stagger", {{true, 100}, {true, 1}}, {"start 0 at 0", "win 0 at 100"}},
      {"a fast failure moves on at once", {{false, 5}, {true, 20}}, {"start 0 at 0", "start 1 at 5", "win 1 at 25"}},
      {"a slow first attempt: the second starts after 250 ms and wins",
       {{true, 400}, {true, 50}},
       {"start 0 at 0", "start 1 at 250", "win 1 at 300", "close 0"}},
      {"a late winner closes the attempts still running",
       {{true, 600}, {false, 10}, {true, 900}},
       {"start 0 at 0", "start 1 at 250", "start 2 at 260", "win 0 at 600", "close 2"}},
      {"the stagger goes on through every address",
       {{true, 2000}, {true, 2000}, {true, 30}},
       {"start 0 at 0", "start 1 at 250", "start 2 at 500", "win 2 at 530", "close 0", "close 1"}},
      {"every attempt fails: the last failure is the reason",
       {{false, 300, 10061}, {false, 10, 10060}},
       {"start 0 at 0", "start 1 at 250", "lost 10061"}},
      {"no address", {}, {"lost 0"}},
  };
  for (const Case& c : cases) EXPECT_EQ(play(c.attempts).log, c.log) << c.name;
}

TEST(ConnectRace, ReportsForAttemptsNotRunningChangeNothing) {
  ConnectRace race(2);
  race.begin();
  EXPECT_FALSE(race.connected(1)) << "attempt 1 never started";
  EXPECT_FALSE(race.failed(1, 10061).start);
  EXPECT_TRUE(race.connected(0));
  EXPECT_FALSE(race.connected(0)) << "one winner";
  EXPECT_FALSE(race.timerExpired().start) << "no attempt starts after the race is won";
}

}  // namespace
}  // namespace tcp
