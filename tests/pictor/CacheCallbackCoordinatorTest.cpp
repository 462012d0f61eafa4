#include "pictor/retrieval/CacheCallbackCoordinator.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

using namespace pictor;
using State = CacheCallbackCoordinator::State;
using Trigger = CacheCallbackCoordinator::Trigger;
using Action = CacheCallbackCoordinator::Action;

namespace {

// The triggers that lead a fresh coordinator to a state, or nothing when it cannot get there.
std::optional<std::vector<Trigger>> pathTo(State state, bool wait, bool original)
{
    switch (state) {
    case State::idle: return std::vector<Trigger>{};
    case State::imageCached: return original ? std::optional(std::vector{Trigger::imageStored}) : std::nullopt;
    case State::originalImageCached: return std::vector{Trigger::originalStored};
    case State::done:
        if (!wait)
            return std::vector{Trigger::storeStarted};
        return original ? std::vector{Trigger::imageStored, Trigger::originalStored} : std::vector{Trigger::imageStored};
    }
    return std::nullopt;
}

struct Cell {
    State from;
    Trigger trigger;
    // Flags this cell holds for; nullopt: for both values.
    std::optional<bool> wait;
    std::optional<bool> original;
    State to;
    Action action;
};

const Cell cells[] = {
    {State::idle, Trigger::storeStarted, false, {}, State::done, Action::deliver},
    {State::idle, Trigger::storeStarted, true, {}, State::idle, Action::none},
    {State::idle, Trigger::imageStored, {}, true, State::imageCached, Action::none},
    {State::idle, Trigger::imageStored, {}, false, State::done, Action::deliver},
    {State::idle, Trigger::originalStored, {}, {}, State::originalImageCached, Action::none},
    {State::imageCached, Trigger::storeStarted, {}, {}, State::imageCached, Action::none},
    {State::imageCached, Trigger::imageStored, {}, {}, State::imageCached, Action::none},
    {State::imageCached, Trigger::originalStored, {}, {}, State::done, Action::deliver},
    {State::originalImageCached, Trigger::storeStarted, {}, {}, State::originalImageCached, Action::none},
    {State::originalImageCached, Trigger::imageStored, {}, {}, State::done, Action::deliver},
    {State::originalImageCached, Trigger::originalStored, {}, {}, State::originalImageCached, Action::none},
    {State::done, Trigger::storeStarted, {}, {}, State::done, Action::none},
    {State::done, Trigger::imageStored, {}, {}, State::done, Action::none},
    {State::done, Trigger::originalStored, {}, {}, State::done, Action::none},
};

} // namespace

TEST(CacheCallbackCoordinatorTest, EveryStateTriggerAndFlagCombination)
{
    int checked = 0;
    for (const bool wait : {false, true}) {
        for (const bool original : {false, true}) {
            for (const Cell& cell : cells) {
                if ((cell.wait && *cell.wait != wait) || (cell.original && *cell.original != original))
                    continue;
                const std::optional<std::vector<Trigger>> path = pathTo(cell.from, wait, original);
                if (!path)
                    continue;
                SCOPED_TRACE(testing::Message() << "wait " << wait << ", original " << original << ", from " << int(cell.from)
                                                << ", trigger " << int(cell.trigger));
                CacheCallbackCoordinator coordinator(wait, original);
                int delivered = 0;
                for (const Trigger step : *path)
                    delivered += coordinator.apply(step) == Action::deliver;
                ASSERT_EQ(coordinator.state(), cell.from);
                // Reaching done delivered once; reaching any other state did not.
                EXPECT_EQ(delivered, cell.from == State::done ? 1 : 0);
                EXPECT_EQ(coordinator.apply(cell.trigger), cell.action);
                EXPECT_EQ(coordinator.state(), cell.to);
                ++checked;
            }
        }
    }
    // 4 flag combinations of 12 cells each, less imageCached (3 cells) without an original (2 combinations).
    EXPECT_EQ(checked, 4 * 12 - 3 * 2);
}

TEST(CacheCallbackCoordinatorTest, WritesFinishingOnTwoThreadsDeliverExactlyOnce)
{
    for (int round = 0; round < 200; ++round) {
        CacheCallbackCoordinator coordinator(true, true);
        std::atomic_int delivered = 0;
        EXPECT_EQ(coordinator.apply(Trigger::storeStarted), Action::none);
        std::thread image([&] { delivered += coordinator.apply(Trigger::imageStored) == Action::deliver; });
        std::thread original([&] { delivered += coordinator.apply(Trigger::originalStored) == Action::deliver; });
        image.join();
        original.join();
        ASSERT_EQ(delivered, 1);
        ASSERT_EQ(coordinator.state(), State::done);
    }
}
