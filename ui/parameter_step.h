#pragma once

#include "fit/least_squares.h"

#include <QString>

namespace gompertz::ui {

class Form1;

// Makes a user action that may change a, c and t0 one undo step: when the
// outermost such action ends with other parameters than it began with, the
// change is recorded under `text` (or as the overflow recovery, when that
// ran). Steps with the same mergeId >= 0 that follow each other merge.
class ParameterStep {
  public:
    ParameterStep(Form1& form, QString text, int mergeId = -1);
    ~ParameterStep();
    ParameterStep(const ParameterStep&) = delete;
    ParameterStep& operator=(const ParameterStep&) = delete;

  private:
    Form1& form_;
    fit::Parameters before_;
    QString text_;
    int mergeId_;
};

} // namespace gompertz::ui
