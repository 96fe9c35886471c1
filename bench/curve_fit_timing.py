"""SciPy's curve_fit on the benchmark's data sets, timed as fit_bench times
a click: the microseconds of the Gompertz fit alone, and of the four models'
fits one after the other ("Comparar modelos"), best of five repeats. Each fit
starts from R's optimum to three digits, which only helps curve_fit; the
long series also from curve_fit's own start."""
import timeit

import numpy as np
from scipy.optimize import curve_fit


def gompertz(t, a, c, t0):
    return a * np.exp(-np.exp(-c * (t - t0)))


def gompertz_base(t, a, c, t0, y0):
    return y0 + a * np.exp(-np.exp(-c * (t - t0)))


def logistic(t, a, c, t0):
    return a / (1 + np.exp(-c * (t - t0)))


def richards(t, a, c, t0, nu):
    return a * (1 + nu * np.exp(-c * (t - t0))) ** (-1 / nu)


conc = [0.04882812, 0.1953125, 0.390625, 0.78125, 1.5625, 3.125, 6.25, 12.5]
density = [0.017, 0.018, 0.121, 0.124, 0.206, 0.215, 0.377, 0.374,
           0.614, 0.609, 1.019, 1.001, 1.334, 1.364, 1.730, 1.710]
sets = {
    "dnase1": (np.log(np.repeat(conc, 2)), np.array(density),
               [[4.6, 0.333, 2.46], [3.92, 0.381, 2.06, 0.0314],
                [2.35, 0.960, 1.48], [2.39, 0.922, 1.50, 0.939]]),
    "rat42": (np.array([9, 14, 21, 28, 42, 57, 63, 70, 79.0]),
              np.array([8.93, 10.8, 18.59, 22.33, 39.35, 56.11, 61.73, 64.62, 67.08]),
              [[82.8, 0.0371, 33.0], [67.7, 0.0500, 35.7, 7.85],
               [72.5, 0.0674, 38.9], [69.6, 0.0893, 41.5, 1.72]]),
    "orange1": (np.array([118, 484, 664, 1004, 1231, 1372, 1582.0]),
                np.array([30, 58, 87, 115, 120, 142, 145.0]),
                [[172, 0.00163, 480], [146, 0.00201, 552, 16.1],
                 [154, 0.00276, 627], [165, 0.00195, 533, 0.281]]),
}
models = [gompertz, gompertz_base, logistic, richards]

# fit_bench's long series: 10 000 points of a = 2, c = 1, t0 = 0 with a ripple.
index = np.arange(10000)
long_t = -3.0 + 11.0 * index / 9999
long_y = 2.0 * np.exp(-np.exp(-long_t)) + 0.03 * np.sin(12.9898 * index)


def best_of(run, number):
    return min(timeit.repeat(run, number=number, repeat=5)) / number * 1e6


def best(run):
    return best_of(run, 200)


# One fit of 10 000 points: from curve_fit's own start (all ones), as our
# click starts from nothing it is told, and from the true values.
own_start = best_of(lambda: curve_fit(gompertz, long_t, long_y), 10)
true_start = best_of(lambda: curve_fit(gompertz, long_t, long_y, p0=[2.0, 1.0, 0.0]), 10)
print(f"long {own_start:.1f} {true_start:.1f}")

for name, (t, y, starts) in sets.items():
    one = best(lambda: curve_fit(gompertz, t, y, p0=starts[0]))
    four = best(lambda: [curve_fit(f, t, y, p0=p0, maxfev=10000) for f, p0 in zip(models, starts)])
    print(f"{name} {one:.1f} {four:.1f}")
