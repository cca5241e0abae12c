// SI5346_API: the frequency planner of the Si5346 clock chip.
//
// Turns requested clock frequencies (MHz) into divider settings of the chip's
// two DSPLLs, A (outputs 0 and 1) and B (outputs 2 and 3), and fills the chip's
// register plan (ClockRegisterList.h): `addresses` and `values`, 378 pairs.
// It talks to no hardware and writes no file. All divider arithmetic is done
// in Decimal, 34 significant digits.
//
// Per DSPLL: fin / P = Fpfd (phase detector), M = Fn / Fpfd (feedback ratio,
// M_NUM / M_DEN), Fn = R x fout ahead of the even output divider R
// (R_REG = R / 2 - 1) and N = 14200 / Fn, the divider from the 14,200 MHz VCO
// (N_NUM / 0xA0000000). The smallest R that puts Fn in the 710 to 1420 MHz
// window and passes the phase-detector limits is taken.
//
// Frequency arguments:
//   f1  input of DSPLL A in mode 0 (chip input 0); set to 50 by a mode 0 plan
//       unless boardId is 7828; not used in modes 1 and 2
//   f2  requested frequency of outputs 0 and 1; the achieved one written back
//   f3  input of DSPLL B in every mode, and of DSPLL A in modes 1 and 2
//   f4  requested frequency of outputs 2 and 3; the achieved one written back
//
// "No plan": a mode other than 0, 1 and 2, or a request for which no divider
// setting exists (an input at or below about 0.008 MHz, below about 1 MHz in
// effect, or so large that its input divider P passes its 48-bit field; NaN
// or infinite frequencies; an output no even R up to 0xFFFFFFFE brings into
// the window) leaves both register lists empty and the frequencies as they
// were, and the planning call returns false.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class Decimal;

class SI5346_API {
 public:
  SI5346_API() {}   // empty label, empty lists; allocates nothing
  ~SI5346_API() {}  // not virtual: nothing derives from the planner

  // x as numerator / denominator with a power-of-ten denominator, read from
  // x's text with 9 decimals: 483.3984375 gives 4833984375 / 10^7. A final
  // single zero of the 9-decimal text counts as a digit (1.12345678 gives
  // 1123456780 / 10^9). x with no fraction left at 9 decimals gives x / 1.
  virtual double ComputeDecimalFraction(double x, double* denominator);

  // Plans with Decimal copies of the four doubles and writes all four back.
  // Returns true when a plan was made.
  virtual bool ComputePlan(double* f1, double* f2, double* f3, double* f4, std::uint32_t mode, int boardId);

  // The plan. Modes: 0 (DSPLL A from input 0 at f1, the clock-file plan),
  // 1 (both DSPLLs from f3, the synthesizer line rates), 2 (DSPLL B from
  // input 3). Returns true when a plan was made.
  virtual bool ComputePlanDecimal(Decimal* f1, Decimal* f2, Decimal* f3, Decimal* f4, std::uint32_t mode, int boardId);

  std::string label;                     // not used
  std::vector<std::uint16_t> addresses;  // register plan: chip register addresses
  std::vector<std::uint16_t> values;     // register plan: values, 0x00 to 0xFF
};
