## Reference numbers for weighted fits and for the comparison of two data
## sets, computed with base R (stats).
##
## Run from anywhere:   Rscript tests/reference/data_sets.R
## It rewrites, next to itself:
##   data_sets_reference.h  C++ header with the numbers (the C++ tests read it)
##   data_sets.Rout         this script's printed output, for humans
## The run is deterministic: a rerun gives the same files byte for byte.
## It takes about 15 seconds.
##
## Data sets (all in R's own `datasets` package, selected by label):
##   dnase1, dnase2    DNase runs "1" and "2", t = log(conc), y = density
##                     (16 points each: 8 concentrations in duplicate)
##   orange1, orange2  Orange trees "1" and "2", t = age (days),
##                     y = circumference (7 points each).  Tree is an ordered
##                     factor with levels 3 < 1 < 5 < 2 < 4, so the trees are
##                     picked by label, not by level number.
## Models, parameters in this order:
##   gompertz  f = a*exp(-exp(-c*(t - t0)))   (a, c, t0)
##   logistic  f = a/(1 + exp(-c*(t - t0)))   (a, c, t0)
## Read-outs (index k):
##   k = 0  value at the inflection   gompertz a/e       logistic a/2
##   k = 1  largest growth rate       gompertz a*c/e     logistic a*c/4
##   k = 2  lag                       gompertz t0 - 1/c  logistic t0 - 2/c
## Standard errors of read-outs and fitted values: delta method sqrt(g' V g),
## g the analytic gradient (deriv()), V = vcov(fit).
##
## How each fit is obtained (as in models.R):
##   1. nls() with an analytic gradient (deriv()), tight control
##      (maxiter 1000, tol 1e-10, minFactor 1e-12), from several starts;
##      optim() (BFGS, then Nelder-Mead) and nls() again where nls() fails.
##   2. The best weighted SSE over the starts is polished with plain
##      Gauss-Newton steps (weighted analytic Jacobian, QR): nls() stalls
##      at a relative offset of ~1e-9 on some of these sets because it only
##      accepts steps that lower the SSE, which is flat to rounding there.
##   3. The reported fit is nls() restarted at the polished point; summary(),
##      deviance(), vcov(), anova() are taken from that object.  Every route
##      and the gradient cosine max_j |J_j'Wr|/(|W^1/2 J_j| |W^1/2 r|) at the
##      optimum (0 at an exact optimum) are printed.
##
## Weighted fits (DNase run 1), weightings:
##   none  w = 1
##   y2    w = 1/y^2, y the observed density
##   de2   w = 1/DE^2, DE the sample standard deviation (n - 1 divisor) of the
##         two densities at that concentration, the same for both duplicates
## Per fit: parameters, standard errors, weighted SSE (deviance()), sigma,
## df; read-outs with standard errors; Wald 95 % intervals of the parameters
## (est +- qt(0.975, df)*SE); exact 95 % profile bounds of a, c, t0 on the
## weighted SSE (the parameter held, the others refitted by Levenberg-
## Marquardt with continuation; bound where sqrt(SSE_held - SSE_min)/sigma =
## qt(0.975, df), uniroot to ~1e-13 relative; a side that never reaches the
## threshold, a and c kept > 0, within 1e4 standard errors, is open; every
## root confirmed by an nls() refit holding the parameter there; R's
## interpolated confint(), from package MASS, is printed next to them for
## comparison only); fitted values at t = 0 and 2.  Lack of fit against pure error: SS_pe = weighted
## RSS of lm(y ~ factor(t), weights = w), df_pe = 16 - 8; SS_lof = SSE -
## SS_pe, df_lof = 8 - 3; F = (SS_lof/df_lof)/(SS_pe/df_pe), upper tail p.
## Fit on the means of the pairs: nls(mean ~ f, weights = n/DE^2), n = 2; its
## parameters are those of the "de2" fit (the weighted SSE splits into the
## pure-error part and n/DE^2 (mean - f)^2).
##
## Two sets compared (dnase1 against dnase2, orange1 against orange2), stacked
## with g = 0 for the first and g = 1 for the second, unweighted:
##   common     one curve (a, c, t0)
##   separate   every parameter p + dp*g (a, c, t0, da, dc, dt0)
##   shared_a, shared_c, shared_t0   that parameter common, the other two
##              separate (5 parameters)
## F tests: anova(common, separate) and anova(shared_j, separate).  From the
## separate fit: dp (second minus first) with its SE and Wald interval
## dp +- qt(0.975, df_separate)*SE, and for each read-out R(second) - R(first)
## with its delta-method SE from vcov(separate) and Wald interval.
## Starts: each set fitted alone first.

options(digits = 12, warn = 1, width = 110)

## ------------------------------------------------------------------ paths
script_path <- local({
  a <- commandArgs(trailingOnly = FALSE)
  f <- sub("^--file=", "", a[grep("^--file=", a)])
  if (length(f) == 1) normalizePath(f) else normalizePath("tests/reference/data_sets.R")
})
out_dir <- dirname(script_path)
header_path <- file.path(out_dir, "data_sets_reference.h")
rout_path <- file.path(out_dir, "data_sets.Rout")

rout_con <- file(rout_path, open = "wt")
sink(rout_con, split = TRUE)
sink(rout_con, type = "message")

cat("Reference weighted fits and comparisons of two data sets with R", R.version$major, ".",
    R.version$minor, " (", R.version$nickname, ")\n", sep = "")
cat("Generated by tests/reference/data_sets.R; header: data_sets_reference.h\n\n")

## ------------------------------------------------------------------ data
## every set carries g (the set indicator of the stacked fits) and w (weights)
dnase_run <- function(run) {
  d <- DNase[DNase$Run == run, ]
  data.frame(t = log(d$conc), y = d$density, g = 0, w = 1, conc = d$conc)
}
orange_tree <- function(tree) {
  o <- Orange[Orange$Tree == tree, ]
  data.frame(t = o$age, y = o$circumference, g = 0, w = 1)
}
sets <- list(dnase1 = dnase_run("1"), dnase2 = dnase_run("2"),
             orange1 = orange_tree("1"), orange2 = orange_tree("2"))
