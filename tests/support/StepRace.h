#pragma once
// Races run step by step. Each session (a terminal's operation, or a writer of the host) runs in
// a thread of its own and stops at the points where it calls pause(); the explorer lets one
// session go at a time to its next point, its end, or a lock it has to wait for, and so plays
// every order of the sessions' steps that their locks allow, one run each (a systematic search:
// every run follows the choices of an earlier one up to a point and then takes another branch).
// A session waiting for a lock is not offered a step until the lock is released. Every wait is
// bounded: a run that makes no progress for kStallMs fails the test.
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>

#include <chrono>
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace steprace {

using Pause = std::function<void(const QString& point)>;

struct Session {
    QString name;
    // Runs the session once, calling `pause` at each of its step points; answers its outcome
    // (what it changed, or what it was told), as text.
    std::function<QString(const Pause& pause)> run;
};

struct Run {
    std::vector<int> schedule;  // the session given each step
    QStringList trace;          // "A:lockTable", "B:end", ... in the order they were reached
    std::vector<QString> outcomes;
};

// Whether session `index`, now running towards its next point, waits for a lock another session
// holds. `lastPoints` are the points the sessions stopped at last ("start" before the first,
// "end" once it ended).
using Waiting = std::function<bool(int index, const std::vector<QString>& lastPoints)>;

inline constexpr int kStallMs = 20000;

class Explorer {
public:
    Explorer(std::vector<Session> sessions, Waiting waiting)
        : m_sessions(std::move(sessions)), m_waiting(std::move(waiting)) {}

    // Plays every order, calling `reset` before each run and `check` after it. Answers the
    // number of runs.
    int exploreAll(const std::function<void()>& reset, const std::function<void(const Run&)>& check) {
        m_strict = true;
        std::vector<std::vector<int>> todo{{}};
        int runs = 0;
        while (!todo.empty()) {
            const std::vector<int> prefix = std::move(todo.back());
            todo.pop_back();
            reset();
            const Run run = play(prefix, todo);
            ++runs;
            check(run);
            if (::testing::Test::HasFatalFailure()) break;
        }
        m_strict = false;
        return runs;
    }

    // Follows `prefix` as far as the sessions can take its steps, then gives each step to the first
    // session that can take one.
    Run scheduled(const std::vector<int>& prefix) {
        std::vector<std::vector<int>> ignored;
        return play(prefix, ignored);
    }

    // Plays the sessions one after the other in `order`, each to its end.
    Run serial(const std::vector<int>& order) {
        std::vector<int> schedule;
        for (int index : order)
            for (int step = 0; step < 64; ++step) schedule.push_back(index);
        std::vector<std::vector<int>> ignored;
        return play(schedule, ignored, order);
    }

private:
    enum class State { Paused, Running, Done };

    // Follows `prefix`, then gives the step to the first session that can take one, noting in
    // `branches` every other choice it could have made. With `only`, the other sessions never run.
    Run play(const std::vector<int>& prefix, std::vector<std::vector<int>>& branches,
             const std::vector<int>& only = {}) {
        const int count = static_cast<int>(m_sessions.size());
        std::vector<int> sessions = only;
        if (sessions.empty())
            for (int i = 0; i < count; ++i) sessions.push_back(i);
        std::mutex mutex;
        std::condition_variable changed;
        std::vector<State> state(count, State::Paused);
        std::vector<int> grants(count, 0), used(count, 0);
        std::vector<QString> last(count, QStringLiteral("start"));
        Run run;
        run.outcomes.resize(count);
        std::vector<std::thread> threads;
        for (int i : sessions) {
            threads.emplace_back([&, i] {
                const Pause pause = [&, i](const QString& point) {
                    std::unique_lock lock(mutex);
                    state[i] = State::Paused;
                    last[i] = point;
                    run.trace << m_sessions[i].name + QLatin1Char(':') + point;
                    changed.notify_all();
                    changed.wait(lock, [&] { return grants[i] > used[i]; });
                    ++used[i];
                    state[i] = State::Running;
                };
                {
                    std::unique_lock lock(mutex);
                    changed.wait(lock, [&] { return grants[i] > used[i]; });
                    ++used[i];
                    state[i] = State::Running;
                }
                QString outcome;
                try {
                    outcome = m_sessions[i].run(pause);
                } catch (const std::exception& e) {
                    outcome = QStringLiteral("unexpected: ") + QString::fromUtf8(e.what());
                }
                std::unique_lock lock(mutex);
                run.outcomes[i] = outcome;
                last[i] = QStringLiteral("end");
                run.trace << m_sessions[i].name + QStringLiteral(":end");
                state[i] = State::Done;
                changed.notify_all();
            });
        }
        std::size_t decision = 0;
        const auto deadline = [] { return std::chrono::steady_clock::now() + std::chrono::milliseconds(kStallMs); };
        std::unique_lock lock(mutex);
        for (;;) {
            std::vector<int> runnable;
            bool running = false;
            for (int i : sessions) {
                if (state[i] == State::Paused) runnable.push_back(i);
                running = running || state[i] == State::Running;
            }
            if (runnable.empty()) {
                if (!running) break;
                // Sessions that wait for each other: the server ends a deadlock by itself.
                const std::vector<State> before = state;
                if (!changed.wait_until(lock, deadline(), [&] { return state != before; })) {
                    ADD_FAILURE() << "the sessions made no progress: " << run.trace.join(' ').toStdString();
                    break;
                }
                continue;
            }
            int chosen = runnable.front();
            if (decision < prefix.size()) {
                if (std::find(runnable.begin(), runnable.end(), prefix[decision]) != runnable.end()) {
                    chosen = prefix[decision];
                } else if (m_strict) {
                    ADD_FAILURE() << "the run did not repeat its earlier steps: " << run.trace.join(' ').toStdString();
                }
            } else {
                for (int other : runnable) {
                    if (other == chosen) continue;
                    std::vector<int> branch = run.schedule;
                    branch.push_back(other);
                    branches.push_back(std::move(branch));
                }
            }
            ++decision;
            run.schedule.push_back(chosen);
            ++grants[chosen];
            state[chosen] = State::Running;
            changed.notify_all();
            // It goes until its next point, its end, or a lock it has to wait for.
            const auto until = deadline();
            while (state[chosen] == State::Running) {
                const std::vector<QString> points = last;
                lock.unlock();
                const bool waits = m_waiting && m_waiting(chosen, points);
                lock.lock();
                if (waits && state[chosen] == State::Running) break;
                if (std::chrono::steady_clock::now() > until) {
                    ADD_FAILURE() << m_sessions[chosen].name.toStdString() << " never came to its next step";
                    break;
                }
                changed.wait_for(lock, std::chrono::milliseconds(5), [&] { return state[chosen] != State::Running; });
            }
        }
        // A run that failed lets every session go to its end.
        for (int i : sessions) grants[i] += 64;
        changed.notify_all();
        lock.unlock();
        for (std::thread& thread : threads) thread.join();
        return run;
    }

    std::vector<Session> m_sessions;
    Waiting m_waiting;
    bool m_strict = false;  // a run must take the steps of the one it branches from
};

}  // namespace steprace
