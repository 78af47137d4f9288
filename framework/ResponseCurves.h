// The logarithmic response curves of controls, with a = e^5: a linear
// slider position x maps to the value fraction ((a + 1)^x - 1) / a, and a
// value fraction y back to ln(a y + 1) / ln(a + 1). Arguments and results
// are single precision; the arithmetic runs in extended precision. Any
// thread.
#ifndef VELKARN_FRAMEWORK_RESPONSECURVES_H
#define VELKARN_FRAMEWORK_RESPONSECURVES_H

float exponentialScale(float x);
float logarithmicScale(float y);

// The value that lies that fraction of the way from `from` to `to` on the
// logarithmic scale.
float interpolateOnLogScale(float fraction, float from, float to);

// Where the value lies between `from` and `to` on the logarithmic scale, as
// a fraction; 0 when the bounds are equal.
float fractionOnLogScale(float value, float from, float to);

#endif
