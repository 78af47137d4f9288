// The crossfade curve that shapes beat gain ramps and the mixer's
// crossfader: from (0, 1) straight to the knee point (d, d), and from there
// straight to (1, 0). A knee of 0.5 gives the line 1 - x. Any thread.
#ifndef VELKARN_AUDIO_CROSSFADECURVE_H
#define VELKARN_AUDIO_CROSSFADECURVE_H

// The falling curve. knee and x are clamped to [0, 1]: knees 0 and 1 give
// step curves (1 only at x = 0, resp. 0 only at x = 1), and positions just
// outside the fade (gain ramps extrapolated into crossfade margins) keep
// the end gains instead of overshooting them.
float crossfadeCurve(float x, float knee);

// The rising curve: crossfadeCurve(1 - x, knee).
float crossfadeRising(float x, float knee);

// The crossfader's two gains at position x: curve(x) for the first deck,
// curve(1 - x) for the second.
void crossfadeGains(float x, float knee, float& first, float& second);

#endif
