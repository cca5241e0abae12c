// Built-in calibration values written into the store at every connection.
//
// They are what the conversions use for every table the connected model does
// not load from its EEPROM: the code and value tables, the delay and
// threshold-step polynomials, and the level rows of lanes the load does not
// reach. Only the fields and lanes set below are written; everything else
// keeps what it held (the zero fill of a fresh object, or an earlier
// connection's values).
#include <cstring>

#include "calibration/CalibrationStore.h"
#include "calibration/ThresholdStep.h"

namespace {

// Output-level quartics, c4 .. c0: the level in mV gives a 12-bit code.
constexpr double kLevelLowRate[4][5] = {
    {-2.77487975365882e-09, 7.25478678594986e-06, -0.00637583654043463, 3.80105139020125,
     799.176446323065},
    {-2.57947644296294e-10, 1.79580867128531e-06, -0.00249320701707503, 2.42381461396832,
     1530.44941416965},
    {-2.40371644711111e-09, 6.3149266929574e-06, -0.00564871037899548, 3.55062508507588,
     786.407054708228},
    {-1.65931396212993e-09, 5.11693313797206e-06, -0.00509495440931096, 3.46416633671526,
     825.550571783384},
};

constexpr double kLevelHighRate[4][5] = {
    {6.39537693032573e-09, -7.71607008583394e-06, 0.00127746254800622, 2.61313645902405,
     807.923120812547},
    {1.75927713495533e-09, -8.69606777434943e-07, -0.00131352427730221, 2.28256903777175,
     1516.92202557101},
    {2.81085058236773e-09, -2.95556633655073e-06, 3.94110996325874e-05, 2.30144606540593,
     849.917542960572},
    {-4.56469207166254e-10, 4.11143028612806e-06, -0.00508247513994484, 3.69231679354109,
     774.541701090112},
};

// Quartic B of lanes 0 to 3, c4 .. c0.
constexpr double kQuarticB[5] = {1.88531951723151e-13, -1.61204759347748e-09,
                                 4.81802653572858e-06, -0.00584734214407818, 2.51217268574609};

// Delay quintics, c5 .. c0. Sets 0/1: code to delay below / from 18 Gb/s;
// 2/3: delay to code; 4 to 7 the same four on model 7792, 8 to 11 on model
// 7792 with the alternative option.
constexpr double kDelayPoly[12][6] = {
    {6.85047676706884e-16, -7.43336260767762e-12, 2.35712282746292e-08, -1.28286770507224e-05,
     0.011521424865735, -1.04338749869583},
    {9.3264987859581e-16, -1.0303879005814e-11, 3.52865672989744e-08, -3.21307169052146e-05,
     0.0216218853864835, -0.797413526136674},
    {4.65571502066362e-07, -0.000178173577840649, 0.0262886748203475, -1.84902795667058,
     78.3838748295942, 168.690069879526},
    {5.0467580315101e-07, -0.000196196085332495, 0.0295121871409737, -2.12699111768629,
     89.2746783266727, 41.5247886385973},
    {5.73263941000185e-17, -1.00630916070837e-12, 4.90447598654033e-09, -3.89666548998558e-06,
     0.00513518979812137, 0.0700447495551702},
    {9.04389366402005e-17, -1.20560324226117e-12, 5.12074330997572e-09, -3.56490955133484e-06,
     0.00447731758013964, -0.19938371594636},
    {1.35467709822366e-05, -0.00295792759194917, 0.244448024706668, -9.55045672470838,
     214.256850118825, 48.7384313498441},
    {1.5128358434869e-05, -0.00325431329751874, 0.262484406396878, -9.90485975225717,
     213.791144682378, 126.846481529376},
    {3.6041531321814e-17, -7.4285319992739e-13, 3.70030218895967e-09, -1.40220886249159e-06,
     0.00285125953520293, 0.219388886071624},
    {-2.58545014512929e-18, -2.85517917288307e-13, 1.80798157790646e-09, 1.66143879925757e-06,
     0.00156591958177129, -0.0370306094160578},
    {1.7938807784328e-05, -0.00378715089627625, 0.299397355468415, -11.0260974488849,
     226.775906314885, 88.9352873777689},
    {1.43929961981473e-05, -0.00306905978644873, 0.246031352668568, -9.26021450640663,
     202.405791708286, 173.937433067057},
};

// Code and value tables: the cubics (c3 .. c0) of entry 0 and entry 29. The
// entries between them are not characterised individually; each coefficient
// of entry k is interpolated linearly between the two ends,
//   c(k) = first + (last - first) * (k / 29),
// with the two ends stored exactly as given. The tables are not loaded from
// the EEPROM, so lanes 0 to 3 all start from this one set (lane 3 repeating
// lane 2 as the instrument's channel 3 does).
struct CubicEnds {
  double first[4];
  double last[4];
};

constexpr CubicEnds kValueFromCodeA = {
    {0.000936009594518373, -0.105116431920262, 8.56833931284688, 0.63466719562975},
    {0.000532434263151299, -0.0569209142985352, 4.43830827101657, 0.341882337009337}};
constexpr CubicEnds kCodeFromValueA = {
    {-8.27686374998063e-07, 0.000544952221276911, 0.0874251126971346, 0.0445022254750185},
    {-6.6578596463282e-06, 0.00215243682025959, 0.167155539303277, 0.0336395793735036}};
constexpr CubicEnds kValueFromCodeB = {
    {0.000662247225555612, -0.124790227293084, 18.6993274408067, 2.011908513},
    {0.000508948243128865, -0.0825351601246129, 10.4162887221373, 0.583085335869232}};
constexpr CubicEnds kCodeFromValueB = {
    {-2.73029044773734e-09, 2.93818120558493e-05, 0.0511734908013036, -0.0647922781385484},
    {-5.93215953647705e-08, 0.000134124111769562, 0.0892917788215739, -0.00621372537511797}};

void FillCodeValueTable(double (&table)[4][30][4], const CubicEnds& ends) {
  for (int lane = 0; lane < 3; ++lane) {
    for (int k = 0; k < 30; ++k) {
      for (int i = 0; i < 4; ++i) {
        double c;
        if (k == 0) {
          c = ends.first[i];
        } else if (k == 29) {
          c = ends.last[i];
        } else {
          c = ends.first[i] + (ends.last[i] - ends.first[i]) * (k / 29.0);
        }
        table[lane][k][i] = c;
      }
    }
  }
  std::memcpy(table[3], table[2], sizeof table[2]);
}

}  // namespace