stopifnot(sapply(sets, nrow) == c(16, 16, 7, 7),
          identical(sets$dnase1$conc, sets$dnase2$conc),
          identical(sets$orange1$t, sets$orange2$t))

cat("==== Data ====\n")
for (s in names(sets)) {
  D <- sets[[s]]
  cat(sprintf("  %-8s t: %s\n           y: %s\n", s, paste(sprintf("%.6g", D$t), collapse = " "),
              paste(sprintf("%.6g", D$y), collapse = " ")))
}

## The C++ tests have DNase run 1 and Orange tree 1 in tests/reference_data.h:
## the numbers there must be the ones used here.
cat("\nCheck against tests/reference_data.h:\n")
local({
  path <- file.path(dirname(out_dir), "reference_data.h")
  if (!file.exists(path)) { cat("  (not found, not checked)\n"); return() }
  txt <- paste(readLines(path), collapse = " ")
  grab <- function(pattern) {
    m <- regmatches(txt, regexec(pattern, txt))[[1]]
    if (length(m) < 2) return(NULL)
    as.numeric(regmatches(m[2], gregexpr("[-+0-9.eE]+", m[2]))[[1]])
  }
  conc <- grab("conc\\[\\] = \\{([^}]*)\\}")
  dens <- grab("density\\[\\] = \\{([^}]*)\\}")
  ora <- grab("orange1\\(\\) \\{\\s*return \\{(.*?)\\};")
  ok <- function(x, y) if (!is.null(x) && length(x) == length(y) && all(x == y)) "identical" else "DIFFERENT"
  cat(sprintf("  dnase1 concentrations %s, densities %s; orange1 ages %s, circumferences %s\n",
              ok(conc, unique(sets$dnase1$conc)), ok(dens, sets$dnase1$y),
              ok(ora[c(TRUE, FALSE)], sets$orange1$t), ok(ora[c(FALSE, TRUE)], sets$orange1$y)))
})

## ------------------------------------------------------------------ models
base_models <- list(gompertz = quote(a * exp(-exp(-c * (t - t0)))),
                    logistic = quote(a / (1 + exp(-c * (t - t0)))))
model_names <- names(base_models)
pnames3 <- c("a", "c", "t0")

## A curve: expression, parameter names, deriv() function of (t, g, params)
## returning the value with a "gradient" attribute, and an nls() formula
## whose environment holds that function.
make_curve <- function(expr, pnames) {
  fn <- deriv(expr, pnames, function.arg = c("t", "g", pnames))
  call_fn <- as.call(c(list(as.name("curve_fn"), quote(t), quote(g)), lapply(pnames, as.name)))
  fo <- as.formula(call("~", quote(y), call_fn), env = list2env(list(curve_fn = fn), parent = globalenv()))
  list(expr = expr, pnames = pnames, fn = fn, formula = fo)
}
## the curve with the listed parameters replaced by p + dp*g
split_curve <- function(m, split) {
  sub <- lapply(split, function(p) call("(", call("+", as.name(p), call("*", as.name(paste0("d", p)), quote(g)))))
  names(sub) <- split
  make_curve(do.call(substitute, list(base_models[[m]], sub)), c(pnames3, if (length(split)) paste0("d", split)))
}
curves <- lapply(base_models, make_curve, pnames = pnames3)

readout_names <- c("value at inflection", "largest rate", "lag")
readout_fns <- list(
  gompertz = lapply(list(quote(a / exp(1)), quote(a * c / exp(1)), quote(t0 - 1 / c)),
                    deriv, namevec = pnames3, function.arg = pnames3),
  logistic = lapply(list(quote(a / 2), quote(a * c / 4), quote(t0 - 2 / c)),
                    deriv, namevec = pnames3, function.arg = pnames3))
readout <- function(m, k, p) {
  v <- do.call(readout_fns[[m]][[k]], as.list(unname(p[1:3])))
  list(value = as.vector(v), grad = as.vector(attr(v, "gradient")))
}

## ------------------------------------------------------------------ fitting tools
eval_curve <- function(C, D, p) {
  v <- do.call(C$fn, c(list(D$t, D$g), as.list(unname(p))))
  list(f = as.vector(v), J = matrix(attr(v, "gradient"), nrow = length(D$t)))
}
## residuals and Jacobian scaled by sqrt(w)
weighted_eval <- function(C, D, p) {
  e <- eval_curve(C, D, p)
  sw <- sqrt(D$w)
  list(r = sw * (D$y - e$f), J = sw * e$J)
}
sse_of <- function(C, D, p) {
  s <- sum(weighted_eval(C, D, p)$r^2)
  if (is.finite(s)) s else Inf
}
cosine <- function(J, r) max(abs(crossprod(J, r)) / (sqrt(colSums(J^2)) * sqrt(sum(r^2))))
grad_cosine <- function(C, D, p) { e <- weighted_eval(C, D, p); cosine(e$J, e$r) }

ctl_tight <- nls.control(maxiter = 1000, tol = 1e-10, minFactor = 1e-12, warnOnly = TRUE)

## Gauss-Newton polish (no SSE acceptance test: converges on the gradient).
gn_polish <- function(C, D, p, maxit = 30) {
  best <- p; best_g <- grad_cosine(C, D, p)
  for (i in seq_len(maxit)) {
    e <- weighted_eval(C, D, p)
    step <- qr.coef(qr(e$J), e$r)
    if (any(!is.finite(step))) break
    pn <- p + step
    if (!is.finite(sse_of(C, D, pn))) break
    p <- pn
    g <- grad_cosine(C, D, p)
    if (g < best_g) { best <- p; best_g <- g }
    if (max(abs(step) / pmax(abs(p), 1e-300)) < 1e-15) break
  }
  names(best) <- C$pnames
  best
}

optim_fit <- function(C, D, p0) {
  sc <- pmax(abs(p0), 1e-3)
  f <- function(q) sse_of(C, D, q * sc)
  o <- optim(p0 / sc, f, method = "BFGS", control = list(maxit = 10000, reltol = 1e-15))
  o <- optim(o$par, f, method = "Nelder-Mead", control = list(maxit = 20000, reltol = 1e-15))
  setNames(o$par * sc, C$pnames)
}

