// DualDirac: the dual-Dirac jitter fit of one bathtub curve.
//
// The model closes the eye at a bit-error ratio by TJ(BER) = DJ + 2Q(BER) x RJ.
// From the measured flanks of a curve the fitter estimates DJ and RJ, and it
// hands back a fitted curve whose flanks are the measured points continued down
// to a BER of 1e-15 by the model.
//
// Each instrument object holds sixteen fitters for horizontal curves (positions
// in ps) and sixteen for vertical curves (positions in mV). They live in the
// zero-filled storage of the object table: construction only sets the scalars,
// and the sequences start empty. After the first fit the sequences keep their
// capacity, so refitting a curve of the same length does not allocate.
//
// All members are public so that the read-outs and the tests can inspect the
// working data of the last fit.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

class DualDirac {
 public:
  DualDirac();
  virtual ~DualDirac();
  DualDirac(const DualDirac&) = delete;
  DualDirac& operator=(const DualDirac&) = delete;

  // Fits the n points (x[i], ber[i]). For a horizontal curve the unit interval
  // is 1000 / rate ps; for a vertical one it is maxRightX. On success x and ber
  // are overwritten with the fitted curve: the left plateau, the left flank,
  // one (0, 0) point, the right flank and the right plateau. That curve can be
  // up to 51 points longer than n, so both arrays must hold n + 51 entries.
  // On failure the arrays are left as they were.
  bool Analyse(bool vertical, double rate, int n, double* x, double* ber);

  // Copies out DJ and RJ of the last fit that ran (0 after a failed start).
  void GetDjRj(double* djOut, double* rjOut) const;

  // TJ at a BER, in the units of the positions: 2Q(ber) x rj + dj. A BER above
  // 1e-3 gives 0.0; one below 1e-15 gives dj.
  double TotalJitterAt(double ber) const;

  // ---- Steps of Analyse ----

  // Copies the caller's points, cleans them and sorts them into plateau and
  // fit points, split at the eye opening. False when the curve has no single
  // opening or fewer than two fit points on either side of it.
  bool LoadPoints(const double* x, const double* ber, int n);
  // Keeps only the longest run of zero-BER points (the eye opening) of the
  // curve handed in and puts the result in inputX and inputBer; the other zero
  // points are dropped. False, with inputX and inputBer left as they were,
  // when there is no zero point or two runs share the longest length. The
  // curve may be inputX and inputBer themselves.
  bool CleanCurve(const std::vector<double>& positions, const std::vector<double>& bers);
  void FillQTable();
  // Estimates DJ and RJ from the closure at each BER level of the flanks.
  bool FitDjRj();
  // Continues both flanks below their innermost points down to 1e-15.
  bool ExtrapolateTails();
  // Joins measured and extrapolated flanks so that their closure at every
  // extrapolated level does not exceed the model's TJ. Always true.
  bool BuildCurves();

  // 2Q at a BER from qTable, linear in BER between rows. False above 1e-3 and
  // below the last row.
  bool LookupQ(double ber, double* q) const;

  // ---- Fields, in order ----

  double fitUpperBer;   // plateau threshold: points at or above it are not fitted
  double fitLowerBer;   // non-zero points below it are left out of the fit
  double unitInterval;  // ps (horizontal) or maxRightX (vertical), set by Analyse
  double maxRightX;     // largest right-side fit position ever loaded; never reset
  double dj;
  double rj;
  std::pair<double, double> scratchRow;  // (BER, 2Q) while qTable is filled

  std::vector<double> leftPlateauBer;
  std::vector<double> leftPlateauX;
  std::vector<double> rightPlateauBer;
  std::vector<double> rightPlateauX;
  std::vector<double> leftCurveBer;
  std::vector<double> leftCurveX;
  std::vector<double> rightCurveBer;
  std::vector<double> rightCurveX;
  std::vector<double> fitX;
  std::vector<double> fitBer;
  std::vector<double> leftFitX;
  std::vector<double> leftFitBer;
  std::vector<double> rightFitX;
  std::vector<double> rightFitBer;
  std::vector<double> inputX;
  std::vector<double> inputBer;
  std::vector<std::pair<double, double>> qTable;
  std::vector<double> levelTj;
  std::vector<std::pair<double, double>> levelQ;
  std::vector<double> pairDj;
  std::vector<double> pairRj;

  std::int32_t leftMeasuredCount;
  std::int32_t rightMeasuredCount;

 private:
  void ReserveFor(int n);
};
