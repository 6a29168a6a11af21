#include "Explore.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace zarn {

namespace {

bool betterThan(const ExploreCandidate& a, const ExploreCandidate& b) {
    if (a.score.value != b.score.value) {
        return a.score.value > b.score.value;
    }
    return a.seed < b.seed;
}

} // namespace

MapFamily exploreFamily(const ExploreOptions& options, int index) {
    if (options.family) {
        return *options.family;
    }
    return kAllFamilies[static_cast<std::size_t>(index % kFamilyCount)];
}

std::vector<ExploreCandidate> Explore(const ExploreOptions& options,
                                      const std::function<void(int finished)>& done) {
    const int count = std::max(options.count, 0);
    std::vector<ExploreCandidate> candidates(static_cast<std::size_t>(count));
    std::atomic<int> next{0};
    std::mutex mutex;
    int finished = 0;
    std::exception_ptr failure;

    // Keeps the documents of the best `keep` candidates scored so far; the others are closed as
    // soon as they lose their place, so a long run holds at most keep + threads quilts.
    std::vector<std::size_t> kept;
    const auto keepIfAmongBest = [&](std::size_t i) {
        kept.push_back(i);
        std::sort(kept.begin(), kept.end(), [&](std::size_t a, std::size_t b) {
            return betterThan(candidates[a], candidates[b]);
        });
        while (kept.size() > static_cast<std::size_t>(std::max(options.keep, 0))) {
            candidates[kept.back()].doc.reset();
            kept.pop_back();
        }
    };

    const auto work = [&] {
        for (;;) {
            const int index = next.fetch_add(1);
            if (index >= count) {
                return;
            }
            {
                std::lock_guard lock(mutex);
                if (failure) {
                    return;
                }
            }
            ExploreCandidate& c = candidates[static_cast<std::size_t>(index)];
            c.seed = options.firstSeed + static_cast<std::uint64_t>(index);
            c.family = exploreFamily(options, index);
            try {
                DocumentOptions docOptions;
                docOptions.seed = c.seed;
                NewQuiltOptions settings = options.settings;
                settings.family = c.family;
                std::unique_ptr<CZARN40Doc> doc = NewQuilt(docOptions, settings);
                WaitUntilFinished(*doc, {}, std::chrono::milliseconds(10));
                SettleAfterRun(*doc);
                c.score = doc->Score(options.scale);
                c.period = doc->RenderPeriod(options.scale);
                std::lock_guard lock(mutex);
                c.doc = std::move(doc);
                keepIfAmongBest(static_cast<std::size_t>(index));
                ++finished;
                if (done) {
                    done(finished);
                }
            } catch (...) {
                std::lock_guard lock(mutex);
                if (!failure) {
                    failure = std::current_exception();
                }
                return;
            }
        }
    };

    const int threads = std::clamp(options.threads, 1, std::max(count, 1));
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        pool.emplace_back(work);
    }
    work();
    for (std::thread& t : pool) {
        t.join();
    }
    if (failure) {
        std::rethrow_exception(failure);
    }
    std::stable_sort(candidates.begin(), candidates.end(), betterThan);
    return candidates;
}

} // namespace zarn