## nls() from a start, with weights = w or without weights; the fit or the
## error condition.  Hitting maxiter is kept (nls() stalls near the optimum).
try_nls <- function(C, D, start, weighted, control = ctl_tight) {
  start <- as.list(setNames(unname(start), C$pnames))
  tryCatch(withCallingHandlers(
    if (weighted) nls(C$formula, data = D, start = start, weights = w, control = control)
    else nls(C$formula, data = D, start = start, control = control),
    warning = function(cond) invokeRestart("muffleWarning")),
    error = function(e) e)
}
describe_nls <- function(r) {
  ci <- r$convInfo
  if (ci$isConv) return(sprintf("converged (%d iterations, relative offset %.3g)", ci$finIter, ci$finTol))
  if (ci$finTol < 1e-6)
    return(sprintf("stalled at %d iterations at relative offset %.3g (SSE no longer decreases; polished below)",
                   ci$finIter, ci$finTol))
  sprintf("stopped: %s (relative offset %.3g)", ci$stopMessage, ci$finTol)
}
nls_usable <- function(r) inherits(r, "nls") && (r$convInfo$isConv || r$convInfo$finTol < 1e-6)

fit_curve <- function(label, C, D, starts, weighted) {
  cat(sprintf("  %s:\n", label))
  cands <- list()
  for (sn in names(starts)) {
    p0 <- starts[[sn]]
    r <- try_nls(C, D, p0, weighted)
    if (nls_usable(r)) {
      cat(sprintf("    nls from %-20s %s, SSE %.12g\n", sn, describe_nls(r), deviance(r)))
      cands[[sn]] <- coef(r)
    } else {
      msg <- if (inherits(r, "nls")) describe_nls(r) else conditionMessage(r)
      cat(sprintf("    nls from %-20s FAILED: %s\n", sn, msg))
      po <- optim_fit(C, D, p0)
      cat(sprintf("      optim (BFGS + Nelder-Mead) from there: SSE %.12g\n", sse_of(C, D, po)))
      r2 <- try_nls(C, D, po, weighted)
      if (nls_usable(r2)) {
        cat(sprintf("      nls from optim's result: %s, SSE %.12g\n", describe_nls(r2), deviance(r2)))
        cands[[paste0(sn, "+optim")]] <- coef(r2)
      } else {
        cat(sprintf("      nls from optim's result FAILED too: %s; optim's point kept\n",
                    if (inherits(r2, "nls")) describe_nls(r2) else conditionMessage(r2)))
        cands[[paste0(sn, "+optim")]] <- po
      }
    }
  }
  sses <- sapply(cands, function(p) sse_of(C, D, p))
  best <- cands[[which.min(sses)]]
  if (diff(range(sses)) > 1e-8 * min(sses))
    cat(sprintf("    NOTE: starts end at different SSEs (%s); best kept\n",
                paste(sprintf("%.10g", sses), collapse = ", ")))
  g_before <- grad_cosine(C, D, best)
  pol <- gn_polish(C, D, best)
  g_after <- grad_cosine(C, D, pol)
  fit <- try_nls(C, D, pol, weighted)
  if (!inherits(fit, "nls")) stop("final nls failed at the polished point: ", conditionMessage(fit))
  if (!fit$convInfo$isConv) stop("final nls did not converge at the polished point: ", describe_nls(fit))
  moved <- max(abs(coef(fit) - pol) / abs(pol))
  ci <- fit$convInfo
  cat(sprintf("    polish: gradient cosine %.2e -> %.2e; final nls at polished point: isConv %s, finIter %d, finTol %.3g, \"%s\" (moved %.1e)\n",
              g_before, g_after, ci$isConv, ci$finIter, ci$finTol, ci$stopMessage, moved))
  cat(sprintf("    SSE %.15g  %s\n", deviance(fit),
              paste(sprintf("%s = %.15g", names(coef(fit)), coef(fit)), collapse = ", ")))
  fit
}

## crude start: asymptote above the data, t0 where y is about the value at
## the inflection (a/e resp. a/2), c from the time span
crude_start <- function(D, m) {
  a <- 1.2 * max(D$y)
  o <- order(D$t)
  level <- if (m == "gompertz") a / exp(1) else a / 2
  t0 <- approx(D$y[o], D$t[o], xout = level, ties = mean, rule = 2)$y
  c(a = a, c = 4 / diff(range(D$t)), t0 = t0)
}

## ------------------------------------------------------------------ profiles
## Levenberg-Marquardt on the free parameters of a weighted fit.  Stops on
## the gradient (cosine below 1e-11) or once the SSE no longer changes, then
## a few Gauss-Newton steps, which reach a cosine of ~1e-15.
lm_free <- function(C, D, p, free, maxit = 1000) {
  lambda <- 1e-3
  e <- weighted_eval(C, D, p); S <- sum(e$r^2)
  if (!is.finite(S)) return(list(p = p, sse = Inf, ok = FALSE))
  for (it in seq_len(maxit)) {
    J <- e$J[, free, drop = FALSE]
    gc <- cosine(J, e$r)
    if (!is.finite(gc) || gc < 1e-11) break
    A <- crossprod(J); g <- crossprod(J, e$r)
    dA <- diag(A); dA[dA <= 0] <- 1
    improved <- FALSE
    while (lambda < 1e30) {
      step <- tryCatch(solve(A + lambda * diag(dA, length(dA)), g), error = function(err) NULL)
      if (!is.null(step) && all(is.finite(step))) {
        pn <- p; pn[free] <- p[free] + step
        en <- weighted_eval(C, D, pn); Sn <- sum(en$r^2)
        if (is.finite(Sn) && Sn <= S) { improved <- TRUE; break }
      }
      lambda <- lambda * 10
    }
    if (!improved) break
    ## SSE flat to rounding: leave the rest to Gauss-Newton below
    stalled <- Sn == S
    p <- pn; e <- en; S <- Sn
    if (stalled) break
    lambda <- max(lambda / 10, 1e-15)
  }
  for (k in 1:5) {
    J <- e$J[, free, drop = FALSE]
    step <- tryCatch(qr.coef(qr(J), e$r), error = function(err) NULL)
    if (is.null(step) || any(!is.finite(step))) break
    pn <- p; pn[free] <- p[free] + step
    en <- weighted_eval(C, D, pn); Sn <- sum(en$r^2)
    if (!is.finite(Sn) || Sn > S * (1 + 1e-12)) break
    p <- pn; e <- en; S <- Sn
  }
  list(p = p, sse = S, ok = is.finite(S))
}