void CalibrationStore::SetFactoryDefaults() {
  thresholdStepMv = 1.5;

  for (int lane = 0; lane < 4; ++lane) {
    // Quartic A defaults to the identity (result = x).
    quarticA[lane][0] = 0.0;
    quarticA[lane][1] = 0.0;
    quarticA[lane][2] = 0.0;
    quarticA[lane][3] = 1.0;
    quarticA[lane][4] = 0.0;
    for (int i = 0; i < 5; ++i) {
      quarticB[lane][i] = kQuarticB[i];
      levelLowRate[lane][i] = kLevelLowRate[lane][i];
      levelHighRate[lane][i] = kLevelHighRate[lane][i];
    }
  }

  for (int i = 0; i < 9; ++i) thresholdStepPoly[i] = tessok::calibration::kThresholdStepPoly[i];
  for (int set = 0; set < 12; ++set)
    for (int i = 0; i < 6; ++i) delayPoly[set][i] = kDelayPoly[set][i];

  FillCodeValueTable(valueFromCodeA, kValueFromCodeA);
  FillCodeValueTable(codeFromValueA, kCodeFromValueA);
  FillCodeValueTable(valueFromCodeB, kValueFromCodeB);
  FillCodeValueTable(codeFromValueB, kCodeFromValueB);

  for (int lane = 0; lane < 8; ++lane) {
    thresholdStepMeasured[lane] = 1.0;
    laneGain[lane] = 0.0;  // the measurements treat a gain of 0 as 1
    laneFlag[lane] = 1;
    // Auxiliary amplitude A, bands 0 to 4: coefficients cleared, the two limit
    // values of each row left as they are.
    for (int band = 0; band < 5; ++band)
      for (int i = 0; i < 5; ++i) auxAmplitudeA[lane][band].c[i] = 0.0;
  }
}
