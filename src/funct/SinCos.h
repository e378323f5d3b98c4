#pragma once
// Sine and cosine in extended precision (long double), the same bits on every
// x86 target whatever its C runtime provides.

// S := sin(X), C := cos(X), accurate to about half a unit in the last place
// of a long double for |X| below 64; larger or non-finite arguments, and a
// host that lowered the x87 precision, are left to the C runtime.
void SinCosExtended(long double X, long double& S, long double& C);