domain_lower <- c(a = 0, c = 0, t0 = -Inf)

## exact profile bound of parameter j on one side (dir = -1 or +1)
profile_bound <- function(C, D, fit, j, dir) {
  phat <- coef(fit); smin <- deviance(fit); df <- df.residual(fit)
  target <- smin + smin / df * qt(0.975, df)^2
  se <- summary(fit)$coefficients[j, 2]
  pname <- names(phat)[j]
  lowlim <- domain_lower[[pname]]
  lowstop <- lowlim + 1e-6 * abs(phat[[j]])
  free <- setdiff(seq_along(phat), j)
  cache <- list(list(th = phat[[j]], p = phat, sse = smin))
  refit <- function(th) {
    ## continuation: start from the global optimum and the cached solutions
    ## nearest to th on either side; keep the lowest SSE
    ths <- sapply(cache, `[[`, "th")
    cand <- list(phat, cache[[which.min(abs(ths - th))]]$p)
    lo <- which(ths < th); hi <- which(ths > th)
    if (length(lo)) cand <- c(cand, list(cache[[lo[which.max(ths[lo])]]]$p))
    if (length(hi)) cand <- c(cand, list(cache[[hi[which.min(ths[hi])]]]$p))
    best <- NULL
    for (p0 in cand) {
      p0[j] <- th
      r <- lm_free(C, D, p0, free)
      if (r$ok && (is.null(best) || r$sse < best$sse)) best <- r
    }
    if (is.null(best)) return(list(th = th, p = NULL, sse = NaN))
    res <- list(th = th, p = best$p, sse = best$sse)
    cache[[length(cache) + 1]] <<- res
    res
  }
  open <- function(why) list(bound = NaN, status = "open", why = why, p = NULL)
  unresolved <- function(why) list(bound = NaN, status = "unresolved", why = why, p = NULL)
  h <- 0.25 * se; prev <- cache[[1]]; cur <- NULL
  for (k in 1:300) {
    th <- phat[[j]] + dir * h
    if (dir < 0 && th <= lowstop) {
      if (prev$th <= lowstop * (1 + 1e-12))
        return(open(sprintf("%s > %g domain limit approached to %.3g, SSE_theta/SSE_target still %.6g",
                            pname, lowlim, prev$th, prev$sse / target)))
      th <- max(lowstop, lowlim + (prev$th - lowlim) / 2)
    }
    cur <- refit(th)
    if (!is.finite(cur$sse)) return(unresolved(sprintf("refit failed at %s = %.6g", pname, th)))
    if (cur$sse < smin * (1 - 1e-9))
      return(unresolved(sprintf("LOWER SSE FOUND (%.12g) at %s = %.10g", cur$sse, pname, th)))
    if (cur$sse >= target) break
    if (h > 1e4 * se) return(open(sprintf("threshold not reached within 1e4 SE (SSE_theta/SSE_target = %.6g)",
                                           cur$sse / target)))
    prev <- cur
    h <- h * 1.5
  }
  if (is.null(cur) || cur$sse < target) return(unresolved("walk did not end"))
  fr <- function(th) refit(th)$sse - target
  ends <- sort(c(prev$th, cur$th))
  fl <- fr(ends[1]); fu <- fr(ends[2])
  if (!is.finite(fl) || !is.finite(fu) || sign(fl) == sign(fu))
    return(unresolved(sprintf("inconsistent refits in the bracket [%.10g, %.10g]", ends[1], ends[2])))
  u <- uniroot(fr, ends, f.lower = fl, f.upper = fu, tol = 1e-13 * abs(phat[[j]]), maxiter = 300)
  list(bound = u$root, status = "found", why = "", p = refit(u$root)$p)
}

## Independent check of a bound: nls() (numeric derivatives, same weights)
## with the parameter substituted as a constant; returns |tau|/qt - 1.
check_bound <- function(C, D, fit, j, bound, pstart) {
  pn <- names(coef(fit))
  rhs <- do.call(substitute, list(C$expr, setNames(list(bound), pn[j])))
  fo <- as.formula(call("~", quote(y), rhs))
  r <- tryCatch(suppressWarnings(nls(fo, data = D, start = as.list(pstart[-j]), weights = w,
                                     control = nls.control(maxiter = 1000, tol = 1e-9, minFactor = 1e-12,
                                                           warnOnly = TRUE))),
                error = function(e) NULL)
  if (is.null(r)) return(NaN)
  tau <- sqrt(max(deviance(r) - deviance(fit), 0)) / summary(fit)$sigma
  tau / qt(0.975, df.residual(fit)) - 1
}

## ================================================================== weighted fits
cat("\n==== Weighted fits, DNase run 1 ====\n")
D1 <- sets$dnase1
t_levels <- unique(D1$t)
pair_index <- match(D1$t, t_levels)
pair_sd <- as.vector(tapply(D1$y, pair_index, sd))
pair_mean <- as.vector(tapply(D1$y, pair_index, mean))
cat("  DE (sd of each duplicate pair, n - 1 divisor):", sprintf("%.12g", pair_sd), "\n")
weightings <- list(none = rep(1, nrow(D1)), y2 = 1 / D1$y^2, de2 = 1 / pair_sd[pair_index]^2)

wfits <- list()
for (m in model_names) {
  wfits[[m]] <- list()
  for (wn in names(weightings)) {
    D <- D1; D$w <- weightings[[wn]]
    starts <- list(crude = crude_start(D, m))
    if (wn != "none") starts[["unweighted optimum"]] <- coef(wfits[[m]]$none)
    ## (the Gompertz optimum is a usable logistic start only unweighted)
    if (m == "logistic" && wn == "none") starts[["Gompertz optimum"]] <- coef(wfits$gompertz$none)
    wfits[[m]][[wn]] <- fit_curve(sprintf("dnase1 / %s / weights %s", m, wn), curves[[m]], D, starts, TRUE)
  }
}

