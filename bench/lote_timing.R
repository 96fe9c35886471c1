# R's nls followed by confint() over a folder of data-set files in one R
# process, as a script over many files would do it: every file read, the
# Gompertz curve fitted from the true a, c, t0 (R has no start of its own
# that we could give it fairly) and profiled. Writes the files first when
# asked (the recipe of lote_bench.cpp), then prints the best of three total
# times in milliseconds and how many fits failed.
args <- commandArgs(trailingOnly = TRUE)
folder <- args[1]
if (length(args) > 1 && args[2] == "make") {
  dir.create(folder, showWarnings = FALSE)
  t <- -2 + 8 * (0:15 %/% 2) / 7
  for (f in 0:999) {
    set.seed(f + 1)
    y <- 2 * exp(-exp(-0.8 * (t - 1))) + rnorm(16, 0, 0.02)
    writeLines(c("t;y", sprintf("%.17g;%.17g", t, y)),
               file.path(folder, sprintf("curva%d.csv", 10000 + f)))
  }
}
files <- sort(list.files(folder, pattern = "\\.csv$", full.names = TRUE))
one <- function(path) {
  data <- read.csv2(path, dec = ".")
  fit <- nls(y ~ a * exp(-exp(-c * (t - t0))), data = data,
             start = list(a = 2, c = 0.8, t0 = 1))
  suppressMessages(confint(fit))
}
best <- Inf
failed <- 0
for (repeat_ in 1:3) {
  failed <- 0
  elapsed <- system.time(for (path in files) {
    ok <- tryCatch({ one(path); TRUE }, error = function(e) FALSE)
    if (!ok) failed <- failed + 1
  })[["elapsed"]]
  best <- min(best, elapsed)
}
cat(sprintf("%d %.1f %d\n", length(files), best * 1000, failed))
