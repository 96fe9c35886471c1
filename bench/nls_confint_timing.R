# R's nls followed by confint() (the profile intervals of every parameter)
# on the benchmark's data sets, the Gompertz curve from the published optimum
# to three digits: the milliseconds of one analysis, best of five repeats.
gompertz <- function(t, a, c, t0) a * exp(-exp(-c * (t - t0)))
dnase <- DNase[DNase$Run == 1, ]
sets <- list(
  dnase1 = list(t = log(dnase$conc), y = dnase$density,
                start = list(a = 4.6, c = 0.333, t0 = 2.46)),
  rat42 = list(t = c(9, 14, 21, 28, 42, 57, 63, 70, 79),
               y = c(8.93, 10.8, 18.59, 22.33, 39.35, 56.11, 61.73, 64.62, 67.08),
               start = list(a = 82.8, c = 0.0371, t0 = 33.0)))
for (name in names(sets)) {
  s <- sets[[name]]
  data <- data.frame(t = s$t, y = s$y)
  one <- function() {
    fit <- nls(y ~ gompertz(t, a, c, t0), data = data, start = s$start)
    suppressMessages(confint(fit))
  }
  number <- 20
  best <- Inf
  for (repeat_ in 1:5) {
    elapsed <- system.time(for (i in 1:number) one())[["elapsed"]]
    best <- min(best, elapsed / number)
  }
  cat(sprintf("%s %.3f\n", name, best * 1000))
}