weighted_rows <- list()
worst_check <- 0
for (m in model_names) for (wn in names(weightings)) {
  C <- curves[[m]]; D <- D1; D$w <- weightings[[wn]]
  f <- wfits[[m]][[wn]]
  p <- coef(f); sm <- summary(f)$coefficients; se <- unname(sm[, 2])
  V <- vcov(f); df <- df.residual(f); q <- qt(0.975, df)
  cat(sprintf("\n---- dnase1 / %s / weights %s  (n = %d, df = %d, qt(0.975, df) = %.15g) ----\n",
              m, wn, nrow(D), df, q))
  print(sm)
  e <- weighted_eval(C, D, p)
  se_own <- sqrt(diag(deviance(f) / df * chol2inv(qr.R(qr(e$J)))))
  cat(sprintf("  SSE %.15g  sigma %.15g  gradient cosine %.2e  SE vs s^2(J'WJ)^-1 %.1e\n",
              deviance(f), summary(f)$sigma, grad_cosine(C, D, p), max(abs(se_own - se) / se)))
  cat("  Wald 95 %:\n")
  for (j in 1:3) cat(sprintf("    %-3s [%.15g, %.15g]\n", pnames3[j], p[j] - q * se[j], p[j] + q * se[j]))

  ro <- lapply(1:3, function(k) readout(m, k, p))
  ro_se <- sapply(ro, function(r) sqrt(drop(t(r$grad) %*% V %*% r$grad)))
  cat("  read-outs (delta-method SE):\n")
  for (k in 1:3) cat(sprintf("    %-20s %.15g  SE %.15g\n", readout_names[k], ro[[k]]$value, ro_se[k]))

  ## fitted values at t = 0 and 2, gradient checked against finite differences
  P <- data.frame(t = c(0, 2), g = 0)
  ep <- eval_curve(C, P, p)
  fit_se <- sqrt(rowSums((ep$J %*% V) * ep$J))
  fd <- sapply(1:3, function(j) { h <- 1e-6 * abs(p[j]); pp <- p; pm <- p; pp[j] <- pp[j] + h; pm[j] <- pm[j] - h
    (eval_curve(C, P, pp)$f - eval_curve(C, P, pm)$f) / (2 * h) })
  cat(sprintf("  fitted t = %g: %.15g  SE %.15g\n", P$t, ep$f, fit_se), sep = "")
  cat(sprintf("    (gradient vs finite differences %.1e)\n", max(abs(fd - ep$J) / abs(ep$J))))

  ## lack of fit against pure error
  pe <- lm(y ~ factor(t), data = D, weights = w)
  ss_pe <- deviance(pe); df_pe <- df.residual(pe)
  df_lof <- length(t_levels) - 3
  ss_lof <- deviance(f) - ss_pe
  F_lof <- (ss_lof / df_lof) / (ss_pe / df_pe)
  p_lof <- pf(F_lof, df_lof, df_pe, lower.tail = FALSE)
  cat(sprintf("  lack of fit: SS_pe %.15g (df %d), SS_lof %.15g (df %d), F %.15g, p %.15g\n",
              ss_pe, df_pe, ss_lof, df_lof, F_lof, p_lof))
  if (wn == "de2") cat(sprintf("    (de2: SS_pe is 8, one per pair, up to %.1e)\n", abs(ss_pe - 8)))

  ## exact profile bounds
  cat(sprintf("  profile 95 %% (SSE at the bounds %.15g):\n", deviance(f) * (1 + q^2 / df)))
  pl <- pu <- rep(NaN, 3); lo_open <- hi_open <- rep(FALSE, 3)
  for (j in 1:3) {
    lo <- profile_bound(C, D, f, j, -1); hi <- profile_bound(C, D, f, j, +1)
    ck <- c(if (lo$status == "found") check_bound(C, D, f, j, lo$bound, lo$p) else NaN,
            if (hi$status == "found") check_bound(C, D, f, j, hi$bound, hi$p) else NaN)
    for (side in 1:2) {
      b <- if (side == 1) lo else hi
      if (b$status == "found" && !(is.finite(ck[side]) && abs(ck[side]) < 1e-8))
        stop(sprintf("%s %s %s: root %.12g not confirmed by nls (%.2g)", m, wn, pnames3[j], b$bound, ck[side]))
      if (b$status == "unresolved") stop(sprintf("%s %s %s: %s", m, wn, pnames3[j], b$why))
    }
    worst_check <- max(worst_check, abs(ck[is.finite(ck)]))
    pl[j] <- lo$bound; pu[j] <- hi$bound
    lo_open[j] <- lo$status == "open"; hi_open[j] <- hi$status == "open"
    fmt <- function(b) if (b$status == "found") sprintf("%.15g", b$bound) else b$status
    cat(sprintf("    %-3s [%s, %s]  nls check |tau|/qt - 1: %s %s\n", pnames3[j], fmt(lo), fmt(hi),
                if (is.finite(ck[1])) sprintf("%.0e", ck[1]) else "-",
                if (is.finite(ck[2])) sprintf("%.0e", ck[2]) else "-"))
    if (lo$status == "open") cat("      lower side open: ", lo$why, "\n", sep = "")
    if (hi$status == "open") cat("      upper side open: ", hi$why, "\n", sep = "")
  }
  ## for comparison: R's confint() (MASS's method in R 4.2: profile() +
  ## spline interpolation, so a few digits only; needs MASS installed), on a
  ## refit with default nls.control()
  rc <- tryCatch(suppressMessages(suppressWarnings(confint(
    nls(C$formula, data = D, start = as.list(p), weights = w)))), error = function(e) e)
  if (inherits(rc, "error")) cat("  R's confint(): failed:", conditionMessage(rc), "\n")
  else cat("  R's confint():", sprintf("%s [%.8g, %.8g]", pnames3, rc[, 1], rc[, 2]), "\n")

  weighted_rows[[length(weighted_rows) + 1]] <- list(
    model = m, weighting = wn, par = unname(p), se = se, sse = deviance(f), sigma = summary(f)$sigma,
    df = df, ro = sapply(ro, `[[`, "value"), ro_se = ro_se,
    wl = unname(p - q * se), wu = unname(p + q * se), pl = pl, pu = pu, lo_open = lo_open, hi_open = hi_open,
    fit0 = ep$f[1], fit0_se = fit_se[1], fit2 = ep$f[2], fit2_se = fit_se[2],
    F_lof = F_lof, p_lof = p_lof, ss_pe = ss_pe)
}
cat(sprintf("\nnls check of all profile bounds: max | |tau|/qt - 1 | = %.1e\n", worst_check))

