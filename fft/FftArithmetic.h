// The arithmetic of the radix-2 transform (twiddle factors, butterfly, scaling),
// kept in one place so that every transform of this system rounds exactly alike.
//
// Twiddle factor k of a length-n table: the angle (2*pi / n) * k is evaluated in
// double with 2*pi = 6.283185307179586 and rounded to single precision; cos and
// sin are taken in double of that single-precision angle and each rounded.
// Forward (type 0) gives (cos, -sin), so entry 0 is (1, -0); inverse (cos, sin).
//
// Butterfly on the pair (a, c) with the twiddle factor t = (tr, ti):
//   sum  = (ar + cr, ai + ci)                    two single-precision additions
//   diff = (ar - cr, ai - ci) = (dr, di)         two single-precision subtractions
//   a    = sum
//   c    = (float(double(dr)*tr - double(di)*ti),
//           float(double(dr)*ti + double(di)*tr))
// Each operand of the product is widened to double, both products and their
// sum or difference are evaluated in double, and the result is rounded to
// single precision once (the double products of two singles are exact, so the
// only roundings are the double sum and the final conversion).
//
// Scaling step on v = (re, im) by s, as a multiplication by the complex (s, 0):
//   v = (float(double(re)*s - double(im)*0.0),
//        float(double(im)*s + double(re)*0.0))
// The zero terms are kept on purpose: they fix the sign of zero results and turn
// an infinite component into NaN in the other component, as the full complex
// product does.
//
// CFft1D::Transform runs the butterflies stage by stage, span h = n/2 down to 1,
// on (x[b+j], x[b+j+h]) with twiddle entry j * (n/2)/h, then the bit-reversal
// exchanges, then the scaling step on every element unless the scale is exactly 1.
// The project builds with -ffp-contract=off, so no multiply-add is fused.
#pragma once

#include <cmath>
#include <complex>
#include <cstdint>

inline std::complex<float> FftTwiddle(std::int32_t n, std::int32_t k, bool inverse) {
    const float angle = static_cast<float>(6.283185307179586 / static_cast<double>(n) * static_cast<double>(k));
    const float c = static_cast<float>(std::cos(static_cast<double>(angle)));
    const float s = static_cast<float>(std::sin(static_cast<double>(angle)));
    return inverse ? std::complex<float>(c, s) : std::complex<float>(c, -s);
}

inline void FftButterfly(std::complex<float>& a, std::complex<float>& c, const std::complex<float>& t) {
    const float ar = a.real(), ai = a.imag();
    const float cr = c.real(), ci = c.imag();
    const float dr = ar - cr;
    const float di = ai - ci;
    const double tr = static_cast<double>(t.real());
    const double ti = static_cast<double>(t.imag());
    a = std::complex<float>(ar + cr, ai + ci);
    c = std::complex<float>(static_cast<float>(static_cast<double>(dr) * tr - static_cast<double>(di) * ti),
                            static_cast<float>(static_cast<double>(dr) * ti + static_cast<double>(di) * tr));
}

inline void FftScale(std::complex<float>& v, float scale) {
    const double re = static_cast<double>(v.real());
    const double im = static_cast<double>(v.imag());
    const double s = static_cast<double>(scale);
    v = std::complex<float>(static_cast<float>(re * s - im * 0.0),
                            static_cast<float>(im * s + re * 0.0));
}

