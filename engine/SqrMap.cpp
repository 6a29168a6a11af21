#include "SqrMap.h"

#include "Archive.h"
#include "CRandom.h"
#include "RandomSource.h"
#include "StepKernels.h"
#include "Torus.h"

#include <string>

namespace zarn {

void SqrMap::Step() {
    square::plainStep(x, y, plainSet(), emm, offX, offY, twoPi);
}

void SqrMap::StepDetailed() {
    square::detailedStep(x, y, coef, depth, emm, offX, offY, twoPi, tables());
}

void SqrMap::RunSpan(StepSpan& span) {
    engineKernels().squareSpan(*this, span);
    x = lastX = span.x;
    y = lastY = span.y;
}

void SqrMap::Fold() {
    x = foldToUnit(x);
    y = foldToUnit(y);
}

void SqrMap::Randomize(RandomSource& rnd, CRandom& cRandom) {
    lambda = 0.4 * rnd.Uniform() - 0.2;
    alpha = 0.8 * rnd.Uniform() - 0.4;
    beta = 0.8 * rnd.Uniform() - 0.6;
    gamma = 0.161 * rnd.Uniform() - 0.05;
    omega = 0.02 * rnd.Uniform() - 0.01;

    const int r1 = cRandom();
    const int r2 = cRandom();
    emm = static_cast<double>(r1 % 3 - r2 % 3);

    x = rnd.Uniform();
    y = rnd.Uniform();

    const double offset = (cRandom() % 2 == 0) ? 0.5 : 0.0;
    offX = offset;
    offY = offset;

    for (auto& row : coef) {
        for (double& c : row) {
            c = 0.8 * rnd.Uniform() - 0.4;
        }
    }
}

void SqrMap::SerializeSquare(Archive& ar) {
    if (!ar.isLoading()) {
        transferRecord(ar);
        return;
    }
    // Read into a copy so that a record refused half-way leaves the open quilt as it was.
    SqrMap staged = *this;
    staged.coef = {};
    staged.twoPi = square::kTwoPi;
    staged.depth = square::kMaxDepth;
    staged.detail = 0;
    staged.transferRecord(ar);
    *this = staged;
}

void SqrMap::transferRecord(Archive& ar) {
    const auto real = [&ar](double& v, const char* field) {
        ar.io(v, field);
        if (ar.isLoading()) {
            requireFinite(v, field);
        }
    };
    real(lambda, "square lambda");
    real(alpha, "square alpha");
    real(beta, "square beta");
    real(gamma, "square gamma");
    real(omega, "square omega");
    real(emm, "square emm");
    real(offX, "square offset x");
    real(offY, "square offset y");
    real(twoPi, "square two pi");
    ar.io(detail, "square detail flag");

    ar.io(depth, "square detail depth");
    if (ar.isLoading() && (depth < square::kMinDialogDepth || depth > square::kMaxDepth)) {
        Archive::fail("square detail depth", std::to_string(depth) + " is outside 3..6");
    }
    ar.io(detail, "square detail flag (repeated)");
    ar.pad(1, "square spare byte");

    // Column by column: all of coef[.][0] first.
    for (std::size_t j = 0; j < 6; ++j) {
        for (std::size_t i = 0; i < 6; ++i) {
            real(coef[i][j], "square detail coefficient");
        }
    }
}

} // namespace zarn