## ------------------------------------------------------------------ means
cat("\n==== Fit on the means of the duplicate pairs, weights n/DE^2 (n = 2) ====\n")
M <- data.frame(t = t_levels, y = pair_mean, g = 0, n = 2, de = pair_sd)
M$w <- M$n / M$de^2
means_rows <- list()
for (m in model_names) {
  C <- curves[[m]]
  f <- fit_curve(sprintf("means / %s", m), C, M,
                 list(`de2 optimum` = coef(wfits[[m]]$de2), crude = crude_start(M, m)), TRUE)
  sm <- summary(f)$coefficients
  print(sm)
  d2 <- wfits[[m]]$de2
  cat(sprintf("  SSE %.15g  sigma %.15g  df %d  gradient cosine %.2e\n", deviance(f), summary(f)$sigma,
              df.residual(f), grad_cosine(C, M, coef(f))))
  cat(sprintf("  check: parameters vs the de2 fit, max rel. diff %.1e; SSE + 8 (pure error) vs de2 SSE, rel. diff %.1e\n",
              max(abs(coef(f) - coef(d2)) / abs(coef(d2))),
              abs(deviance(f) + 8 - deviance(d2)) / deviance(d2)))
  means_rows[[m]] <- list(model = m, par = unname(coef(f)), se = unname(sm[, 2]), sse = deviance(f),
                          sigma = summary(f)$sigma, df = df.residual(f))
}

## ================================================================== two sets
cat("\n==== Each set fitted alone (starts of the comparisons) ====\n")
single <- list()
for (s in names(sets)) {
  single[[s]] <- list()
  for (m in model_names) {
    starts <- list(crude = crude_start(sets[[s]], m))
    if (m == "logistic") starts[["Gompertz optimum"]] <- coef(single[[s]]$gompertz)
    single[[s]][[m]] <- fit_curve(sprintf("%s / %s", s, m), curves[[m]], sets[[s]], starts, FALSE)
  }
}

cat("\n==== Two sets compared (unweighted, g = 0 first set, g = 1 second) ====\n")
pairs <- list(dnase = c("dnase1", "dnase2"), orange = c("orange1", "orange2"))
variants <- list(common = character(0), separate = pnames3,
                 shared_a = c("c", "t0"), shared_c = c("a", "t0"), shared_t0 = c("a", "c"))
comparison_rows <- list()
for (pn in names(pairs)) for (m in model_names) {
  s1 <- pairs[[pn]][1]; s2 <- pairs[[pn]][2]
  D <- rbind(sets[[s1]], sets[[s2]])[, c("t", "y", "g", "w")]
  D$g <- rep(c(0, 1), c(nrow(sets[[s1]]), nrow(sets[[s2]])))
  p1 <- coef(single[[s1]][[m]]); p2 <- coef(single[[s2]][[m]])
  cat(sprintf("\n---- %s (%s first, %s second) / %s ----\n", pn, s1, s2, m))
  fits <- list()
  fits$common <- fit_curve("common", split_curve(m, variants$common), D,
                           list(first = p1, second = p2, mean = (p1 + p2) / 2), FALSE)
  fits$separate <- fit_curve("separate", split_curve(m, variants$separate), D,
                             list(`single fits` = c(p1, p2 - p1)), FALSE)
  for (v in c("shared_a", "shared_c", "shared_t0")) {
    sp <- variants[[v]]; j <- setdiff(pnames3, sp)
    st <- list()
    for (src in c("first", "second", "mean")) {
      q0 <- p1
      q0[[j]] <- switch(src, first = p1[[j]], second = p2[[j]], mean = (p1[[j]] + p2[[j]]) / 2)
      st[[paste(j, "from", src)]] <- c(q0, (p2 - p1)[sp])
    }
    st[["common optimum"]] <- c(coef(fits$common), rep(0, length(sp)))
    fits[[v]] <- fit_curve(v, split_curve(m, sp), D, st, FALSE)
  }
  sep <- fits$separate
  ps <- coef(sep)
  cat(sprintf("  check: separate fit vs the single fits, parameters max rel. diff %.1e, SSE vs sum %.1e\n",
              max(abs(c(ps[1:3] - p1, ps[1:3] + ps[4:6] - p2)) / abs(c(p1, p2))),
              abs(deviance(sep) - deviance(single[[s1]][[m]]) - deviance(single[[s2]][[m]])) / deviance(sep)))
  cat("  SSE and df:\n")
  for (v in names(fits)) cat(sprintf("    %-10s SSE %.15g  df %d\n", v, deviance(fits[[v]]), df.residual(fits[[v]])))
  ftest <- function(small) {
    a <- anova(small, sep)
    s0 <- deviance(small); d1 <- df.residual(small) - df.residual(sep); d2 <- df.residual(sep)
    own <- ((s0 - deviance(sep)) / d1) / (deviance(sep) / d2)
    list(F = a[2, "F value"], p = a[2, "Pr(>F)"], d1 = d1, d2 = d2, own = abs(own - a[2, "F value"]) / a[2, "F value"])
  }
  tests <- lapply(fits[c("common", "shared_a", "shared_c", "shared_t0")], ftest)
  cat("  anova(., separate):\n")
  for (v in names(tests)) cat(sprintf("    %-10s F(%d, %d) = %.15g  p = %.15g  (own F differs by %.1e)\n", v,
                                      tests[[v]]$d1, tests[[v]]$d2, tests[[v]]$F, tests[[v]]$p, tests[[v]]$own))

  sm <- summary(sep)$coefficients
  V <- vcov(sep); dfs <- df.residual(sep); q <- qt(0.975, dfs)
  print(sm)
  dnames <- paste0("d", pnames3)
  dd <- unname(ps[dnames]); dse <- unname(sm[dnames, 2])
  cat(sprintf("  differences, Wald 95 %% with qt(0.975, %d) = %.15g:\n", dfs, q))
  for (j in 1:3) cat(sprintf("    %-3s %.15g  SE %.15g  [%.15g, %.15g]\n", dnames[j], dd[j], dse[j],
                             dd[j] - q * dse[j], dd[j] + q * dse[j]))
  ## read-out differences R(a + da, c + dc, t0 + dt0) - R(a, c, t0)
  rd <- rd_se <- numeric(3)
  cat("  read-out differences (second minus first), delta method from vcov(separate):\n")
  rdiff <- function(k, pp) readout(m, k, pp[1:3] + pp[4:6])$value - readout(m, k, pp[1:3])$value
  for (k in 1:3) {
    ra <- readout(m, k, ps[1:3]); rb <- readout(m, k, ps[1:3] + ps[4:6])
    gr <- c(rb$grad - ra$grad, rb$grad)
    rd[k] <- rb$value - ra$value
    rd_se[k] <- sqrt(drop(t(gr) %*% V %*% gr))
    fd <- sapply(1:6, function(i) { h <- 1e-6 * max(abs(ps[i]), 1e-3); pp <- ps; pm <- ps
      pp[i] <- pp[i] + h; pm[i] <- pm[i] - h; (rdiff(k, pp) - rdiff(k, pm)) / (2 * h) })
    cat(sprintf("    %-20s %.15g  SE %.15g  [%.15g, %.15g]  (first %.10g, second %.10g; gradient vs finite diff %.1e)\n",
                readout_names[k], rd[k], rd_se[k], rd[k] - q * rd_se[k], rd[k] + q * rd_se[k],
                ra$value, rb$value, max(abs(fd - gr)) / max(abs(gr))))
  }
  comparison_rows[[length(comparison_rows) + 1]] <- list(
    pair = pn, model = m, first = unname(ps[1:3]), second = unname(ps[1:3] + ps[4:6]),
    sse_common = deviance(fits$common), df_common = df.residual(fits$common),
    sse_separate = deviance(sep), df_separate = dfs,
    sse_shared = sapply(fits[c("shared_a", "shared_c", "shared_t0")], deviance),
    F = tests$common$F, p = tests$common$p,
    shared_F = sapply(tests[c("shared_a", "shared_c", "shared_t0")], `[[`, "F"),
    shared_p = sapply(tests[c("shared_a", "shared_c", "shared_t0")], `[[`, "p"),
    d = dd, d_se = dse, d_lo = dd - q * dse, d_hi = dd + q * dse,
    rd = rd, rd_se = rd_se, rd_lo = rd - q * rd_se, rd_hi = rd + q * rd_se)
}

