#pragma once

namespace zarn {

/** A complex number as a pair of doubles, real part first. The product is the plain textbook
 *  formula: the hot loops rely on it being four multiplies and two adds with no recovery of
 *  infinities, unlike std::complex. */
struct Complex {
    double re = 0.0;
    double im = 0.0;

    friend constexpr Complex operator+(Complex a, Complex b) { return {a.re + b.re, a.im + b.im}; }
    friend constexpr Complex operator-(Complex a, Complex b) { return {a.re - b.re, a.im - b.im}; }
    friend constexpr Complex operator*(Complex a, Complex b) {
        return {a.re * b.re - a.im * b.im, a.re * b.im + a.im * b.re};
    }
    friend constexpr Complex operator*(double s, Complex a) { return {s * a.re, s * a.im}; }
    friend constexpr Complex operator*(Complex a, double s) { return {a.re * s, a.im * s}; }
    constexpr Complex& operator+=(Complex b) {
        re += b.re;
        im += b.im;
        return *this;
    }
    constexpr Complex& operator-=(Complex b) {
        re -= b.re;
        im -= b.im;
        return *this;
    }
    friend constexpr bool operator==(Complex a, Complex b) = default;
};

/** Real inner product of two complex numbers read as plane vectors. */
constexpr double dot(Complex a, Complex b) {
    return a.re * b.re + a.im * b.im;
}

} // namespace zarn
