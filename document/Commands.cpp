#include "Commands.h"

#include "QuiltOps.h"

#include <thread>

namespace zarn {

std::optional<std::string> NewQuiltOptionsError(const NewQuiltOptions& o) {
    const MapFamily family = o.family.value_or(MapFamily::Square);
    if (o.cornerN && family != MapFamily::SquareX) {
        return "--corner-n applies to the SquareX family only";
    }
    if (o.knot && family != MapFamily::Hex) {
        return "--knot applies to the Hex family only";
    }
    if (o.detailed && family != MapFamily::Square && family != MapFamily::Hex) {
        return std::string(*o.detailed ? "--detailed" : "--plain") +
               " applies to the Square and Hex families only";
    }
    return std::nullopt;
}

std::unique_ptr<CZARN40Doc> NewQuilt(const DocumentOptions& options,
                                     const NewQuiltOptions& settings) {
    if (auto e = NewQuiltOptionsError(settings)) {
        throw DocumentError(*e);
    }
    auto doc = std::make_unique<CZARN40Doc>(options);
    {
        ScopedPause pause(*doc);
        QuiltState& s = doc->State(pause);
        const MapFamily family = settings.family.value_or(s.family);
        s.family = family;
        if (settings.detailed) {
            if (family == MapFamily::Hex) {
                s.setUseDetailedHex(*settings.detailed);
            } else {
                s.setUseDetailedSquare(*settings.detailed);
            }
        }
        s.setHexKnot(settings.knot);
        if (settings.gridSize) {
            ChangeGridSize(s, *settings.gridSize, StepFactor(family));
        }
        // After the grid, whose growth may have set a limit of its own.
        if (settings.maxSteps) {
            s.status.maxSteps.store(*settings.maxSteps);
        }
        if (settings.viewPeriod) {
            s.viewPeriod = *settings.viewPeriod;
        }
        // The document drew a square quilt; anything that changes what is drawn draws again.
        if (settings.cornerN) {
            NewRandomCornerQuilt(s, *settings.cornerN);
        } else if (settings.family || settings.gridSize || settings.knot ||
                   (family == MapFamily::Hex && settings.detailed)) {
            NewRandomQuilt(s);
        }
        if (settings.colorFile) {
            s.colorSet.LoadFromHistory(s.colorSetHistory);
            const ColorFileResult read = s.colorSet.ReadColorFile(*settings.colorFile);
            if (!read) {
                throw DocumentError(read.error);
            }
            s.colorSet.CommitToHistory();
        }
        CoefficientsChanged(s);
    }
    doc->OnNewDocument();
    return doc;
}

void IterateMore(CZARN40Doc& doc, std::uint64_t steps) {
    if (steps == 0) {
        return;
    }
    {
        ScopedPause pause(doc);
        QuiltStatus& st = doc.State(pause).status;
        const std::uint64_t count = st.stepCount.load();
        const std::uint64_t target = count + steps - 1;
        if (target > kLargestStepLimit) {
            throw DocumentError("the quilt has taken " + std::to_string(count) + " steps; " +
                                std::to_string(steps) + " more would pass the step limit of " +
                                std::to_string(kLargestStepLimit));
        }
        st.maxSteps.store(static_cast<std::uint32_t>(target));
        st.finished.store(0);
    }
    doc.StartWorker();
}

void WaitUntilFinished(CZARN40Doc& doc,
                       const std::function<void(const DocumentSnapshot&)>& progress,
                       std::chrono::milliseconds interval) {
    for (;;) {
        const DocumentSnapshot snap = doc.snapshot();
        if (progress) {
            progress(snap);
        }
        if (snap.finished()) {
            return;
        }
        if (doc.AwaitFinished(interval)) {
            if (progress) {
                progress(doc.snapshot());
            }
            return;
        }
    }
}

void SettleAfterRun(CZARN40Doc& doc) {
    ScopedPause pause(doc);
    CountDistinctCells(doc.State(pause));
    doc.RebuildPalette();
    doc.ClearImageDirty();
}

} // namespace zarn