## ================================================================== header
num <- function(x) {
  if (is.na(x) || !is.finite(x)) return("kNaN")
  s <- sprintf("%.17g", x)
  if (!grepl("[.eE]", s)) s <- paste0(s, ".0")
  s
}
arr <- function(v) paste0("{", paste(sapply(unname(v), num), collapse = ", "), "}")
barr <- function(v) paste0("{", paste(ifelse(v, "true", "false"), collapse = ", "), "}")
str <- function(x) paste0("\"", x, "\"")

h <- c(
  "// Generated by tests/reference/data_sets.R, do not edit: rerun",
  "//   Rscript tests/reference/data_sets.R",
  sprintf("// (R %s.%s, base R only; the script's output is data_sets.Rout).", R.version$major, R.version$minor),
  "//",
  "// Models: gompertz a*exp(-exp(-c*(t - t0))), logistic a/(1 + exp(-c*(t - t0))),",
  "// parameters (a, c, t0). Read-outs: 0 = value at the inflection (a/e, a/2),",
  "// 1 = largest growth rate (a*c/e, a*c/4), 2 = lag (t0 - 1/c, t0 - 2/c).",
  "// Fits: R's nls() with analytic gradients, polished with Gauss-Newton to a",
  "// gradient cosine of ~1e-15. Numbers are printed with 17 significant digits;",
  "// fits, standard errors and profile bounds are converged to about 10 digits.",
  "#pragma once",
  "",
  "#include <array>",
  "#include <limits>",
  "",
  "namespace data_sets_reference {",
  "",
  "inline constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();",
  "",
  "// R's datasets::DNase: the 8 concentrations (each measured twice, in this",
  "// order: conc[0], conc[0], conc[1], ...; t = log(conc)) and the densities of",
  "// run 2 (run 1 is in tests/reference_data.h; the same numbers are used here).",
  sprintf("inline constexpr std::array<double, 8> kDnaseConcentration{%s};",
          paste(sapply(unique(sets$dnase1$conc), num), collapse = ", ")),
  sprintf("inline constexpr std::array<double, 16> kDnase2Density{%s};",
          paste(sapply(sets$dnase2$y, num), collapse = ", ")),
  "// DNase run 1: sample standard deviation (n - 1 divisor) of each duplicate",
  "// pair, the DE of the \"de2\" weights 1/DE^2.",
  sprintf("inline constexpr std::array<double, 8> kDnase1PairSd{%s};",
          paste(sapply(pair_sd, num), collapse = ", ")),
  "// R's datasets::Orange, tree \"2\": t = age (days), y = circumference (mm).",
  sprintf("inline constexpr std::array<double, 7> kOrange2Age{%s};", paste(sapply(sets$orange2$t, num), collapse = ", ")),
  sprintf("inline constexpr std::array<double, 7> kOrange2Circumference{%s};",
          paste(sapply(sets$orange2$y, num), collapse = ", ")),
  "",
  "// Weighted fits of DNase run 1 (t = log(conc), y = density, 16 points),",
  "// nls(..., weights = w). weighting: \"none\" w = 1, \"y2\" w = 1/y^2 (observed y),",
  "// \"de2\" w = 1/DE^2 (kDnase1PairSd, the same for both duplicates).",
  "// standardErrors: summary(fit); sse: weighted SSE (deviance()); sigma =",
  "// sqrt(sse/df), df = 13. readOutErrors and fittedError*: delta method",
  "// sqrt(g' V g), V = vcov(fit). wald*: estimate +- qt(0.975, df)*SE.",
  "// profile*: exact 95 % profile-likelihood bounds on the weighted SSE, where",
  "// sqrt(SSE_held - sse)/sigma = qt(0.975, df), the others refitted; NaN with",
  "// the *Open flag set where that side never reaches the threshold (a, c > 0).",
  "// fittedAt0/fittedAt2: the curve at t = 0 and t = 2.",
  "// Lack of fit against pure error: pureErrorSse = weighted RSS of",
  "// lm(y ~ factor(t), weights = w) (df 8); F = ((sse - pureErrorSse)/5) /",
  "// (pureErrorSse/8), lackOfFitP = P(F(5, 8) > F).",
  "struct WeightedFit {",
  "    const char* model;",
  "    const char* weighting;",
  "    std::array<double, 3> parameters;",
  "    std::array<double, 3> standardErrors;",
  "    double sse;",
  "    double sigma;",
  "    int df;",
  "    std::array<double, 3> readOuts;",
  "    std::array<double, 3> readOutErrors;",
  "    std::array<double, 3> waldLower, waldUpper;",
  "    std::array<double, 3> profileLower, profileUpper;",
  "    std::array<bool, 3> profileLowerOpen, profileUpperOpen;",
  "    double fittedAt0, fittedErrorAt0, fittedAt2, fittedErrorAt2;",
  "    double lackOfFitF, lackOfFitP;",
  "    double pureErrorSse;",
  "};",
  "",
  "inline constexpr WeightedFit kWeighted[] = {")
