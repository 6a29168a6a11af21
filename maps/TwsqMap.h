#pragma once

#include "engine/Complex.h"

#include <array>

namespace zarn {

class RandomSource;

/**
 * State of the TWsq family: a sum of complex sines of complex arguments built from the point
 * (x, y) of the unit square, weighted by nine real coefficients c(m, n), m, n = 1..3. The map
 * wraps its own result into the unit square, so the driver folds nothing for this family.
 * See docs/maps.md, "Complex-sine square map (TWsq)".
 *
 * A plain record: no file record, no virtual functions. The step runs on the worker; the draw
 * runs while the worker is paused.
 */
class TwsqMap {
public:
    /** This map alone uses the full-precision value; the other families use typed 3.1415926535. */
    static constexpr double kPi = 3.141592653589793;
    static constexpr int kCoefficientRoom = 10;
    static constexpr int kOrder = 3;
    /** The draw maps u in [0, 1) to u/18 - 1/36, with these typed constants. */
    static constexpr double kDrawScale = 0.05555555555555555;
    static constexpr double kDrawOffset = 0.027777777777777776;

    /** Index of c(m, n) in twsqCoefs, m and n in 1..3; m is the outer index. */
    static constexpr int CoefIndex(int m, int n) { return 3 * (m - 1) + (n - 1); }

    /** The map's last result, wrapped into the unit square. */
    Complex twsqPoint{};
    /** c(m, n) at CoefIndex(m, n); the tenth slot is room that the map never reads. */
    std::array<double, kCoefficientRoom> twsqCoefs{};
    /** Whole amounts added or removed by the last wrap of each coordinate; unchanged for a
     *  coordinate that needed no wrap. Saturated at the int range for absurd inputs. */
    int twsqShiftX = 0;
    int twsqShiftY = 0;
    /** The last result after the wrap (equal to twsqPoint after a step). */
    Complex twsqRaw{};
    /** Kept for the document; the step does not read it. */
    int twsqOrder = kOrder;

    double& Coef(int m, int n) { return twsqCoefs[CoefIndex(m, n)]; }
    double Coef(int m, int n) const { return twsqCoefs[CoefIndex(m, n)]; }

    /** The unwrapped sum F(x, y) for the current coefficients, evaluated through the polar form
     *  of the point and accumulated in two passes. Finite for any finite point in the unit
     *  square; far from it the hyperbolic factors overflow. */
    Complex TwsqField(Complex point) const;

    /** One iteration: F at @p point, wrapped; stores twsqRaw, twsqPoint and the shifts and
     *  returns the wrapped point. Call from the driver with (pointX, pointY). */
    Complex TwsqStep(Complex point);

    /** Nine uniform draws, c(1,1), c(1,2), ..., c(3,3), each u/18 - 1/36. The caller then draws
     *  the start point. */
    void TwsqRandomCoefficients(RandomSource& random);

    /** The wrap of one coordinate: v > 1 loses trunc(v), v < 0 gains 1 - trunc(v); @p shift
     *  receives that amount and is left alone when v is kept (1.0 is kept, -1.0 becomes 1.0).
     *  NaN passes through unchanged. */
    static double WrapCoordinate(double v, int& shift);
};

} // namespace zarn
