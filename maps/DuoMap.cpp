#include "DuoMap.h"

#include "MapKernels.h"
#include <cmath>
#include <ctime>

namespace zarn {

namespace {

constexpr double kDuoTwoPi = 6.283185307;
// Typed as 3.1415265, not π: the weights have always been built with this numerator.
constexpr double kRadialNumerator = 3.1415265;

struct FaceRow {
    double centre[3];
    double vertices[5][3];
};

// Centre and vertices of each face, to six significant digits. Face 11 is not a true face: its
// centre is the vertex (0, 0, -1) and its third and fourth vertices coincide. The map is defined
// with these values, so two of its 60 turns are equal.
constexpr FaceRow kFaceTable[DuoMap::kFaces] = {
    {{0.303531, 0.525731, 0.794654},
     {{0, 0, 1},
      {0.666667, 0, 0.745356},
      {-0.333333, 0.57735, 0.745356},
      {0.745356, 0.57735, 0.333333},
      {0.127322, 0.934172, 0.333333}}},
    {{-0.607062, 0, 0.794654},
     {{0, 0, 1},
      {-0.333333, 0.57735, 0.745356},
      {-0.333333, -0.57735, 0.745356},
      {-0.872678, 0.356822, 0.333333},
      {-0.872678, -0.356822, 0.333333}}},
    {{0.303531, -0.525731, 0.794654},
     {{0, 0, 1},
      {0.666667, 0, 0.745356},
      {-0.333333, -0.57735, 0.745356},
      {0.745356, -0.57735, 0.333333},
      {0.127322, -0.934172, 0.333333}}},
    {{0.982247, 0, 0.187592},
     {{0.666667, 0, 0.745356},
      {0.745356, 0.57735, 0.333333},
      {0.745356, -0.57735, 0.333333},
      {0.872678, 0.356822, -0.333333},
      {0.872678, -0.356822, -0.333333}}},
    {{-0.491123, 0.850651, 0.187592},
     {{-0.333333, 0.57735, 0.745356},
      {-0.872678, 0.356822, 0.333333},
      {0.127322, 0.934172, 0.333333},
      {-0.745356, 0.57735, -0.333333},
      {-0.127322, 0.934172, -0.333333}}},
    {{-0.491123, -0.850651, 0.187592},
     {{-0.333333, -0.57735, 0.745356},
      {0.127322, -0.934172, 0.333333},
      {-0.872678, -0.356822, 0.333333},
      {-0.127322, -0.934172, -0.333333},
      {-0.745356, -0.57735, -0.333333}}},
    {{0.491123, 0.850651, -0.187592},
     {{0.745356, 0.57735, 0.333333},
      {0.127322, 0.934172, 0.333333},
      {0.872678, 0.356822, -0.333333},
      {-0.127322, 0.934172, -0.333333},
      {0.333333, 0.57735, -0.745356}}},
    {{0.491123, -0.850651, -0.187592},
     {{0.745356, -0.57735, 0.333333},
      {0.127322, -0.934172, 0.333333},
      {0.872678, -0.356822, -0.333333},
      {-0.127322, -0.934172, -0.333333},
      {0.333333, -0.57735, -0.745356}}},
    {{-0.982247, 0, -0.187592},
     {{-0.872678, 0.356822, 0.333333},
      {-0.872678, -0.356822, 0.333333},
      {-0.745356, 0.57735, -0.333333},
      {-0.745356, -0.57735, -0.333333},
      {-0.666667, 0, -0.745356}}},
    {{0.607062, 0, -0.794654},
     {{0.872678, 0.356822, -0.333333},
      {0.872678, -0.356822, -0.333333},
      {0.333333, 0.57735, -0.745356},
      {0.333333, -0.57735, -0.745356},
      {0, 0, -1}}},
    {{-0.303531, 0.525731, -0.794654},
     {{-0.745356, 0.57735, -0.333333},
      {-0.127322, 0.934172, -0.333333},
      {0.333333, 0.57735, -0.745356},
      {-0.666667, 0, -0.745356},
      {0, 0, -1}}},
    {{0, 0, -1},
     {{-0.127322, -0.934172, -0.333333},
      {-0.745356, -0.57735, -0.333333},
      {0.333333, -0.57735, -0.745356},
      {0.333333, -0.57735, -0.745356},
      {-0.666667, 0, -0.745356}}},
};

constexpr Multivector toVector(const double (&v)[3]) {
    return makeVector(v[0], v[1], v[2]);
}

} // namespace

DuoMap::DuoMap() : DuoMap(static_cast<double>(std::time(nullptr)) / 3.0) {}

DuoMap::DuoMap(double seed) {
    duoRandom.SeedFrom(seed);
    SetUp(kDefaultGridSize);
}

void DuoMap::SeedRandom(double seed) {
    duoRandom.SeedFrom(seed);
}

void DuoMap::SetUp(double gridSize) {
    duoTwoPi = kDuoTwoPi;
    spareA = 0;
    spareB = 0;
    BuildRadialWeights(radialWeights, gridSize);
    BuildFaces();
    BuildWaves();
    DrawPoint(false);
}

void DuoMap::BuildRadialWeights(std::vector<double>& weights, double gridSize) {
    weights.clear();
    if (!(gridSize > 0.0) || !std::isfinite(gridSize)) {
        return;
    }
    weights.reserve(static_cast<std::size_t>(gridSize + 1.0));
    // The weight of ring r is inversely proportional to the arc the ring covers on the sphere
    // (acos of its normalised inner and outer radius), so rings near the rim, which gather the
    // hits of a wide band of latitudes, are toned down.
    std::size_t falling = 0;
    for (double r = 0.0; r < gridSize / 2.0; r += 1.0) {
        const double outer = 2.0 * (r + 1.0) / gridSize;
        double w = kRadialNumerator /
                   (gridSize * std::fabs(std::acos(outer) - std::acos(2.0 * r / gridSize)));
        if (!std::isfinite(w)) {
            // Only the last ring of an odd size reaches past the rim (outer > 1).
            w = weights.empty() ? 1.0 : weights.back();
        }
        weights.push_back(w);
        ++falling;
    }
    weights.insert(weights.end(), falling, 1.0);
}

double DuoMap::RadialWeightAt(std::span<const double> weights, int x, int y, int height) {
    const double dx = static_cast<double>(x - height / 2);
    const double dy = static_cast<double>(y - height / 2);
    const double radius = std::trunc(std::sqrt(dx * dx + dy * dy));
    if (radius >= static_cast<double>(weights.size())) {
        return 1.0;
    }
    return weights[static_cast<std::size_t>(radius)];
}

void DuoMap::BuildFaces() {
    for (int i = 0; i < kFaces; ++i) {
        DuoFace& face = faces[i];
        face.centre = toVector(kFaceTable[i].centre);
        for (int j = 0; j < kVerticesPerFace; ++j) {
            face.vertices[j] = toVector(kFaceTable[i].vertices[j]);
        }
    }

    const Multivector& firstCentre = faces[0].centre;
    const Multivector& firstVertex = faces[0].vertices[0];
    for (int i = 0; i < kFaces; ++i) {
        DuoFace& face = faces[i];
        face.faceRotors[0] = makeScalar(1.0);
        for (int j = 1; j < kVerticesPerFace; ++j) {
            face.faceRotors[j] = rotorFrom(face.vertices[0], face.vertices[j]);
        }

        Multivector placement = makeScalar(1.0);
        if (i > 0) {
            // Carry face 0's centre onto this centre, then swing about it so that face 0's first
            // vertex lands on this face's first vertex.
            const Multivector toCentre = rotorFrom(firstCentre, face.centre);
            const Multivector carried = turn(toCentre, firstVertex);
            const Multivector swing = rotorFrom(vectorPart(carried), face.vertices[0]);
            placement = product(swing, toCentre);
        }
        face.placement = clean(placement);
        for (int j = 0; j < kVerticesPerFace; ++j) {
            face.turns[j] = clean(product(face.faceRotors[j], face.placement));
        }
    }
}

void DuoMap::BuildWaves() {
    for (int b = 0; b < kBases; ++b) {
        Multivector wave;
        for (int i = 0; i < kFaces; ++i) {
            for (int j = 0; j < kVerticesPerFace; ++j) {
                const double weight = 6.0 * duoRandom.Uniform() - 3.0;
                wave = add(wave, scale(weight, faces[i].vertices[j]));
            }
        }
        baseWaves[b] = clean(vectorPart(wave));

        const double u1 = duoRandom.Uniform();
        const double u2 = duoRandom.Uniform();
        const double u3 = duoRandom.Uniform();
        baseAmps[b] = clean(normalise(makeVector(0.4 * u1 - 0.2, 0.4 * u2 - 0.2, 0.4 * u3 - 0.2)));

        for (int i = 0; i < kFaces; ++i) {
            for (int j = 0; j < kVerticesPerFace; ++j) {
                const int k = kTurns * b + kVerticesPerFace * i + j;
                waves[k] = turn(faces[i].turns[j], baseWaves[b]);
                amps[k] = turn(faces[i].turns[j], baseAmps[b]);
            }
        }
    }
}

Multivector DuoMap::PlacePoint(Multivector point, double u1, double u2, double u3) {
    point.e1 = 0.4 * u1 - 0.2;
    point.e2 = 0.4 * u2 - 0.2;
    point.e3 = 0.4 * u3 - 0.2;
    const double n = norm(point);
    if (!(n > 0.0) || !std::isfinite(n)) {
        return makeVector(0.0, 0.0, 1.0);
    }
    return normalise(point);
}

void DuoMap::DrawPoint(bool clearOtherComponents) {
    const double u1 = duoRandom.Uniform();
    const double u2 = duoRandom.Uniform();
    const double u3 = duoRandom.Uniform();
    const Multivector kept = clearOtherComponents ? Multivector{} : sphere;
    sphere = PlacePoint(kept, u1, u2, u3);
}

DuoPoint DuoMap::DuoStep(bool& countThisHit) {
    if (!mapKernels().duoAdvance(*this)) {
        DrawPoint(true);
    }

    const Multivector half = scale(0.5, sphere);
    countThisHit = sphere.e3 >= 0.0;
    outX = half.e1 + 0.5;
    outY = half.e2 + 0.5;
    return {outX, outY};
}

} // namespace zarn