for (r in weighted_rows) {
  h <- c(h, sprintf("    {%s, %s,", str(r$model), str(r$weighting)),
         sprintf("     %s,", arr(r$par)), sprintf("     %s,", arr(r$se)),
         sprintf("     %s, %s, %d,", num(r$sse), num(r$sigma), as.integer(r$df)),
         sprintf("     %s,", arr(r$ro)), sprintf("     %s,", arr(r$ro_se)),
         sprintf("     %s, %s,", arr(r$wl), arr(r$wu)),
         sprintf("     %s, %s,", arr(r$pl), arr(r$pu)),
         sprintf("     %s, %s,", barr(r$lo_open), barr(r$hi_open)),
         sprintf("     %s, %s, %s, %s,", num(r$fit0), num(r$fit0_se), num(r$fit2), num(r$fit2_se)),
         sprintf("     %s, %s,", num(r$F_lof), num(r$p_lof)),
         sprintf("     %s},", num(r$ss_pe)))
}
h <- c(h, "};", "",
       "// DNase run 1 reduced to the 8 means of the duplicate pairs, n = 2,",
       "// nls(mean ~ f, weights = n/DE^2): the parameters are those of the \"de2\"",
       "// fit (checked in data_sets.Rout); sse = that fit's sse - 8 (its pure-error",
       "// part); df = 5.",
       "struct MeansFit {",
       "    const char* model;",
       "    std::array<double, 3> parameters;",
       "    std::array<double, 3> standardErrors;",
       "    double sse;",
       "    double sigma;",
       "    int df;",
       "};", "",
       "inline constexpr MeansFit kMeans[] = {")
for (r in means_rows)
  h <- c(h, sprintf("    {%s, %s, %s, %s, %s, %d},", str(r$model), arr(r$par), arr(r$se), num(r$sse),
                    num(r$sigma), as.integer(r$df)))
h <- c(h, "};", "",
       "// Two sets compared, unweighted, stacked with g = 0 (first) and 1 (second):",
       "// \"dnase\" = DNase run 1 then run 2 (t = log(conc)), \"orange\" = Orange tree 1",
       "// then tree 2 (t = age). common: one curve (3 parameters); separate: every",
       "// parameter p + dp*g (6); shared (a, c, t0 in this order): that parameter",
       "// common, the other two p + dp*g (5, df = dfSeparate + 1).",
       "// parametersFirst/parametersSecond: the separate fit's curves (the sets",
       "// fitted alone). f, p: anova(common, separate), F(3, dfSeparate);",
       "// sharedF, sharedP: anova(shared, separate), F(1, dfSeparate).",
       "// difference: dp (second minus first) from the separate fit, its SE",
       "// (summary) and Wald 95 % interval dp +- qt(0.975, dfSeparate)*SE.",
       "// readOutDifference: R(second) - R(first), delta-method SE from",
       "// vcov(separate), Wald interval with the same quantile.",
       "struct SetComparison {",
       "    const char* pair;",
       "    const char* model;",
       "    std::array<double, 3> parametersFirst;",
       "    std::array<double, 3> parametersSecond;",
       "    double sseCommon;",
       "    int dfCommon;",
       "    double sseSeparate;",
       "    int dfSeparate;",
       "    std::array<double, 3> sseShared;",
       "    double f, p;",
       "    std::array<double, 3> sharedF, sharedP;",
       "    std::array<double, 3> difference, differenceError, differenceLower, differenceUpper;",
       "    std::array<double, 3> readOutDifference, readOutDifferenceError, readOutLower, readOutUpper;",
       "};", "",
       "inline constexpr SetComparison kComparisons[] = {")
for (r in comparison_rows) {
  h <- c(h, sprintf("    {%s, %s,", str(r$pair), str(r$model)),
         sprintf("     %s, %s,", arr(r$first), arr(r$second)),
         sprintf("     %s, %d, %s, %d,", num(r$sse_common), as.integer(r$df_common), num(r$sse_separate),
                 as.integer(r$df_separate)),
         sprintf("     %s,", arr(r$sse_shared)),
         sprintf("     %s, %s,", num(r$F), num(r$p)),
         sprintf("     %s, %s,", arr(r$shared_F), arr(r$shared_p)),
         sprintf("     %s, %s,", arr(r$d), arr(r$d_se)),
         sprintf("     %s, %s,", arr(r$d_lo), arr(r$d_hi)),
         sprintf("     %s, %s,", arr(r$rd), arr(r$rd_se)),
         sprintf("     %s, %s},", arr(r$rd_lo), arr(r$rd_hi)))
}
h <- c(h, "};", "", "} // namespace data_sets_reference", "")
writeLines(h, header_path, useBytes = TRUE)
cat(sprintf("\nWrote %s (%d lines)\n", basename(header_path), length(h)))

sink(type = "message")
sink()
close(rout_con)
